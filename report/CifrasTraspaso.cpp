// The report's figures, summed from the records the run appended to Xdiario
// and XSubCta as they are read back.
#include "report/CifrasTraspaso.h"

#include "platform/motor/MotorDbase.h"
#include "platform/sistema/Fallo.h"
#include "platform/sql/Conexion.h"
#include "report/DiarioEscrito.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Titles of the codes in `codigos`, from a subaccount file read whole.
void titulos_de(const QString& ruta_local, const QSet<QString>& codigos, QHash<QString, QString>& titulos)
{
    try {
        for (const SubcuentaLeida& f : filas_subcuentas(leer_registros(ruta_local, 0, COLUMNAS_SUBCUENTA)))
            if (codigos.contains(f.cod) && !titulos.contains(f.cod)) titulos.insert(f.cod, f.titulo);
    } catch (const Fallo&) {
        // A title it cannot read stays empty.
    }
}

// How the cash and deposit lines' concepts start, as read back: the file's
// trailing blanks are trimmed, so "Deposito Descontado " is read without its.
constexpr QByteArrayView TOTAL_DIA("Total Dia");
constexpr QByteArrayView COBRO_DEPOSITO("Cobro Deposito N.");
constexpr QByteArrayView DEPOSITO_DESCONTADO("Deposito Descontado");

// The journal lines summed as they are read: what it keeps grows with the
// accounts and days, not with the lines. A journal's lines come grouped by
// entry, each entry numbered above the one before, so an entry is summed
// while its lines last and is not seen again. Where a number goes back, the
// journal is summed again with every entry kept by its number (`general`).
class SumaLineas {
public:
    explicit SumaLineas(bool general) : general_(general) {}

    // False when a number goes back and not `general`: start again.
    bool sumar(const ApunteLeido& l);
    void terminar(CifrasTraspaso& c, QVector<CuentaInforme>& cuentas, QMap<QString, QString>& nombre_por_concepto);

private:
    struct Cuenta {
        QByteArray subcta;
        double debe = 0, haber = 0;
        int lineas = 0;
        QByteArray total_dia;  // concept of its first debit "Total Dia " line
        bool con_total_dia = false;
    };
    struct Dia {
        QDate dia;
        int facturas = 0;
        double total_facturas = 0, descontados = 0, cobrados = 0;
        QVector<QPair<int, double>> cobros;  // account, amount
        QSet<qint64> asientos;               // invoices counted, when general
    };

    const bool general_;
    int lineas_ = 0;
    double debe_ = 0, haber_ = 0, pta_debe_ = 0, pta_haber_ = 0;
    QHash<QByteArray, int> indice_cuenta_;
    QVector<Cuenta> cuentas_;
    QHash<QDate, int> indice_dia_;
    QVector<Dia> dias_;
    int dia_ = -1;
    // The entry being read, and the days on which its invoice was counted.
    bool con_asiento_ = false;
    qint64 asiento_ = 0;
    double asiento_debe_ = 0, asiento_haber_ = 0;
    QVarLengthArray<int, 2> dias_factura_;
    // Entries seen before the one being read.
    int asientos_ = 0;
    qint64 primero_ = 0;
    QVector<qint64> descuadrados_;
    QMap<qint64, QPair<double, double>> por_asiento_;  // when general
};

bool descuadrado(double debe, double haber)
{
    return std::abs(debe - haber) > 0.005 + 1e-9;
}

bool SumaLineas::sumar(const ApunteLeido& l)
{
    if (!con_asiento_ || l.asien != asiento_) {
        if (con_asiento_ && !general_) {
            if (l.asien < asiento_) return false;
            if (asientos_++ == 0) primero_ = asiento_;
            if (descuadrado(asiento_debe_, asiento_haber_)) descuadrados_ << asiento_;
        }
        con_asiento_ = true;
        asiento_ = l.asien;
        asiento_debe_ = asiento_haber_ = 0;
        dias_factura_.clear();
    }
    ++lineas_;
    debe_ += l.euro_debe;
    haber_ += l.euro_haber;
    pta_debe_ += l.pta_debe;
    pta_haber_ += l.pta_haber;
    if (general_) {
        auto& s = por_asiento_[l.asien];
        s.first += l.euro_debe;
        s.second += l.euro_haber;
    } else {
        asiento_debe_ += l.euro_debe;
        asiento_haber_ += l.euro_haber;
    }

    const QByteArray clave = QByteArray::fromRawData(l.subcta.data(), l.subcta.size());
    int k = indice_cuenta_.value(clave, -1);
    if (k < 0) {
        k = int(cuentas_.size());
        cuentas_.append(Cuenta());
        cuentas_.last().subcta = l.subcta.toByteArray();
        indice_cuenta_.insert(cuentas_.last().subcta, k);
    }
    Cuenta& cu = cuentas_[k];
    cu.debe += l.euro_debe;
    cu.haber += l.euro_haber;
    ++cu.lineas;

    if (dia_ < 0 || dias_[dia_].dia != l.fecha) {
        dia_ = indice_dia_.value(l.fecha, -1);
        if (dia_ < 0) {
            dia_ = int(dias_.size());
            dias_.append(Dia());
            dias_.last().dia = l.fecha;
            indice_dia_.insert(l.fecha, dia_);
        }
    }
    Dia& d = dias_[dia_];
    if (l.auxiliar == "*") {
        // An invoice entry: its one debit line is the customer's, for the total.
        if (general_ ? !d.asientos.contains(l.asien) : !dias_factura_.contains(dia_)) {
            ++d.facturas;
            if (general_)
                d.asientos.insert(l.asien);
            else
                dias_factura_.append(dia_);
        }
        d.total_facturas += l.euro_debe;
    } else if (l.concepto.startsWith(DEPOSITO_DESCONTADO)) {
        d.descontados += l.euro_debe;
    } else if (l.concepto.startsWith(TOTAL_DIA) || l.concepto.startsWith(COBRO_DEPOSITO)) {
        // Debits: what came in by each payment method (the day's totals
        // and the deposit collections posted apart); the credits of a
        // deposit collection are what it paid into the deposits account.
        if (l.euro_debe != 0) {
            auto cobro = std::find_if(d.cobros.begin(), d.cobros.end(), [&](const auto& x) { return x.first == k; });
            if (cobro == d.cobros.end()) cobro = d.cobros.insert(d.cobros.end(), qMakePair(k, 0.0));
            cobro->second += l.euro_debe;
            if (!cu.con_total_dia && l.concepto.startsWith(TOTAL_DIA)) {
                cu.con_total_dia = true;
                cu.total_dia = l.concepto.toByteArray();
            }
        }
        if (l.concepto.startsWith(COBRO_DEPOSITO)) d.cobrados += l.euro_haber;
    }
    return true;
}

void SumaLineas::terminar(CifrasTraspaso& c, QVector<CuentaInforme>& cuentas,
                          QMap<QString, QString>& nombre_por_concepto)
{
    c.lineas = lineas_;
    c.debe = debe_;
    c.haber = haber_;
    c.pta_debe = pta_debe_;
    c.pta_haber = pta_haber_;
    if (general_) {
        c.asientos = int(por_asiento_.size());
        if (!por_asiento_.isEmpty()) {
            c.primer_asiento = por_asiento_.firstKey();
            c.ultimo_asiento = por_asiento_.lastKey();
        }
        for (auto it = por_asiento_.cbegin(); it != por_asiento_.cend(); ++it)
            if (descuadrado(it->first, it->second)) c.descuadrados << it.key();
    } else if (con_asiento_) {
        c.asientos = asientos_ + 1;
        c.primer_asiento = asientos_ ? primero_ : asiento_;
        c.ultimo_asiento = asiento_;
        c.descuadrados = descuadrados_;
        if (descuadrado(asiento_debe_, asiento_haber_)) c.descuadrados << asiento_;
    }

    // Accounts and payment methods by code as text, days by date.
    QStringList codigos;
    codigos.reserve(cuentas_.size());
    for (const Cuenta& cu : std::as_const(cuentas_)) codigos << texto_dbf(cu.subcta);
    QVector<int> orden(cuentas_.size());
    std::iota(orden.begin(), orden.end(), 0);
    std::sort(orden.begin(), orden.end(), [&](int a, int b) { return codigos[a] < codigos[b]; });
    cuentas.reserve(cuentas_.size());
    for (int k : std::as_const(orden)) {
        const Cuenta& cu = cuentas_[k];
        CuentaInforme ci;
        ci.subcta = codigos[k];
        ci.debe = cu.debe;
        ci.haber = cu.haber;
        ci.lineas = cu.lineas;
        cuentas << ci;
        if (cu.con_total_dia)
            nombre_por_concepto.insert(codigos[k], texto_dbf(cu.total_dia).mid(TOTAL_DIA.size()).trimmed());
    }
    std::sort(dias_.begin(), dias_.end(), [](const Dia& a, const Dia& b) { return a.dia < b.dia; });
    c.dias.reserve(dias_.size());
    for (Dia& d : dias_) {
        DiaInforme di;
        di.dia = d.dia;
        di.facturas = d.facturas;
        di.total_facturas = d.total_facturas;
        di.depositos_descontados = d.descontados;
        di.depositos_cobrados = d.cobrados;
        std::sort(d.cobros.begin(), d.cobros.end(),
                  [&](const auto& a, const auto& b) { return codigos[a.first] < codigos[b.first]; });
        for (const auto& k : std::as_const(d.cobros)) di.cobros << qMakePair(codigos[k.first], k.second);
        c.dias << di;
    }
}

}  // namespace

void contar_registros(ResumenTraspaso& r, const Conexion& diario, const Conexion& subcuentas)
{
    r.registros_diario = diario.dbase().registros(QStringLiteral("Xdiario"));
    try {
        r.registros_subcuentas = subcuentas.dbase().registros(QStringLiteral("XSubCta"));
    } catch (const Fallo& f) {
        // A journal without its subaccount file gets one when a row needs it.
        if (f.numero() != codigo_error::TABLA_INEXISTENTE) throw;
        r.registros_subcuentas = 0;
    }
}

CifrasTraspaso calcular_cifras(const ResumenTraspaso& r, const OrigenInforme& o)
{
    CifrasTraspaso c;
    if (r.registros_diario < 0) return c;  // nothing was appended

    const QVector<SubcuentaLeida> nuevas =
        filas_subcuentas(leer_registros(o.subcuentas, qMax<qint64>(0, r.registros_subcuentas), COLUMNAS_SUBCUENTA));

    QVector<CuentaInforme> cuentas;
    QMap<QString, QString> nombre_por_concepto;  // payment subaccount, name in its "Total Dia " line
    for (bool general : {false, true}) {
        SumaLineas suma(general);
        bool entera = true;
        recorrer_lineas_diario(o.diario, r.registros_diario,
                               [&](const ApunteLeido& l) { return entera = suma.sumar(l); });
        if (!entera) continue;
        suma.terminar(c, cuentas, nombre_por_concepto);
        break;
    }

    // Titles: the rows this run added, then the rest of XSubCta, then the
    // company's SubCta.
    QHash<QString, QString> titulos;
    for (const SubcuentaLeida& f : nuevas) {
        c.subcuentas_creadas << qMakePair(f.cod, f.titulo);
        if (!titulos.contains(f.cod)) titulos.insert(f.cod, f.titulo);
    }
    QSet<QString> sin_titulo;
    for (const CuentaInforme& cu : std::as_const(cuentas))
        if (!titulos.contains(cu.subcta)) sin_titulo.insert(cu.subcta);
    if (!sin_titulo.isEmpty()) titulos_de(o.subcuentas, sin_titulo, titulos);
    if (!r.externa && titulos.size() < cuentas.size()) titulos_de(o.subcuentas_empresa, sin_titulo, titulos);

    QSet<QString> usadas;
    for (const DiaInforme& d : std::as_const(c.dias))
        for (const auto& k : d.cobros) usadas.insert(k.first);
    if (!usadas.isEmpty()) {
        const QMap<QString, QStringList> formas = o.formas ? o.formas() : QMap<QString, QStringList>();
        QStringList cuentas_cobro(usadas.cbegin(), usadas.cend());
        cuentas_cobro.sort();
        for (const QString& cta : std::as_const(cuentas_cobro)) {
            QString nombre = formas.value(cta).join(QStringLiteral(", "));
            if (nombre.isEmpty()) nombre = nombre_por_concepto.value(cta);
            if (nombre.isEmpty()) nombre = titulos.value(cta, cta);
            c.formas << qMakePair(cta, nombre);
            // A payment account without a title is named by its methods.
            if (titulos.value(cta).isEmpty() && !formas.value(cta).isEmpty())
                titulos.insert(cta, QStringLiteral("Cobros: ") + nombre);
        }
    }
    for (CuentaInforme& cu : cuentas) cu.titulo = titulos.value(cu.subcta);
    c.cuentas = std::move(cuentas);
    return c;
}
