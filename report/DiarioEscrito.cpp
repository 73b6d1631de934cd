// Reading back Xdiario and XSubCta with the dBASE engine's reader of whole
// files (DbaseLectura.h): not with the engine's tables that wrote them.
#include "report/DiarioEscrito.h"

#include "platform/dbase/DbaseLectura.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/Cp1252.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

int RegistrosDbf::columna(const QString& nombre) const
{
    for (int i = 0; i < columnas.size(); ++i)
        if (columnas[i].compare(nombre, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

RegistrosDbf recorrer_registros(const QString& ruta_local, qint64 desde,
                                const std::function<bool(const RegistrosDbf&, const char*)>& cada)
{
    RegistrosDbf r;
    if (!QFileInfo::exists(ruta_local)) return r;
    dbase::LecturaDbf f(ruta_local);
    const QVector<dbase::LecturaDbf::Campo>& campos = f.campos();
    r.inicio.resize(campos.size());
    r.ancho.resize(campos.size());
    for (int c = 0, pos = 1; c < campos.size(); ++c) {
        r.columnas << campos[c].nombre;
        r.tipos += QLatin1Char(campos[c].tipo);
        r.inicio[c] = pos;
        r.ancho[c] = campos[c].ancho;
        pos += campos[c].ancho;
    }
    const qint64 total = f.registros();
    for (qint64 i = qMax<qint64>(0, desde); i < total; ++i) {
        const char* registro = f.registro(i);
        if (!registro)
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO,
                        QStringLiteral("No se puede leer el registro %1 de %2").arg(i + 1).arg(ruta_local));
        if (registro[0] == '*') continue;  // deleted
        if (!cada(r, registro)) break;
    }
    return r;
}

QString texto_dbf(QByteArrayView campo)
{
    return windows_1252().decodificar(campo.data(), campo.size());
}

RegistrosDbf leer_registros(const QString& ruta_local, qint64 desde, const QStringList& solo)
{
    QVector<QStringList> filas;
    QVector<int> leidas;
    bool con_columnas = false;
    RegistrosDbf r = recorrer_registros(ruta_local, desde, [&](const RegistrosDbf& c, const char* registro) {
        if (!con_columnas) {
            con_columnas = true;
            for (int i = 0; i < c.columnas.size(); ++i)
                if (solo.isEmpty() || solo.contains(c.columnas[i], Qt::CaseInsensitive)) leidas << i;
        }
        QStringList fila(c.columnas.size());
        for (int i : std::as_const(leidas)) fila[i] = texto_dbf(c.campo(registro, i));
        filas << fila;
        return true;
    });
    r.filas = std::move(filas);
    return r;
}

double numero_dbf(QByteArrayView t)
{
    // [-]digits[.digits] with at most 15 digits is an exact integer over an
    // exact power of ten, and their quotient is rounded once, as strtod
    // rounds the text; anything else is read as before.
    static constexpr double POTENCIA[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (t.isEmpty()) return 0;
    qsizetype i = 0;
    const bool negativo = t[0] == '-';
    if (negativo) ++i;
    qint64 m = 0;
    int cifras = 0, decimales = 0;
    bool punto = false;
    for (; i < t.size(); ++i) {
        const char ch = t[i];
        if (ch >= '0' && ch <= '9') {
            m = m * 10 + (ch - '0');
            ++cifras;
            if (punto) ++decimales;
        } else if (ch == '.' && !punto) {
            punto = true;
        } else {
            break;
        }
    }
    if (i < t.size() || cifras == 0 || cifras > 15) return texto_dbf(t).toDouble();
    const double v = double(m) / POTENCIA[decimales];
    return negativo ? -v : v;
}

QDate fecha_dbf(QByteArrayView t)
{
    if (t.size() != 8) return {};
    int n[8];
    for (int i = 0; i < 8; ++i) {
        n[i] = t[i] - '0';
        if (n[i] < 0 || n[i] > 9) {
            // QDate::fromString with a format costs tens of microseconds a
            // call; this is for fields that are not all digits.
            const QString s = texto_dbf(t);
            return QDate(s.left(4).toInt(), s.mid(4, 2).toInt(), s.mid(6, 2).toInt());
        }
    }
    return QDate(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
}

const QStringList COLUMNAS_SUBCUENTA{"COD", "TITULO"};

void recorrer_lineas_diario(const QString& ruta_local, qint64 desde,
                            const std::function<bool(const ApunteLeido&)>& linea)
{
    int asien = -1, fecha = -1, subcta = -1, concepto = -1, documento = -1, auxiliar = -1, pta_debe = -1,
        pta_haber = -1, euro_debe = -1, euro_haber = -1;
    bool con_columnas = false;
    ApunteLeido l;
    char fecha_previa[8];
    bool con_fecha = false;
    recorrer_registros(ruta_local, desde, [&](const RegistrosDbf& r, const char* registro) {
        if (!con_columnas) {
            con_columnas = true;
            asien = r.columna(QStringLiteral("ASIEN"));
            fecha = r.columna(QStringLiteral("FECHA"));
            subcta = r.columna(QStringLiteral("SUBCTA"));
            concepto = r.columna(QStringLiteral("CONCEPTO"));
            documento = r.columna(QStringLiteral("DOCUMENTO"));
            auxiliar = r.columna(QStringLiteral("AUXILIAR"));
            pta_debe = r.columna(QStringLiteral("PTADEBE"));
            pta_haber = r.columna(QStringLiteral("PTAHABER"));
            euro_debe = r.columna(QStringLiteral("EURODEBE"));
            euro_haber = r.columna(QStringLiteral("EUROHABER"));
        }
        l.asien = qint64(std::llround(numero_dbf(r.campo(registro, asien))));
        // A journal's lines come by date: a date is parsed when it changes.
        const QByteArrayView f = r.campo(registro, fecha);
        if (f.size() != 8) {
            l.fecha = QDate();
            con_fecha = false;
        } else if (!con_fecha || std::memcmp(f.data(), fecha_previa, 8) != 0) {
            l.fecha = fecha_dbf(f);
            std::memcpy(fecha_previa, f.data(), 8);
            con_fecha = true;
        }
        l.subcta = r.campo(registro, subcta);
        l.concepto = r.campo(registro, concepto);
        l.documento = r.campo(registro, documento);
        l.auxiliar = r.campo(registro, auxiliar);
        l.pta_debe = numero_dbf(r.campo(registro, pta_debe));
        l.pta_haber = numero_dbf(r.campo(registro, pta_haber));
        l.euro_debe = numero_dbf(r.campo(registro, euro_debe));
        l.euro_haber = numero_dbf(r.campo(registro, euro_haber));
        return linea(l);
    });
}

QVector<SubcuentaLeida> filas_subcuentas(const RegistrosDbf& r)
{
    const int cod = r.columna(QStringLiteral("COD")), titulo = r.columna(QStringLiteral("TITULO"));
    QVector<SubcuentaLeida> filas;
    filas.reserve(r.filas.size());
    for (const QStringList& f : r.filas)
        filas << SubcuentaLeida{cod < 0 ? QString() : f[cod], titulo < 0 ? QString() : f[titulo]};
    return filas;
}
