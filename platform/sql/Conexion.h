#pragma once
// A database connection opened with the original connection string:
//  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= C:\...\file.MDB"  an SQLite file
//  "Driver={SQL Native Client};Server=...;Database=...; ..."         ODBC, unchanged
//  "Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=DIR;"   a folder of .dbf
// A Conexion is a handle: copies share the same open connection. A Conexion
// never opened (or closed) refuses every statement with CONEXION_CERRADA.
#include "platform/motor/Backend.h"
#include "platform/motor/MotorDbase.h"
#include "platform/sistema/Unidades.h"
#include <QString>
#include <QVariant>
#include <memory>

class Conexion {
public:
    Conexion() = default;

    // Opens it; a file that cannot be opened fails with FALLO_GENERAL and is
    // never created. The user and password arguments are those of ADO's Open.
    void abrir(const QString& cadena, const Unidades& unidades, const QString& usuario = {}, const QString& clave = {});
    bool abierta() const { return backend_ != nullptr; }
    void cerrar()
    {
        backend_.reset();
        dbase_ = nullptr;
    }

    const QString& cadena() const { return cadena_; }

    // Execute: a statement that returns no rows; values bound to the "?"s.
    void ejecutar(const QString& sql, const QVariantList& parametros = {});

    // BeginTrans, CommitTrans (durable), RollbackTrans.
    void comenzar();
    void confirmar();
    void deshacer();
    bool en_transaccion() const;
    bool admite_transacciones() const;
    // A savepoint inside the transaction, undone alone.
    void comenzar_unidad();
    void confirmar_unidad();
    void deshacer_unidad();

    // A handle over the same open connection that reads through it and
    // writes nothing (SimulacionBackend); a closed one stays closed.
    Conexion simulada() const;

    // The engine behind it; throws CONEXION_CERRADA when not open.
    Backend& backend() const;
    // What only the dBASE engine does, on a connection to a folder of .dbf
    // files (or a dry run's handle over one); CONEXION_CERRADA when not
    // open, FALLO_GENERAL naming the connection for another engine.
    MotorDbase& dbase() const;

private:
    QString cadena_;
    std::shared_ptr<Backend> backend_;
    MotorDbase* dbase_ = nullptr;  // the same engine as backend_, when it is one
};
