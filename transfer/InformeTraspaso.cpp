// The report of a transfer: the run's own facts, the figures read back from
// what it appended to Xdiario and XSubCta, the HTML file and the CSV.
#include "transfer/InformeTraspaso.h"

#include "platform/Fallo.h"
#include "platform/Vb.h"
#include "startup/RutinasComunes.h"
#include "transfer/DiarioEscrito.h"
#include "transfer/Traspaso.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QSet>
#include <cmath>
#include <limits>

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
void titulos_de(const QString& ruta_local, const QSet<QString>& codigos, QMap<QString, QString>& titulos)
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
const QString TOTAL_DIA = QStringLiteral("Total Dia");
const QString COBRO_DEPOSITO = QStringLiteral("Cobro Deposito N.");
const QString DEPOSITO_DESCONTADO = QStringLiteral("Deposito Descontado");

void escribir_fichero(const QString& ruta, const QByteArray& datos)
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(datos) != datos.size() || !f.commit())
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede escribir %1: %2").arg(ruta, f.errorString()));
}

// One CSV field: numbers with a decimal comma, dates dd/mm/aaaa, texts
// quoted when they hold the separator, a quote or a line end.
QString campo_csv(const QString& v, QChar tipo)
{
    if (tipo == QLatin1Char('N') || tipo == QLatin1Char('F')) return QString(v).replace(QLatin1Char('.'), QLatin1Char(','));
    if (tipo == QLatin1Char('D')) {
        const QDate d = QDate::fromString(v, QStringLiteral("yyyyMMdd"));
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : v;
    }
    if (v.contains(QLatin1Char(';')) || v.contains(QLatin1Char('"')) || v.contains(QLatin1Char('\n')) ||
        v.contains(QLatin1Char('\r')))
        return QLatin1Char('"') + QString(v).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return v;
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
    t.resumen.registros_diario = t.conexion_diario.registros(QStringLiteral("Xdiario"));
    try {
        t.resumen.registros_subcuentas = t.conexion_subcuentas.registros(QStringLiteral("XSubCta"));
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

    QMap<qint64, QPair<double, double>> por_asiento;
    QMap<QString, CuentaInforme> cuentas;
    QMap<QDate, DiaInforme> dias;
    QMap<QDate, QSet<qint64>> facturas_dia;
    QMap<QDate, QMap<QString, double>> cobros_dia;
    QMap<QString, QString> nombre_por_concepto;     // payment subaccount, name in its "Total Dia " line
    // One line at a time: what the report keeps grows with the entries,
    // accounts and days, not with the lines.
    recorrer_lineas_diario(t.fichero_diario_local(), r.registros_diario, [&](const ApunteLeido& l) {
        const qint64 asien = qint64(std::llround(l.asien));
        ++c.lineas;
        c.debe += l.euro_debe;
        c.haber += l.euro_haber;
        c.pta_debe += l.pta_debe;
        c.pta_haber += l.pta_haber;
        auto& s = por_asiento[asien];
        s.first += l.euro_debe;
        s.second += l.euro_haber;

        CuentaInforme& cu = cuentas[l.subcta];
        cu.subcta = l.subcta;
        cu.debe += l.euro_debe;
        cu.haber += l.euro_haber;
        ++cu.lineas;

        DiaInforme& d = dias[l.fecha];
        d.dia = l.fecha;
        if (l.auxiliar == QLatin1String("*")) {
            // An invoice entry: its one debit line is the customer's, for the total.
            facturas_dia[l.fecha].insert(asien);
            d.total_facturas += l.euro_debe;
        } else if (l.concepto.startsWith(DEPOSITO_DESCONTADO)) {
            d.depositos_descontados += l.euro_debe;
        } else if (l.concepto.startsWith(TOTAL_DIA) || l.concepto.startsWith(COBRO_DEPOSITO)) {
            // Debits: what came in by each payment method (the day's totals
            // and the deposit collections posted apart); the credits of a
            // deposit collection are what it paid into the deposits account.
            if (l.euro_debe != 0) {
                cobros_dia[l.fecha][l.subcta] += l.euro_debe;
                if (l.concepto.startsWith(TOTAL_DIA) && !nombre_por_concepto.contains(l.subcta))
                    nombre_por_concepto.insert(l.subcta, l.concepto.mid(TOTAL_DIA.size()).trimmed());
            }
            if (l.concepto.startsWith(COBRO_DEPOSITO)) d.depositos_cobrados += l.euro_haber;
        }
    });
    c.asientos = por_asiento.size();
    if (!por_asiento.isEmpty()) {
        c.primer_asiento = por_asiento.firstKey();
        c.ultimo_asiento = por_asiento.lastKey();
    }
    for (auto it = por_asiento.cbegin(); it != por_asiento.cend(); ++it)
        if (std::abs(it->first - it->second) > 0.005 + 1e-9) c.descuadrados << it.key();

    // Titles: the rows this run added, then the rest of XSubCta, then the
    // company's SubCta.
    QMap<QString, QString> titulos;
    for (const SubcuentaLeida& f : nuevas) {
        c.subcuentas_creadas << qMakePair(f.cod, f.titulo);
        if (!titulos.contains(f.cod)) titulos.insert(f.cod, f.titulo);
    }
    QSet<QString> sin_titulo;
    for (const QString& cod : cuentas.keys())
        if (!titulos.contains(cod)) sin_titulo.insert(cod);
    if (!sin_titulo.isEmpty()) titulos_de(t.fichero_subcuentas_local(), sin_titulo, titulos);
    if (!r.externa && titulos.size() < cuentas.size())
        titulos_de(t.local(carpeta_empresa(t.m.ruta_contaplus, r.empresa) + QStringLiteral("\\SubCta.dbf")),
                   sin_titulo, titulos);

    QSet<QString> usadas;
    for (auto it = dias.begin(); it != dias.end(); ++it) {
        it->facturas = facturas_dia.value(it.key()).size();
        const QMap<QString, double> cobros = cobros_dia.value(it.key());
        for (auto k = cobros.cbegin(); k != cobros.cend(); ++k) {
            it->cobros << qMakePair(k.key(), k.value());
            usadas.insert(k.key());
        }
        c.dias << *it;
    }
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
    for (CuentaInforme& cu : cuentas) {
        cu.titulo = titulos.value(cu.subcta);
        c.cuentas << cu;
    }
    return c;
}

QString escribir_informe(const Traspaso& t, const QString& ruta_html)
{
    const QString html = informe_html(t.resumen, calcular_cifras(t));
    if (!t.resumen.simulacion || t.resumen.registros_diario < 0) {
        escribir_fichero(ruta_html, html.toUtf8());
        return ruta_html;
    }
    // A dry run's report also lists every line it would write, streamed
    // from the scratch journal into the page before its end.
    QSaveFile f(ruta_html);
    auto fallo = [&] {
        return Fallo(codigo_error::ERROR_DE_ARCHIVO,
                     QStringLiteral("No se puede escribir %1: %2").arg(ruta_html, f.errorString()));
    };
    auto escribir = [&](const QString& texto) {
        const QByteArray b = texto.toUtf8();
        if (f.write(b) != b.size()) throw fallo();
    };
    if (!f.open(QIODevice::WriteOnly)) throw fallo();
    const qsizetype fin = html.lastIndexOf(QStringLiteral("</main>"));
    escribir(html.left(fin));
    escribir(QStringLiteral("<section class=\"apuntes\"><h2>Apuntes que se escribirían</h2>\n"
                            "<table><thead><tr><th class=\"n\">Asiento</th><th>Fecha</th><th>Subcuenta</th>"
                            "<th>Concepto</th><th>Documento</th><th class=\"n\">Debe</th><th class=\"n\">Haber</th>"
                            "</tr></thead><tbody>\n"));
    recorrer_lineas_diario(t.fichero_diario_local(), t.resumen.registros_diario,
                           [&](const ApunteLeido& l) { escribir(fila_apunte_html(l)); });
    escribir(QStringLiteral("</tbody></table></section>\n"));
    escribir(html.mid(fin));
    if (!f.commit()) throw fallo();
    return ruta_html;
}

void escribir_csv(const Traspaso& t, const QString& ruta_csv)
{
    QSaveFile f(ruta_csv);
    auto fallo = [&] {
        return Fallo(codigo_error::ERROR_DE_ARCHIVO,
                     QStringLiteral("No se puede escribir %1: %2").arg(ruta_csv, f.errorString()));
    };
    if (!f.open(QIODevice::WriteOnly)) throw fallo();
    // UTF-8 with its BOM: LibreOffice and Excel both take the BOM as the
    // encoding, where a Windows-1252 file would open garbled under a UTF-8
    // locale unless the clerk picked the page by hand.
    auto escribir = [&](const QString& linea) {
        const QByteArray b = linea.toUtf8();
        if (f.write(b) != b.size()) throw fallo();
    };
    const qint64 desde = t.resumen.registros_diario < 0 ? std::numeric_limits<int>::max() : t.resumen.registros_diario;
    bool cabecera = false;
    const RegistrosDbf r = recorrer_registros(t.fichero_diario_local(), desde, {},
                                              [&](const RegistrosDbf& c, const QStringList& fila) {
        if (!cabecera) {
            escribir(QChar(0xFEFF) + c.columnas.join(QLatin1Char(';')) + QStringLiteral("\r\n"));
            cabecera = true;
        }
        QStringList campos;
        for (int i = 0; i < fila.size(); ++i) campos << campo_csv(fila[i], c.tipos.at(i));
        escribir(campos.join(QLatin1Char(';')) + QStringLiteral("\r\n"));
    });
    if (!cabecera) escribir(QChar(0xFEFF) + r.columnas.join(QLatin1Char(';')) + QStringLiteral("\r\n"));
    if (!f.commit()) throw fallo();
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
