#include "tests/support/Dbf.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

// Debian's interpreter, the one python3-dbfread is installed for; not the
// python3 that comes first on PATH.
const char* const interprete = "/usr/bin/python3";

// Prints the table as JSON: fields, header facts, rows as lists in field
// order. dbfread decodes the texts with the code page of the language driver.
const char* const programa = R"(
import datetime, decimal, json, sys
import dbfread

ruta = sys.argv[1]
tabla = dbfread.DBF(ruta, load=False, ignore_missing_memofile=True)

def valor(v):
    if isinstance(v, (datetime.date, datetime.datetime)):
        return v.isoformat()
    if isinstance(v, decimal.Decimal):
        return float(v)
    if isinstance(v, bytes):
        return v.decode('latin-1')
    return v

filas = [[valor(v) for v in r.values()] for r in tabla]
h = tabla.header
with open(ruta, 'rb') as f:
    f.seek(h.headerlen + h.numrecords * h.recordlen)
    marca = f.read(1) == b'\x1a'
json.dump({
    'columnas': [c.name for c in tabla.fields],
    'tipos': [c.type for c in tabla.fields],
    'anchos': [c.length for c in tabla.fields],
    'decimales': [c.decimal_count for c in tabla.fields],
    'codificacion': tabla.encoding,
    'registros': h.numrecords,
    'marca_fin': marca,
    'filas': filas,
}, sys.stdout, ensure_ascii=True)
)";

QVariant convertir(const QJsonValue& v, const QString& tipo)
{
    if (v.isNull() || v.isUndefined()) return {};
    if (tipo == u"D") return QDate::fromString(v.toString().left(10), Qt::ISODate);
    if (tipo == u"L") return v.toBool();
    if (v.isDouble()) return v.toDouble();
    if (v.isBool()) return v.toBool();
    return v.toString();
}

}  // namespace

TablaDbf leer_dbf(const QString& ruta_local)
{
    QProcess python;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"PYTHONPATH", "PYTHONHOME", "PYTHONSTARTUP", "PYTHONUSERBASE"})
        entorno.remove(QString::fromLatin1(variable));
    entorno.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    python.setProcessEnvironment(entorno);
    python.start(QString::fromLatin1(interprete), {QStringLiteral("-c"), QString::fromUtf8(programa), ruta_local});
    const bool terminado = python.waitForFinished(60000);
    const QByteArray salida = python.readAllStandardOutput();
    const QByteArray errores = python.readAllStandardError();
    if (!terminado || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        qFatal("leer_dbf(\"%s\") falló: %s%s", qPrintable(ruta_local), qPrintable(python.errorString()),
               errores.constData());

    QJsonParseError error;
    const QJsonObject raiz = QJsonDocument::fromJson(salida, &error).object();
    if (error.error != QJsonParseError::NoError)
        qFatal("leer_dbf(\"%s\"): salida no válida: %s", qPrintable(ruta_local), qPrintable(error.errorString()));

    TablaDbf t;
    for (const QJsonValue& v : raiz.value(u"columnas").toArray()) t.columnas.append(v.toString());
    for (const QJsonValue& v : raiz.value(u"tipos").toArray()) t.tipos.append(v.toString());
    for (const QJsonValue& v : raiz.value(u"anchos").toArray()) t.anchos.append(v.toInt());
    for (const QJsonValue& v : raiz.value(u"decimales").toArray()) t.decimales.append(v.toInt());
    t.codificacion = raiz.value(u"codificacion").toString();
    t.registros_cabecera = raiz.value(u"registros").toInteger(-1);
    t.marca_fin = raiz.value(u"marca_fin").toBool();
    for (const QJsonValue& f : raiz.value(u"filas").toArray()) {
        const QJsonArray valores = f.toArray();
        QVariantMap fila;
        for (int i = 0; i < t.columnas.size() && i < valores.size(); ++i)
            fila.insert(t.columnas[i], convertir(valores[i], t.tipos.value(i)));
        t.filas.append(fila);
    }
    return t;
}
