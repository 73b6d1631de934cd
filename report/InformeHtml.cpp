// The report as one HTML page: styles and the chart inline, nothing fetched,
// printable on A4. Every text that comes from data is escaped; the key
// figures are also in data- attributes, with a decimal point, for programs.
#include "report/InformeHtml.h"

#include "report/DiarioEscrito.h"

#include <QMap>
#include <QPointF>

#include <algorithm>
#include <cmath>

namespace {

QString esc(const QString& s)
{
    return s.toHtmlEscaped();
}

// A field as stored, escaped: most hold none of the characters to escape.
void anadir_esc(QString& s, QByteArrayView campo)
{
    const bool especial =
        std::any_of(campo.begin(), campo.end(), [](char b) { return b == '<' || b == '>' || b == '&' || b == '"'; });
    s += especial ? esc(texto_dbf(campo)) : texto_dbf(campo);
}

// 1234.5 as "1.234,50": thousands with a point, a decimal comma.
QString importe(double v, int decimales = 2)
{
    static constexpr double POTENCIA[] = {1, 10, 100, 1000};
    const double p = decimales >= 0 && decimales <= 3 ? POTENCIA[decimales] : std::pow(10.0, decimales);
    const double k = std::round(v * p);
    if (decimales >= 0 && decimales <= 3 && std::abs(k) < 1e15) {
        // k / p, formatted to its decimals, is k's digits with a comma
        // before the last `decimales`: the quotient is nearer k / p than
        // half the last decimal.
        char b[32];
        int i = sizeof b;
        auto n = quint64(std::abs(k));
        for (int j = 0; j < decimales; ++j, n /= 10) b[--i] = char('0' + n % 10);
        if (decimales > 0) b[--i] = ',';
        for (int j = 0;; ++j, n /= 10) {
            if (j && j % 3 == 0) b[--i] = '.';
            b[--i] = char('0' + n % 10);
            if (n < 10) break;
        }
        if (k < 0) b[--i] = '-';
        return QString::fromLatin1(b + i, qsizetype(sizeof b) - i);
    }
    const double redondeado = k / p;
    QString s = QString::number(std::abs(redondeado), 'f', decimales);
    const qsizetype punto = s.indexOf(QLatin1Char('.'));
    QString entera = punto < 0 ? s : s.left(punto);
    const QString fraccion = punto < 0 ? QString() : s.mid(punto + 1);
    for (qsizetype i = entera.size() - 3; i > 0; i -= 3) entera.insert(i, QLatin1Char('.'));
    QString r = redondeado < 0 ? QStringLiteral("-") + entera : entera;
    return fraccion.isEmpty() ? r : r + QLatin1Char(',') + fraccion;
}

QString entero(qint64 v)
{
    return importe(double(v), 0);
}

// For the data- attributes.
QString dato(double v)
{
    return QString::number(std::round(v * 100.0) / 100.0, 'f', 2);
}

// A date in one of the report's formats, of "dd", "MM", "yyyy" and other
// characters: QDate::toString parses its format every call, and the report
// writes a date a day and a line.
QString texto_fecha(QDate f, QLatin1String formato)
{
    int a = 0, m = 0, d = 0;
    f.getDate(&a, &m, &d);
    if (a < 1000 || a > 9999) return f.toString(QString(formato));  // invalid ones too
    char b[16];
    int n = 0;
    auto cifras = [&](int v, int k) {
        for (int i = k - 1; i >= 0; --i, v /= 10) b[n + i] = char('0' + v % 10);
        n += k;
    };
    for (qsizetype i = 0; i < formato.size() && n < 12;) {
        const QLatin1String resto = formato.sliced(i);
        if (resto.startsWith(QLatin1String("yyyy"))) {
            cifras(a, 4);
            i += 4;
        } else if (resto.startsWith(QLatin1String("MM"))) {
            cifras(m, 2);
            i += 2;
        } else if (resto.startsWith(QLatin1String("dd"))) {
            cifras(d, 2);
            i += 2;
        } else {
            b[n++] = formato[i++].toLatin1();
        }
    }
    return QString::fromLatin1(b, n);
}

QString fecha(const QString& aaaammdd)
{
    const QDate d = QDate::fromString(aaaammdd, QStringLiteral("yyyyMMdd"));
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : aaaammdd;
}

QString duracion(qint64 ms)
{
    if (ms < 0) return QStringLiteral("—");
    const qint64 s = (ms + 500) / 1000;
    if (s < 60) return ms < 1000 ? QStringLiteral("menos de un segundo") : QStringLiteral("%1 s").arg(s);
    return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

const char* const ESTILO = R"(
@page { size: A4; margin: 14mm 12mm; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Segoe UI", Arial, sans-serif; font-size: 10.5pt; color: #1b1b1b;
       margin: 0; background: #f3f4f6; }
main { max-width: 1120px; margin: 0 auto; padding: 24px 28px 40px; background: #fff; }
h1 { font-size: 19pt; margin: 0 0 4px; color: #17365d; }
h2 { font-size: 13pt; margin: 26px 0 8px; padding-bottom: 3px; border-bottom: 2px solid #17365d; color: #17365d; }
p.sub { margin: 0 0 14px; color: #555; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: 4px 8px; border-bottom: 1px solid #dde1e6; text-align: left; vertical-align: top; }
thead th { background: #e8edf3; font-weight: 600; border-bottom: 1px solid #b8c2cc; }
thead { display: table-header-group; }
tfoot { display: table-row-group; }
tr { break-inside: avoid; }
td.n, th.n { text-align: right; font-variant-numeric: tabular-nums; }
td.n { white-space: nowrap; }
table.dias { font-size: 9pt; }
table.dias th { font-size: 8.5pt; }
th.grupo { text-align: center; border-bottom: 1px solid #b8c2cc; }
tfoot td { font-weight: 600; border-top: 1px solid #8a96a3; border-bottom: none; }
table.datos th { width: 26%; background: none; border-bottom: 1px solid #dde1e6; font-weight: 600; }
.estado { display: inline-block; padding: 2px 10px; border-radius: 10px; font-weight: 600; }
.ok { background: #dff3e4; color: #1d6b32; }
.mal { background: #fbe0e0; color: #9b1c1c; }
.aviso { background: #fff1cc; color: #7a5200; }
.cifras { display: flex; flex-wrap: wrap; gap: 10px; margin: 6px 0 10px; }
.cifra { flex: 1 1 150px; border: 1px solid #dde1e6; border-radius: 6px; padding: 8px 12px; }
.cifra b { display: block; font-size: 14pt; color: #17365d; font-variant-numeric: tabular-nums; }
.cifra span { color: #555; font-size: 9pt; }
.nada { color: #666; font-style: italic; }
.grafico { margin: 6px 0 4px; break-inside: avoid; }
.grafico svg { width: 100%; height: auto; }
section.junto { break-inside: avoid; }
.ancha { overflow-x: auto; }
@media screen and (max-width: 900px) {
  main { padding: 16px 12px 30px; }
  table.dias { font-size: 8pt; }
  table.dias th { font-size: 7.5pt; }
}
@media print {
  body { background: #fff; font-size: 9.5pt; }
  main { max-width: none; padding: 0; }
  h2 { break-after: avoid; }
  .cifra { border-color: #999; }
  .ancha { overflow: visible; }
}
)";

const char* const COLOR_FACTURAS = "#1f4e79";
const char* const COLORES_COBRO[] = {"#2e8b57", "#e69f00", "#56b4e9", "#cc79a7",
                                     "#d55e00", "#009e73", "#8c6d31", "#7f7f7f"};

// A round step for about five divisions up to `maximo`.
double paso_eje(double maximo)
{
    if (maximo <= 0) return 1;
    const double bruto = maximo / 5;
    const double base = std::pow(10.0, std::floor(std::log10(bruto)));
    for (double f : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (bruto <= f * base) return f * base;
    return 10 * base;
}

// Bars per day: the invoices posted, and beside them the cash collected,
// stacked by payment method.
QString grafico(const CifrasTraspaso& c)
{
    const int n = int(c.dias.size());
    QMap<QString, int> color;
    for (int i = 0; i < c.formas.size(); ++i) color.insert(c.formas[i].first, i % 8);
    double maximo = 0;
    for (const DiaInforme& d : c.dias) {
        double caja = 0;
        for (const auto& k : d.cobros) caja += k.second;
        maximo = std::max({maximo, d.total_facturas, caja});
    }
    const double paso = paso_eje(maximo);
    const double tope = std::max(paso, std::ceil(maximo / paso) * paso);
    const double W = 760, H = 300, izq = 78, der = 12, arriba = 14, abajo = 46;
    const double ancho = W - izq - der, alto = H - arriba - abajo;
    const double grupo = ancho / std::max(1, n), barra = std::max(0.6, grupo * 0.38);
    auto y = [&](double v) { return arriba + alto - v / tope * alto; };
    auto num = [](double v) { return QString::number(v, 'f', 1); };

    // Legend entries flow left to right, wrapping; text width estimated.
    QVector<QPair<QString, QString>> leyenda{
        {QStringLiteral("Facturas contabilizadas"), QLatin1String(COLOR_FACTURAS)}};
    for (const auto& f : c.formas)
        leyenda.append(
            {QStringLiteral("Cobros ") + f.second.left(48), QLatin1String(COLORES_COBRO[color.value(f.first)])});
    QVector<QPointF> sitio;
    double lx = izq, ly = H + 4;
    for (const auto& l : leyenda) {
        const double w = 17 + l.first.size() * 6.6 + 18;
        if (lx > izq && lx + w > W - der) {
            lx = izq;
            ly += 18;
        }
        sitio << QPointF(lx, ly);
        lx += w;
    }
    const double alto_total = ly + 22;
    QString s = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                               "aria-label=\"Totales diarios\" font-family=\"DejaVu Sans, Arial, sans-serif\" "
                               "font-size=\"11\">")
                    .arg(W)
                    .arg(alto_total);
    for (double v = 0; v <= tope + paso / 2; v += paso) {
        s += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"%4\"/>")
                 .arg(num(izq), num(W - der), num(y(v)), v == 0 ? QStringLiteral("#444") : QStringLiteral("#dde1e6"));
        s += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"end\" fill=\"#333\">%3</text>")
                 .arg(num(izq - 6), num(y(v) + 4), importe(v, 0));
    }
    s += QStringLiteral("<text transform=\"translate(14 %1) rotate(-90)\" text-anchor=\"middle\" fill=\"#333\">"
                        "Euros</text>")
             .arg(num(arriba + alto / 2));
    const int cada = std::max(1, int(std::ceil(n / 16.0)));
    for (int i = 0; i < n; ++i) {
        const DiaInforme& d = c.dias[i];
        const double x0 = izq + i * grupo + (grupo - 2 * barra) / 2;
        const QString dia = texto_fecha(d.dia, QLatin1String("dd/MM/yyyy"));
        if (d.total_facturas > 0)
            s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"><title>%6: facturas "
                                "%7 €</title></rect>")
                     .arg(num(x0), num(y(d.total_facturas)), num(barra), num(alto + arriba - y(d.total_facturas)),
                          QLatin1String(COLOR_FACTURAS), dia, importe(d.total_facturas));
        double base = 0;
        for (const auto& k : d.cobros) {
            if (k.second <= 0) continue;
            s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"><title>%6: %7 %8 "
                                "€</title></rect>")
                     .arg(num(x0 + barra), num(y(base + k.second)), num(barra), num(y(base) - y(base + k.second)),
                          QLatin1String(COLORES_COBRO[color.value(k.first)]), dia, esc(k.first), importe(k.second));
            base += k.second;
        }
        if (i % cada == 0)
            s += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\" fill=\"#333\">%3</text>")
                     .arg(num(x0 + barra), num(arriba + alto + 16), texto_fecha(d.dia, QLatin1String("dd/MM")));
    }
    s += QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"middle\" fill=\"#333\">Día</text>")
             .arg(num(izq + ancho / 2), num(arriba + alto + 36));
    for (int i = 0; i < leyenda.size(); ++i)
        s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"12\" height=\"12\" fill=\"%3\"/>"
                            "<text x=\"%4\" y=\"%5\" fill=\"#222\">%6</text>")
                 .arg(num(sitio[i].x()), num(sitio[i].y()), leyenda[i].second, num(sitio[i].x() + 17),
                      num(sitio[i].y() + 10), esc(leyenda[i].first));
    return s + QStringLiteral("</svg>");
}

QString como_termino(const ResumenTraspaso& r)
{
    if (!r.detenido.isEmpty())
        return QStringLiteral("<span class=\"estado aviso\">Detenido por el usuario</span> en %1").arg(esc(r.detenido));
    switch (r.como) {
    case FinTraspaso::Correcto: return QStringLiteral("<span class=\"estado ok\">Terminado correctamente</span>");
    case FinTraspaso::SinFacturas:
        return QStringLiteral("<span class=\"estado ok\">Terminado: no había facturas que traspasar en el "
                              "periodo</span>");
    case FinTraspaso::Fallido:
        return QStringLiteral("<span class=\"estado mal\">Interrumpido por un fallo</span><br>") + esc(r.fallo);
    default: return QStringLiteral("<span class=\"estado aviso\">No se ha traspasado nada</span>");
    }
}

QString fila(const QString& th, const QString& td)
{
    return QStringLiteral("<tr><th>%1</th><td>%2</td></tr>").arg(th, td);
}

}  // namespace

void anadir_fila_apunte_html(QString& s, const ApunteLeido& l)
{
    // Appended, not made with arg(), which parses its pattern each call: a
    // row a line of a year's journal.
    s += QLatin1String("<tr><td class=\"n\">");
    s += entero(l.asien);
    s += QLatin1String("</td><td>");
    s += texto_fecha(l.fecha, QLatin1String("dd/MM/yyyy"));
    s += QLatin1String("</td><td>");
    anadir_esc(s, l.subcta);
    s += QLatin1String("</td><td>");
    anadir_esc(s, l.concepto);
    s += QLatin1String("</td><td>");
    anadir_esc(s, l.documento);
    s += QLatin1String("</td><td class=\"n\">");
    if (l.euro_debe != 0) s += importe(l.euro_debe);
    s += QLatin1String("</td><td class=\"n\">");
    if (l.euro_haber != 0) s += importe(l.euro_haber);
    s += QLatin1String("</td></tr>\n");
}

QString informe_html(const ResumenTraspaso& r, const CifrasTraspaso& c)
{
    const QString titulo = r.simulacion ? QStringLiteral("Simulación del traspaso a ContaPlus")
                                        : QStringLiteral("Informe del traspaso a ContaPlus");
    QString h;
    h.reserve(64 * 1024 + c.cuentas.size() * 200 + c.dias.size() * 300);
    h += QStringLiteral("<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">\n<title>%1 del %2 "
                        "al %3</title>\n<style>%4</style>\n</head>\n<body>\n")
             .arg(titulo, fecha(r.desde), fecha(r.hasta), QString::fromUtf8(ESTILO));
    h +=
        QStringLiteral("<main id=\"informe\" data-asientos=\"%1\" data-lineas=\"%2\" data-primero=\"%3\" "
                       "data-ultimo=\"%4\" data-debe=\"%5\" data-haber=\"%6\" data-pta-debe=\"%7\" "
                       "data-pta-haber=\"%8\" data-descuadrados=\"%9\">\n")
            .arg(c.asientos)
            .arg(c.lineas)
            .arg(c.primer_asiento)
            .arg(c.ultimo_asiento)
            .arg(dato(c.debe), dato(c.haber), QString::number(qint64(c.pta_debe)), QString::number(qint64(c.pta_haber)))
            .arg(c.descuadrados.size());
    h += QStringLiteral("<h1>%1</h1>\n<p class=\"sub\">%2 · del %3 al %4</p>\n")
             .arg(titulo,
                  r.nombre_empresa.isEmpty()
                      ? QStringLiteral("Empresa ") + esc(r.empresa)
                      : esc(r.nombre_empresa) + QStringLiteral(" (empresa ") + esc(r.empresa) + QLatin1Char(')'),
                  fecha(r.desde), fecha(r.hasta));
    if (r.simulacion)
        h += QStringLiteral("<p><span class=\"estado aviso\">Simulación: no se ha escrito nada</span> ni en "
                            "ContaPlus ni en el programa de Hotel: estas son las cifras y los apuntes que el "
                            "traspaso escribiría.</p>\n");

    // The run.
    h += QStringLiteral("<section class=\"junto\"><h2>Traspaso</h2>\n<table class=\"datos\">\n");
    h += fila(QStringLiteral("Resultado"), como_termino(r));
    h += fila(QStringLiteral("Periodo"), QStringLiteral("del %1 al %2").arg(fecha(r.desde), fecha(r.hasta)));
    h +=
        fila(QStringLiteral("Empresa de ContaPlus"),
             esc(r.empresa) + (r.nombre_empresa.isEmpty() ? QString() : QStringLiteral(" — ") + esc(r.nombre_empresa)));
    h += fila(QStringLiteral("Datos del hotel"), esc(r.ruta_hotel));
    h += fila(QStringLiteral("Ficheros escritos"),
              esc(r.carpeta_ficheros) + (r.externa ? QStringLiteral(" (ContaPlus fuera de esta red)") : QString()));
    h += fila(QStringLiteral("Empezó"), esc(r.inicio.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    h += fila(QStringLiteral("Terminó"), esc(r.fin.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    h += fila(QStringLiteral("Duración"), duracion(r.milisegundos));
    h += QStringLiteral("</table></section>\n");

    // The entries.
    h += QStringLiteral("<section class=\"junto\"><h2>Asientos escritos</h2>\n");
    if (c.lineas == 0) {
        h += QStringLiteral("<p class=\"nada\">Este traspaso no ha escrito ningún asiento.</p>\n");
    } else {
        h += QStringLiteral("<div class=\"cifras\">"
                            "<div class=\"cifra\"><b>%1</b><span>asientos, del %2 al %3</span></div>"
                            "<div class=\"cifra\"><b>%4</b><span>apuntes (líneas)</span></div>"
                            "<div class=\"cifra\"><b>%5 €</b><span>total Debe</span></div>"
                            "<div class=\"cifra\"><b>%6 €</b><span>total Haber</span></div></div>\n")
                 .arg(entero(c.asientos), entero(c.primer_asiento), entero(c.ultimo_asiento), entero(c.lineas),
                      importe(c.debe), importe(c.haber));
        h += QStringLiteral(
                 "<table><thead><tr><th></th><th class=\"n\">Debe</th><th class=\"n\">Haber</th>"
                 "<th class=\"n\">Diferencia</th></tr></thead>\n<tbody>"
                 "<tr><td>Euros</td><td class=\"n\">%1</td><td class=\"n\">%2</td><td class=\"n\">%3</td></tr>"
                 "<tr><td>Pesetas</td><td class=\"n\">%4</td><td class=\"n\">%5</td><td class=\"n\">%6</td>"
                 "</tr></tbody></table>\n")
                 .arg(importe(c.debe), importe(c.haber), importe(c.debe - c.haber), entero(qint64(c.pta_debe)),
                      entero(qint64(c.pta_haber)), entero(qint64(c.pta_debe - c.pta_haber)));
        if (c.descuadrados.isEmpty()) {
            h += QStringLiteral("<p><span class=\"estado ok\">Todos los asientos cuadran</span> en euros (Debe "
                                "igual a Haber en cada asiento, a medio céntimo). Las pesetas de una factura se "
                                "calculan línea a línea y pueden no cuadrar.</p>\n");
        } else {
            QStringList numeros;
            for (qint64 a : c.descuadrados) numeros << entero(a);
            h += QStringLiteral("<p><span class=\"estado mal\">%1 asientos no cuadran</span> en euros: %2.</p>\n")
                     .arg(c.descuadrados.size())
                     .arg(numeros.join(QStringLiteral(", ")));
        }
    }
    h += QStringLiteral("</section>\n");

    // Per day.
    if (!c.dias.isEmpty()) {
        h += QStringLiteral("<section><h2>Por día</h2>\n<div class=\"grafico\">") + grafico(c) +
             QStringLiteral("</div>\n<div class=\"ancha\"><table class=\"dias\"><thead><tr><th rowspan=\"2\">Día</th>"
                            "<th class=\"n\" rowspan=\"2\">Facturas</th><th class=\"n\" rowspan=\"2\">Total "
                            "facturas</th>");
        if (!c.formas.isEmpty())
            h +=
                QStringLiteral("<th class=\"grupo\" colspan=\"%1\">Cobros por forma de pago</th>").arg(c.formas.size());
        h += QStringLiteral("<th class=\"grupo\" colspan=\"2\">Depósitos</th></tr>\n<tr>");
        for (const auto& f : c.formas) h += QStringLiteral("<th class=\"n\">%1</th>").arg(esc(f.second));
        h += QStringLiteral("<th class=\"n\">descontados</th><th class=\"n\">cobrados</th></tr></thead>\n<tbody>\n");
        int facturas = 0;
        double total = 0, descontados = 0, cobrados = 0;
        QVector<double> por_forma(c.formas.size(), 0);
        for (const DiaInforme& d : c.dias) {
            double caja = 0;
            for (const auto& k : d.cobros) caja += k.second;
            h += QStringLiteral("<tr data-dia=\"%1\" data-facturas=\"%2\" data-total-facturas=\"%3\" "
                                "data-cobros=\"%4\" data-descontados=\"%5\" data-cobrados=\"%6\"><td>%7</td>"
                                "<td class=\"n\">%8</td><td class=\"n\">%9</td>")
                     .arg(texto_fecha(d.dia, QLatin1String("yyyyMMdd")))
                     .arg(d.facturas)
                     .arg(dato(d.total_facturas), dato(caja), dato(d.depositos_descontados), dato(d.depositos_cobrados),
                          texto_fecha(d.dia, QLatin1String("dd/MM/yyyy")), entero(d.facturas),
                          importe(d.total_facturas));
            for (int i = 0; i < c.formas.size(); ++i) {
                double v = 0;
                for (const auto& k : d.cobros)
                    if (k.first == c.formas[i].first) v += k.second;
                por_forma[i] += v;
                h += QStringLiteral("<td class=\"n\">%1</td>").arg(v == 0 ? QString() : importe(v));
            }
            h += QStringLiteral("<td class=\"n\">%1</td><td class=\"n\">%2</td></tr>\n")
                     .arg(d.depositos_descontados == 0 ? QString() : importe(d.depositos_descontados),
                          d.depositos_cobrados == 0 ? QString() : importe(d.depositos_cobrados));
            facturas += d.facturas;
            total += d.total_facturas;
            descontados += d.depositos_descontados;
            cobrados += d.depositos_cobrados;
        }
        h += QStringLiteral("</tbody><tfoot><tr><td>Total</td><td class=\"n\">%1</td><td class=\"n\">%2</td>")
                 .arg(entero(facturas), importe(total));
        for (double v : std::as_const(por_forma)) h += QStringLiteral("<td class=\"n\">%1</td>").arg(importe(v));
        h += QStringLiteral("<td class=\"n\">%1</td><td class=\"n\">%2</td></tr></tfoot></table></div>\n")
                 .arg(importe(descontados), importe(cobrados));
        if (!c.formas.isEmpty()) {
            QStringList formas;
            for (const auto& f : c.formas) formas << esc(f.second) + QStringLiteral(": subcuenta ") + esc(f.first);
            h += QStringLiteral("<p class=\"sub\">Formas de cobro por la subcuenta que cargan: %1.</p>\n")
                     .arg(formas.join(QStringLiteral("; ")));
        }
        h += QStringLiteral("</section>\n");
    }

    // Per account.
    if (!c.cuentas.isEmpty()) {
        h += QStringLiteral("<section><h2>Por subcuenta</h2>\n<table><thead><tr><th>Subcuenta</th><th>Título</th>"
                            "<th class=\"n\">Debe</th><th class=\"n\">Haber</th><th class=\"n\">Apuntes</th></tr>"
                            "</thead>\n<tbody>\n");
        for (const CuentaInforme& cu : c.cuentas)
            h += QStringLiteral("<tr data-cuenta=\"%1\" data-debe=\"%2\" data-haber=\"%3\" data-lineas=\"%4\">"
                                "<td>%1</td><td>%5</td><td class=\"n\">%6</td><td class=\"n\">%7</td>"
                                "<td class=\"n\">%8</td></tr>\n")
                     .arg(esc(cu.subcta), dato(cu.debe), dato(cu.haber), QString::number(cu.lineas), esc(cu.titulo),
                          importe(cu.debe), importe(cu.haber), entero(cu.lineas));
        h += QStringLiteral("</tbody><tfoot><tr><td colspan=\"2\">Total</td><td class=\"n\">%1</td>"
                            "<td class=\"n\">%2</td><td class=\"n\">%3</td></tr></tfoot></table></section>\n")
                 .arg(importe(c.debe), importe(c.haber), entero(c.lineas));
    }

    // Subaccounts created and forced closings.
    h += QStringLiteral("<section><h2>Subcuentas creadas</h2>\n");
    if (c.subcuentas_creadas.isEmpty()) {
        h += QStringLiteral("<p class=\"nada\">Ninguna.</p>\n");
    } else {
        h += QStringLiteral("<table><thead><tr><th>Subcuenta</th><th>Título</th></tr></thead><tbody>\n");
        for (const auto& s : c.subcuentas_creadas)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n").arg(esc(s.first), esc(s.second));
        h += QStringLiteral("</tbody></table>\n");
    }
    h += QStringLiteral("</section>\n<section class=\"junto\"><h2>Facturas con cierre forzado</h2>\n");
    if (r.cierres_forzados.isEmpty()) {
        h += QStringLiteral("<p class=\"nada\">Ninguna.</p>\n");
    } else {
        QStringList n;
        for (const QString& f : r.cierres_forzados) n << esc(f);
        h += QStringLiteral("<p>Se ha cerrado, porque su cuenta ya no existía en el hotel: %1.</p>\n")
                 .arg(n.join(QStringLiteral(", ")));
    }
    h += QStringLiteral("</section>\n");
    if (!r.nombres_sin_caracteres.isEmpty()) {
        h += QStringLiteral("<section><h2>Nombres con caracteres que ContaPlus no admite</h2>\n<p>Se han escrito con "
                            "\"?\" en lugar de esos caracteres; corríjalos en ContaPlus si hace falta.</p>\n"
                            "<table><thead><tr><th>Nombre en el hotel</th><th>Dónde</th></tr></thead><tbody>\n");
        for (const auto& n : r.nombres_sin_caracteres)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n").arg(esc(n.first), esc(n.second));
        h += QStringLiteral("</tbody></table>\n</section>\n");
    }

    // What was not posted.
    h += QStringLiteral("<section><h2>No contabilizado</h2>\n");
    if (r.cobros_sin_factura.isEmpty() && r.facturas_descuadradas.isEmpty() && r.reparaciones.isEmpty())
        h += QStringLiteral("<p class=\"nada\">Nada ha quedado sin contabilizar.</p>\n");
    if (!r.cobros_sin_factura.isEmpty()) {
        h += QStringLiteral("<h3>Cobros cuya factura no se encuentra (contabilícelos a mano)</h3>\n<table><thead><tr>"
                            "<th>Día</th><th class=\"n\">Orden</th><th>Factura</th><th class=\"n\">Importe</th></tr>"
                            "</thead><tbody>\n");
        for (const CobroSinFactura& k : r.cobros_sin_factura)
            h += QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td>%3</td><td class=\"n\">%4</td></tr>\n")
                     .arg(esc(fecha(k.fecha)), esc(k.orden), esc(k.factura), importe(k.importe));
        h += QStringLiteral("</tbody></table>\n");
    }
    if (!r.facturas_descuadradas.isEmpty()) {
        h += QStringLiteral("<h3>Facturas cuyo asiento no cuadra (corríjalas en el programa de Hotel y repita el "
                            "traspaso)</h3>\n<table><thead><tr><th>Factura</th><th class=\"n\">Debe</th>"
                            "<th class=\"n\">Haber</th><th class=\"n\">Diferencia</th></tr></thead><tbody>\n");
        for (const FacturaDescuadrada& f : r.facturas_descuadradas)
            h += QStringLiteral("<tr><td>%1</td><td class=\"n\">%2</td><td class=\"n\">%3</td><td class=\"n\">%4</td>"
                                "</tr>\n")
                     .arg(esc(f.numero), importe(f.debe), importe(f.haber), importe(f.debe - f.haber));
        h += QStringLiteral("</tbody></table>\n");
    }
    if (!r.reparaciones.isEmpty()) {
        h += QStringLiteral("<h3>Reparaciones antes del traspaso</h3>\n<ul>\n");
        for (const QString& l : r.reparaciones) h += QStringLiteral("<li>%1</li>\n").arg(esc(l));
        h += QStringLiteral("</ul>\n");
    }
    h += QStringLiteral("</section>\n</main>\n</body>\n</html>\n");
    return h;
}
