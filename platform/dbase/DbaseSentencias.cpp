#include "platform/dbase/DbaseSentencias.h"

#include "platform/sistema/Fallo.h"

#include <QHash>
#include <QVector>

using namespace codigo_error;

namespace dbase {

[[noreturn]] void no_admitida(const QString& sql)
{
    throw Fallo(FALLO_GENERAL, QStringLiteral("El controlador dBASE no admite la instrucción \"%1\"").arg(sql));
}

namespace {

struct Pieza {
    enum Tipo { Nombre, Signo, Literal, Numero, Fin } tipo = Fin;
    QString texto;
};

QVector<Pieza> trocear(const QString& sql)
{
    QVector<Pieza> piezas;
    int i = 0;
    const int n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            int j = i;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('_'))) ++j;
            piezas.append(Pieza{Pieza::Nombre, sql.mid(i, j - i)});
            i = j;
        } else if (c.isDigit() || (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1).isDigit())) {
            int j = i + 1;
            while (j < n && (sql.at(j).isDigit() || sql.at(j) == QLatin1Char('.'))) ++j;
            piezas.append(Pieza{Pieza::Numero, sql.mid(i, j - i)});
            i = j;
        } else if (c == QLatin1Char('\'')) {
            QString texto;
            int j = i + 1;
            for (;;) {
                if (j >= n) no_admitida(sql);  // unterminated literal
                if (sql.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && sql.at(j + 1) == QLatin1Char('\'')) {
                        texto.append(QLatin1Char('\''));
                        j += 2;
                        continue;
                    }
                    break;
                }
                texto.append(sql.at(j++));
            }
            piezas.append(Pieza{Pieza::Literal, texto});
            i = j + 1;
        } else if (QStringLiteral("*()=?").contains(c)) {
            piezas.append(Pieza{Pieza::Signo, QString(c)});
            ++i;
        } else {
            no_admitida(sql);
        }
    }
    piezas.append(Pieza{Pieza::Fin, {}});
    return piezas;
}

}  // namespace

// The statement's form, with the "?" unbound; `marcadores` is their number.
static Sentencia analizar_forma(const QString& sql, int& marcadores)
{
    const QVector<Pieza> p = trocear(sql);
    int i = 0;
    auto es_palabra = [&](const char* palabra) {
        return p[i].tipo == Pieza::Nombre && p[i].texto.compare(QLatin1String(palabra), Qt::CaseInsensitive) == 0;
    };
    auto palabra = [&](const char* w) {
        if (!es_palabra(w)) no_admitida(sql);
        ++i;
    };
    auto signo = [&](char s) {
        if (p[i].tipo != Pieza::Signo || p[i].texto != QLatin1Char(s)) no_admitida(sql);
        ++i;
    };
    auto nombre = [&]() {
        if (p[i].tipo != Pieza::Nombre) no_admitida(sql);
        for (const char* reservada : {"SELECT", "FROM", "WHERE", "AS", "MAX"})
            if (es_palabra(reservada)) no_admitida(sql);
        return p[i++].texto;
    };
    marcadores = 0;

    Sentencia s;
    palabra("SELECT");
    if (p[i].tipo == Pieza::Signo && p[i].texto == u"*") {
        ++i;
        palabra("FROM");
        s.tabla = nombre();
        if (es_palabra("WHERE")) {
            ++i;
            s.forma = Sentencia::Donde;
            s.columna = nombre();
            signo('=');
            switch (p[i].tipo) {
            case Pieza::Signo:
                if (p[i].texto != u"?") no_admitida(sql);
                ++marcadores;
                break;
            case Pieza::Literal: s.valor = p[i].texto; break;
            case Pieza::Numero: {
                bool ok = false;
                s.valor = p[i].texto.toDouble(&ok);
                if (!ok) no_admitida(sql);
                break;
            }
            default: no_admitida(sql);
            }
            ++i;
        }
    } else if (es_palabra("MAX")) {
        ++i;
        s.forma = Sentencia::Maximo;
        signo('(');
        s.columna = nombre();
        signo(')');
        if (es_palabra("AS")) ++i;
        s.alias = nombre();
        palabra("FROM");
        s.tabla = nombre();
    } else {
        no_admitida(sql);
    }
    if (p[i].tipo != Pieza::Fin) no_admitida(sql);
    return s;
}

Sentencia analizar(const QString& sql, const QVariantList& parametros)
{
    // The link sends the same few statements over and over (one per journal
    // line and per subaccount looked up): each is parsed once per thread.
    struct Forma {
        Sentencia s;
        int marcadores = 0;
    };
    static thread_local QHash<QString, Forma> formas;
    auto it = formas.constFind(sql);
    if (it == formas.constEnd()) {
        Forma f;
        f.s = analizar_forma(sql, f.marcadores);
        if (formas.size() >= 64) formas.clear();
        it = formas.insert(sql, f);
    }
    Sentencia s = it->s;
    const int marcadores = it->marcadores;
    if (marcadores > 0 && !parametros.isEmpty()) s.valor = parametros.first();
    if (marcadores > parametros.size())
        throw Fallo(PARAMETRO_SIN_VALOR,
                    QStringLiteral("Falta el valor del parámetro de la instrucción \"%1\"").arg(sql));
    if (marcadores < parametros.size())
        throw Fallo(FALLO_GENERAL, QStringLiteral("La instrucción \"%1\" tiene %2 parámetros y se le dieron %3 valores")
                                       .arg(sql)
                                       .arg(marcadores)
                                       .arg(parametros.size()));
    return s;
}

}  // namespace dbase
