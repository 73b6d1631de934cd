// The report of a dry run. With the run report of every transfer
// (InformeTraspaso) it is that report, marked as a dry run; without it, a
// page of its own with the journal lines the run would have written, and
// those lines as CSV.
#include "transfer/Simulacion.h"

#if __has_include("transfer/InformeTraspaso.h")
#include "transfer/InformeTraspaso.h"

void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, const QString& ruta_csv)
{
    s.resumen.simulacion = true;
    s.resumen.detenido = s.detenido;
    escribir_informe(s, ruta_html);
    escribir_csv(s, ruta_csv);
}

#else

#include "platform/Fallo.h"
#include "platform/Vb.h"

#include <QDate>
#include <QFile>
#include <QSaveFile>

namespace {

QString texto_de(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'f', 2);
    return v.toString().trimmed();
}

QString html(QString t)
{
    return t.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

QString csv(QString t)
{
    if (!t.contains(';') && !t.contains('"') && !t.contains('\n'))
        return t;
    return '"' + t.replace('"', "\"\"") + '"';
}

void escribir(const QString& ruta, const QString& texto)
{
    QSaveFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(texto.toUtf8()) < 0 || !f.commit())
        throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                    QStringLiteral("No se puede escribir %1: %2").arg(ruta, f.errorString()));
}

}  // namespace

void escribir_informe_simulacion(Traspaso& s, const QString& ruta_html, const QString& ruta_csv)
{
    Resultado diario;
    if (s.conexion_diario.abierta())
        diario = s.conexion_diario.backend().abrir(QStringLiteral("SELECT * FROM Xdiario"), {}, false)->leer();

    QString tabla = QStringLiteral("<table border=\"1\">\n<tr>");
    QStringList cabecera;
    for (const Columna& c : std::as_const(diario.columnas)) {
        tabla += QStringLiteral("<th>") + html(c.nombre) + QStringLiteral("</th>");
        cabecera << csv(c.nombre);
    }
    tabla += QStringLiteral("</tr>\n");
    QString lineas = cabecera.join(';') + QStringLiteral("\r\n");
    for (const QVariantList& fila : std::as_const(diario.filas)) {
        QStringList campos;
        tabla += QStringLiteral("<tr>");
        for (const QVariant& v : fila) {
            tabla += QStringLiteral("<td>") + html(texto_de(v)) + QStringLiteral("</td>");
            campos << csv(texto_de(v));
        }
        tabla += QStringLiteral("</tr>\n");
        lineas += campos.join(';') + QStringLiteral("\r\n");
    }
    tabla += QStringLiteral("</table>\n");

    const QString pagina =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"es\">\n<head><meta charset=\"utf-8\">"
                       "<title>Simulación del traspaso a ContaPlus</title></head>\n<body>\n"
                       "<h1>Simulación del traspaso a ContaPlus</h1>\n"
                       "<p><strong>Simulación: no se ha escrito nada</strong></p>\n") +
        QStringLiteral("<p>Desde: %1 Hasta: %2</p>\n").arg(html(s.vista.texto_de()), html(s.vista.texto_hasta())) +
        (s.detenido.isEmpty() ? QString() : QStringLiteral("<p>") + html(s.detenido) + QStringLiteral("</p>\n")) +
        QStringLiteral("<p>Líneas del diario: %1</p>\n").arg(diario.filas.size()) + tabla +
        QStringLiteral("</body>\n</html>\n");
    escribir(ruta_html, pagina);
    escribir(ruta_csv, lineas);
}

#endif
