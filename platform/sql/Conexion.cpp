#include "platform/sql/Conexion.h"

#include "platform/dbase/DbaseBackend.h"
#include "platform/sql/Motores.h"
#include "platform/sql/SimulacionBackend.h"
#include "platform/valores/TextoSql.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace {

// Keys of a connection string in lower case, with their values as written
// (a value in braces may hold semicolons).
QHash<QString, QString> claves(const QString& cadena)
{
    QHash<QString, QString> r;
    QString parte;
    int llaves = 0;
    auto guardar = [&r](const QString& p) {
        const int igual = p.indexOf(QLatin1Char('='));
        if (igual < 0) return;
        const QString clave = p.left(igual).trimmed().toLower();
        if (!clave.isEmpty() && !r.contains(clave)) r.insert(clave, p.mid(igual + 1));
    };
    for (QChar c : cadena) {
        if (c == QLatin1Char('{')) ++llaves;
        if (c == QLatin1Char('}') && llaves > 0) --llaves;
        if (c == QLatin1Char(';') && llaves == 0) {
            guardar(parte);
            parte.clear();
        } else {
            parte += c;
        }
    }
    guardar(parte);
    return r;
}

QString sin_llaves(QString v)
{
    v = v.trimmed();
    if (v.startsWith(QLatin1Char('{')) && v.endsWith(QLatin1Char('}'))) v = v.mid(1, v.size() - 2);
    return v.trimmed();
}

}  // namespace

void Conexion::abrir(const QString& cadena, const Unidades& unidades, const QString& usuario, const QString& clave)
{
    cerrar();
    cadena_ = cadena;
    const QHash<QString, QString> c = claves(cadena);

    const QString proveedor = c.value(QStringLiteral("provider")).trimmed();
    if (proveedor.startsWith(QLatin1String("Microsoft.Jet.OLEDB"), Qt::CaseInsensitive) ||
        proveedor.startsWith(QLatin1String("Microsoft.ACE.OLEDB"), Qt::CaseInsensitive)) {
        const QString origen = c.value(QStringLiteral("data source")).trimmed();
        if (origen.isEmpty())
            throw Fallo(codigo_error::FALLO_GENERAL,
                        QStringLiteral("La cadena de conexión no dice qué archivo abrir: %1").arg(cadena));
        const QString local = unidades.local(origen);
        if (!QFileInfo(local).isFile())
            throw Fallo(codigo_error::FALLO_GENERAL,
                        QStringLiteral("No se encuentra el archivo '%1' (%2).").arg(origen, local));
        backend_ = abrir_sqlite(local);
        return;
    }

    if (c.contains(QStringLiteral("driver"))) {
        const QString driver = sin_llaves(c.value(QStringLiteral("driver")));
        if (driver.compare(QLatin1String("Microsoft dBASE Driver (*.dbf)"), Qt::CaseInsensitive) == 0) {
            QString carpeta = c.value(QStringLiteral("dbq")).trimmed();
            while (carpeta.endsWith(QLatin1Char('\\')) || carpeta.endsWith(QLatin1Char('/'))) carpeta.chop(1);
            if (carpeta.isEmpty())
                throw Fallo(codigo_error::FALLO_GENERAL,
                            QStringLiteral("La cadena de conexión no dice qué carpeta abrir: %1").arg(cadena));
            std::shared_ptr<DbaseBackend> motor = abrir_dbase(unidades.local(carpeta));
            dbase_ = motor.get();
            backend_ = std::move(motor);
            return;
        }
        backend_ = abrir_odbc(cadena, usuario, clave);
        return;
    }

    throw Fallo(codigo_error::FALLO_GENERAL,
                QStringLiteral("Cadena de conexión no reconocida: %1").arg(sin_clave(cadena)));
}

Backend& Conexion::backend() const
{
    if (!backend_)
        throw Fallo(codigo_error::CONEXION_CERRADA,
                    QStringLiteral("La conexión no está abierta: no se permite la operación."));
    return *backend_;
}

MotorDbase& Conexion::dbase() const
{
    backend();  // CONEXION_CERRADA when not open
    if (!dbase_)
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("La conexión \"%1\" no es de una carpeta de archivos dBASE: no se permite la "
                                   "operación.")
                        .arg(sin_clave(cadena_)));
    return *dbase_;
}

Conexion Conexion::simulada() const
{
    Conexion c;
    c.cadena_ = cadena_;
    if (backend_) {
        auto s = std::make_shared<SimulacionBackend>(backend_, dbase_);
        c.dbase_ = dbase_ ? s.get() : nullptr;
        c.backend_ = std::move(s);
    }
    return c;
}

void Conexion::ejecutar(const QString& sql, const QVariantList& parametros)
{
    backend().ejecutar(sql, parametros);
}

void Conexion::comenzar()
{
    backend().comenzar();
}
void Conexion::confirmar()
{
    backend().confirmar();
}
void Conexion::deshacer()
{
    backend().deshacer();
}
bool Conexion::en_transaccion() const
{
    return backend_ && backend_->en_transaccion();
}
bool Conexion::admite_transacciones() const
{
    return backend_ && backend_->admite_transacciones();
}
void Conexion::comenzar_unidad()
{
    backend().comenzar_unidad();
}
void Conexion::confirmar_unidad()
{
    backend().confirmar_unidad();
}
void Conexion::deshacer_unidad()
{
    backend().deshacer_unidad();
}
