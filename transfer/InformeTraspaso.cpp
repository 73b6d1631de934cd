// The report of a transfer: the run's own facts, the figures read back from
// what it appended to Xdiario and XSubCta, the HTML file and the CSV.
#include "transfer/InformeTraspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/valores/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/DiarioEscrito.h"
#include "transfer/Traspaso.h"

#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

// A Windows folder and a file name in it, whether the folder ends in "\" or not.
QString en_carpeta(const QString& carpeta, const QString& nombre)
{
    return carpeta.endsWith(QLatin1Char('\\')) ? carpeta + nombre : carpeta + QLatin1Char('\\') + nombre;
}

// The company's name from the hotel's emp table; empty when it has none.
QString nombre_empresa(Module1& m)
{
    try {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT EmpNom FROM emp WHERE EmpCod = ?"), m.hotel(m.conexion_emp), Cursor::Dinamico,
                 Bloqueo::SoloLectura, {m.empresa});
        return rs.eof() ? QString() : vb::texto_o_vacio(rs.campo(QStringLiteral("EmpNom"))).trimmed();
    } catch (const Fallo&) {
        return {};  // the report goes without it
    }
}

// Payment method names by the subaccount they post to, by cuenta_cobro's
// rule (cuenta_cobro itself would change the run's descripcion_cobro).
QMap<QString, QStringList> formas_por_cuenta(const Traspaso& t)
{
    QMap<QString, QStringList> formas;
    Module1& m = t.m;
    try {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM formas ORDER BY ForCod"), m.hotel(m.conexion_formas), Cursor::Dinamico,
                 Bloqueo::SoloLectura);
        for (; !rs.eof(); rs.siguiente()) {
            const QString nombre = vb::texto_o_vacio(rs.campo(QStringLiteral("ForDes"))).trimmed();
            QStringList& nombres = formas[t.cuenta_de_forma(rs.campo(QStringLiteral("ForCta")))];
            if (!nombre.isEmpty() && !nombres.contains(nombre)) nombres << nombre;
        }
    } catch (const Fallo&) {
        // Named from the lines' concepts instead.
    }
    return formas;
}

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
        QByteArray total_dia;      // concept of its first debit "Total Dia " line
        bool con_total_dia = false;
    };
    struct Dia {
        QDate dia;
        int facturas = 0;
        double total_facturas = 0, descontados = 0, cobrados = 0;
        QVector<QPair<int, double>> cobros;    // account, amount
        QSet<qint64> asientos;                 // invoices counted, when general
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
    QMap<qint64, QPair<double, double>> por_asiento_;   // when general
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
            if (general_) d.asientos.insert(l.asien);
            else dias_factura_.append(dia_);
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

// A report file made under a name no other file has, written whole or not
// at all: a write, sync or close that fails removes what was written and is
// a Fallo with the system's text.
class Salida {
public:
    explicit Salida(const QString& ruta, const QStringList& libres = {})
    {
        try {
            f_.crear_nuevo(ruta, libres);
        } catch (const Fallo& f) {
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO, f.descripcion());
        }
    }
    ~Salida()
    {
        if (!terminada_) {
            f_.cerrar();
            QFile::remove(f_.ruta());
        }
    }
    void escribir(const QByteArray& datos)
    {
        f_.escribir(escrito_, datos);
        escrito_ += datos.size();
    }
    // The path written.
    QString terminar()
    {
        f_.sincronizar();
        const QString ruta = f_.ruta();
        f_.cerrar_comprobando();
        terminada_ = true;
        return ruta;
    }

private:
    Fichero f_;
    qint64 escrito_ = 0;
    bool terminada_ = false;
};

// UTF-8 of every Windows-1252 byte.
struct Utf8De1252 {
    QByteArray de[256];
    Utf8De1252()
    {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            de[b] = texto_dbf(QByteArrayView(&c, 1)).toUtf8();
        }
    }
    void anadir(QByteArray& s, char b) const
    {
        if (uchar(b) < 0x80) s.append(b);
        else s.append(de[uchar(b)]);
    }
    // ASCII a run at a time.
    void anadir(QByteArray& s, QByteArrayView v) const
    {
        for (qsizetype i = 0; i < v.size();) {
            qsizetype j = i;
            while (j < v.size() && uchar(v[j]) < 0x80) ++j;
            s.append(v.sliced(i, j - i));
            if (j < v.size()) s.append(de[uchar(v[j++])]);
            i = j;
        }
    }
};

// One CSV field, in UTF-8: numbers with a decimal comma, dates dd/mm/aaaa,
// texts quoted when they hold the separator, a quote or a line end.
void anadir_campo_csv(QByteArray& s, QByteArrayView v, char tipo, const Utf8De1252& utf8)
{
    if (tipo == 'N' || tipo == 'F') {
        // No byte of a character's UTF-8 past ASCII is a point.
        const qsizetype desde = s.size();
        utf8.anadir(s, v);
        std::replace(s.begin() + desde, s.end(), '.', ',');
        return;
    }
    if (tipo == 'D') {
        const bool cifras = v.size() == 8 && std::all_of(v.begin(), v.end(), [](char b) { return b >= '0' && b <= '9'; });
        const QDate d = cifras ? fecha_dbf(v) : QDate();
        if (d.isValid() && d.year() >= 1000) {
            s.append(v.sliced(6, 2)).append('/').append(v.sliced(4, 2)).append('/').append(v.sliced(0, 4));
            return;
        }
        // What the fast way does not take, as QDate reads it.
        const QString t = texto_dbf(v);
        const QDate e = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
        s.append(e.isValid() ? e.toString(QStringLiteral("dd/MM/yyyy")).toUtf8() : t.toUtf8());
        return;
    }
    const bool comillas = std::any_of(v.begin(), v.end(), [](char b) { return b == ';' || b == '"' || b == '\n' || b == '\r'; });
    if (!comillas) {
        utf8.anadir(s, v);
        return;
    }
    s.append('"');
    for (char b : v) {
        if (b == '"') s.append('"');
        utf8.anadir(s, b);
    }
    s.append('"');
}

}  // namespace

QString Traspaso::fichero_diario_local() const
{
    return local(en_carpeta(carpeta_ficheros(), QStringLiteral("Xdiario.dbf")));
}

QString Traspaso::fichero_subcuentas_local() const
{
    return local(en_carpeta(carpeta_ficheros(), QStringLiteral("XSubCta.dbf")));
}

void empezar_resumen(Traspaso& t)
{
    ResumenTraspaso r;
    r.simulacion = t.resumen.simulacion;
    r.ruta_hotel = t.m.unidad + QStringLiteral(":\\quelmira");
    r.ruta_contaplus = t.m.ruta_contaplus;
    r.carpeta_ficheros = t.carpeta_ficheros();
    // The company of the files the activation opened.
    r.empresa = t.codigo_empresa.isEmpty() ? codigo_contaplus(t.m.empresa) : t.codigo_empresa;
    r.nombre_empresa = nombre_empresa(t.m);
    r.externa = t.m.externa;
    r.desde = t.fecha_desde;
    r.hasta = t.fecha_hasta;
    r.inicio = t.ahora();
    r.reloj.start();
    t.resumen = r;
}

void contar_registros(Traspaso& t)
{
    t.resumen.registros_diario = t.conexion_diario.dbase().registros(QStringLiteral("Xdiario"));
    try {
        t.resumen.registros_subcuentas = t.conexion_subcuentas.dbase().registros(QStringLiteral("XSubCta"));
    } catch (const Fallo& f) {
        // A journal without its subaccount file gets one when a row needs it.
        if (f.numero() != codigo_error::TABLA_INEXISTENTE) throw;
        t.resumen.registros_subcuentas = 0;
    }
}

CifrasTraspaso calcular_cifras(const Traspaso& t)
{
    CifrasTraspaso c;
    const ResumenTraspaso& r = t.resumen;
    if (r.registros_diario < 0) return c;   // nothing was appended

    const QVector<SubcuentaLeida> nuevas =
        filas_subcuentas(
        leer_registros(t.fichero_subcuentas_local(), qMax<qint64>(0, r.registros_subcuentas), COLUMNAS_SUBCUENTA));

    QVector<CuentaInforme> cuentas;
    QMap<QString, QString> nombre_por_concepto;     // payment subaccount, name in its "Total Dia " line
    for (bool general : {false, true}) {
        SumaLineas suma(general);
        bool entera = true;
        recorrer_lineas_diario(t.fichero_diario_local(), r.registros_diario,
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
    if (!sin_titulo.isEmpty()) titulos_de(t.fichero_subcuentas_local(), sin_titulo, titulos);
    if (!r.externa && titulos.size() < cuentas.size())
        titulos_de(t.local(carpeta_empresa(t.m.ruta_contaplus, r.empresa) + QStringLiteral("\\SubCta.dbf")),
                   sin_titulo, titulos);

    QSet<QString> usadas;
    for (const DiaInforme& d : std::as_const(c.dias))
        for (const auto& k : d.cobros) usadas.insert(k.first);
    if (!usadas.isEmpty()) {
        const QMap<QString, QStringList> formas = formas_por_cuenta(t);
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

QString escribir_informe(const Traspaso& t, const QString& ruta_html, const QStringList& libres)
{
    const QString html = informe_html(t.resumen, calcular_cifras(t));
    Salida f(ruta_html, libres);
    if (!t.resumen.simulacion || t.resumen.registros_diario < 0) {
        f.escribir(html.toUtf8());
        return f.terminar();
    }
    // A dry run's report also lists every line it would write, streamed
    // from the scratch journal into the page before its end.
    auto escribir = [&](const QString& texto) { f.escribir(texto.toUtf8()); };
    const qsizetype fin = html.lastIndexOf(QStringLiteral("</main>"));
    escribir(html.left(fin));
    escribir(QStringLiteral("<section class=\"apuntes\"><h2>Apuntes que se escribirían</h2>\n"
                            "<table><thead><tr><th class=\"n\">Asiento</th><th>Fecha</th><th>Subcuenta</th>"
                            "<th>Concepto</th><th>Documento</th><th class=\"n\">Debe</th><th class=\"n\">Haber</th>"
                            "</tr></thead><tbody>\n"));
    QString filas;
    recorrer_lineas_diario(t.fichero_diario_local(), t.resumen.registros_diario, [&](const ApunteLeido& l) {
        anadir_fila_apunte_html(filas, l);
        if (filas.size() >= 32 * 1024) {
            escribir(filas);
            filas.resize(0);
        }
        return true;
    });
    escribir(filas);
    escribir(QStringLiteral("</tbody></table></section>\n"));
    escribir(html.mid(fin));
    return f.terminar();
}

QString escribir_csv(const Traspaso& t, const QString& ruta_csv)
{
    Salida f(ruta_csv);
    // UTF-8 with its BOM: LibreOffice and Excel both take the BOM as the
    // encoding, where a Windows-1252 file would open garbled under a UTF-8
    // locale unless the clerk picked the page by hand.
    QByteArray bloque;
    auto vaciar = [&] {
        f.escribir(bloque);
        bloque.resize(0);
    };
    auto cabecera = [&](const RegistrosDbf& c) {
        bloque.append("\xEF\xBB\xBF").append(c.columnas.join(QLatin1Char(';')).toUtf8()).append("\r\n");
    };
    const Utf8De1252 utf8;
    const qint64 desde = t.resumen.registros_diario < 0 ? std::numeric_limits<int>::max() : t.resumen.registros_diario;
    bool con_cabecera = false;
    const RegistrosDbf r = recorrer_registros(t.fichero_diario_local(), desde,
                                              [&](const RegistrosDbf& c, const char* registro) {
        if (!con_cabecera) {
            cabecera(c);
            con_cabecera = true;
        }
        for (int i = 0; i < c.columnas.size(); ++i) {
            if (i) bloque.append(';');
            anadir_campo_csv(bloque, c.campo(registro, i), c.tipos.at(i).toLatin1(), utf8);
        }
        bloque.append("\r\n");
        if (bloque.size() >= 64 * 1024) vaciar();
        return true;
    });
    if (!con_cabecera) cabecera(r);
    vaciar();
    return f.terminar();
}

void dejar_informe(Traspaso& t, FinTraspaso como)
{
    ResumenTraspaso& r = t.resumen;
    r.como = como;
    r.detenido = t.detenido;
    r.fin = t.ahora();
    r.milisegundos = r.reloj.isValid() ? r.reloj.elapsed() : -1;
    t.informe.clear();
    if (r.simulacion) return;   // a dry run writes its own, outside its scratch copy
    QString ruta = t.nombre_registro;
    if (ruta.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive)) ruta.chop(4);
    ruta = t.local(ruta + QStringLiteral(".html"));
    try {
        t.informe = escribir_informe(t, ruta);
    } catch (const Fallo& f) {
        t.m.interlocutor.mensaje(QStringLiteral("No se ha podido escribir el informe del traspaso: ") + f.descripcion(),
                                 TITULO, Icono::Exclamacion);
    } catch (const std::exception& e) {
        t.m.interlocutor.mensaje(QStringLiteral("No se ha podido escribir el informe del traspaso %1: %2")
                                     .arg(ruta, QString::fromLocal8Bit(e.what())),
                                 TITULO, Icono::Exclamacion);
    }
}
