#include "platform/valores/TextoSql.h"

#include "platform/valores/Vb.h"

#include <QRegularExpression>

namespace {

// The text with every quoted literal blanked out, so keywords inside values
// are not taken for clauses.
QString sin_literales(const QString& sql)
{
    QString r = sql;
    QChar abierta;
    for (int i = 0; i < r.size(); ++i) {
        const QChar c = r[i];
        if (abierta.isNull()) {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) abierta = c;
        } else if (c == abierta) {
            abierta = QChar();
        } else {
            r[i] = QLatin1Char(' ');
        }
    }
    return r;
}

}  // namespace

SeleccionSimple seleccion_simple(const QString& sql)
{
    SeleccionSimple s;
    static const QRegularExpression forma(
        QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[A-Za-z_][A-Za-z0-9_]*)"
                       "(\\s*|\\s+(WHERE|ORDER\\s+BY)\\b.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const auto m = forma.match(sql);
    if (!m.hasMatch()) return s;
    // Grouping, unions or joins written after WHERE make it no plain selection.
    static const QRegularExpression otras(QStringLiteral("\\b(GROUP\\s+BY|UNION|JOIN|HAVING)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (sin_literales(m.captured(2)).contains(otras)) return s;
    s.tabla = m.captured(1);
    if (s.tabla.startsWith(QLatin1Char('[')) || s.tabla.startsWith(QLatin1Char('"')))
        s.tabla = s.tabla.mid(1, s.tabla.size() - 2);
    s.resto = m.captured(2).trimmed().isEmpty() ? QString() : m.captured(2);
    s.valida = true;
    return s;
}

bool cambia_esquema(const QString& sql)
{
    static const QRegularExpression ddl(QStringLiteral("^\\s*(ALTER|CREATE|DROP)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(sql).hasMatch();
}

QVariant valor_enlazado(const QVariant& v)
{
    if (vb::esNulo(v)) return QVariant();
    if (v.typeId() == QMetaType::QString && v.toString().isNull()) return QVariant(QStringLiteral(""));
    return v;
}

QVariant valor_leido(const QVariant& v)
{
    if (vb::esNulo(v)) return QVariant();
    return v;
}

bool mismo_nombre(QStringView a, QStringView b)
{
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y) continue;
        if (x >= 0x80 || y >= 0x80) return a.compare(b, Qt::CaseInsensitive) == 0;
        const char16_t fx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        const char16_t fy = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        if (fx != fy) return false;
    }
    return true;
}

QString sin_clave(const QString& cadena)
{
    QString r = cadena;
    static const QRegularExpression pwd(QStringLiteral("(Pwd\\s*=)[^;]*"), QRegularExpression::CaseInsensitiveOption);
    r.replace(pwd, QStringLiteral("\\1***"));
    return r;
}
