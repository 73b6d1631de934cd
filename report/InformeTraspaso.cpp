// The report's files: the HTML page, the CSV of the journal lines, and the
// report a run leaves beside its log.
#include "report/InformeTraspaso.h"

#include "platform/sistema/Fallo.h"
#include "platform/sistema/Fichero.h"
#include "platform/sistema/Interlocutor.h"
#include "platform/sistema/Unidades.h"
#include "report/CifrasTraspaso.h"
#include "report/DiarioEscrito.h"
#include "report/InformeHtml.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace {

const QString TITULO = QStringLiteral("Traspaso a CONTAPLUS");

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
        if (uchar(b) < 0x80)
            s.append(b);
        else
            s.append(de[uchar(b)]);
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
        const bool cifras =
            v.size() == 8 && std::all_of(v.begin(), v.end(), [](char b) { return b >= '0' && b <= '9'; });
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
    const bool comillas =
        std::any_of(v.begin(), v.end(), [](char b) { return b == ';' || b == '"' || b == '\n' || b == '\r'; });
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

QString escribir_informe(const ResumenTraspaso& r, const OrigenInforme& o, const QString& ruta_html,
                         const QStringList& libres)
{
    const QString html = informe_html(r, calcular_cifras(r, o));
    Salida f(ruta_html, libres);
    if (!r.simulacion || r.registros_diario < 0) {
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
    recorrer_lineas_diario(o.diario, r.registros_diario, [&](const ApunteLeido& l) {
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

QString escribir_csv(const ResumenTraspaso& r, const OrigenInforme& o, const QString& ruta_csv)
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
    const qint64 desde = r.registros_diario < 0 ? std::numeric_limits<int>::max() : r.registros_diario;
    bool con_cabecera = false;
    const RegistrosDbf leido = recorrer_registros(o.diario, desde, [&](const RegistrosDbf& c, const char* registro) {
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
    if (!con_cabecera) cabecera(leido);
    vaciar();
    return f.terminar();
}

QString dejar_informe(ResumenTraspaso& r, const FinInforme& fin, const OrigenInforme& o, const Unidades& unidades,
                      Interlocutor& interlocutor)
{
    r.como = fin.como;
    r.detenido = fin.detenido;
    r.fin = fin.fin;
    r.milisegundos = r.reloj.isValid() ? r.reloj.elapsed() : -1;
    if (r.simulacion) return {};  // a dry run writes its own, outside its scratch copy
    QString ruta = fin.nombre_registro;
    if (ruta.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive)) ruta.chop(4);
    ruta = unidades.local(ruta + QStringLiteral(".html"));
    try {
        return escribir_informe(r, o, ruta);
    } catch (const Fallo& f) {
        interlocutor.mensaje(QStringLiteral("No se ha podido escribir el informe del traspaso: ") + f.descripcion(),
                             TITULO, Icono::Exclamacion);
    } catch (const std::exception& e) {
        interlocutor.mensaje(QStringLiteral("No se ha podido escribir el informe del traspaso %1: %2")
                                 .arg(ruta, QString::fromLocal8Bit(e.what())),
                             TITULO, Icono::Exclamacion);
    }
    return {};
}
