#pragma once
// A Backend for a dry run: reads go to the real engine, writes go nowhere.
// A statement that returns no rows, an added row, a saved change and a
// transaction are accepted and dropped, so the run goes on as if they had
// been made; a recordset keeps in memory what it was given, as after a save.
//
// A statement that fills the Nulls of a column with a constant
// ("UPDATE caja SET CajaTur = '' WHERE CajaTur is null") is remembered: from
// then on the table is read as the statement would have left it, in the
// conditions of a query (the column compared as COALESCE(column, constant))
// and in the rows it returns.
//
// Over a dBASE engine it is one too (MotorDbase): counts, fingerprints,
// stored records and the file's identity are read from the real files; cuts,
// syncs, groups and appended records go nowhere, so nothing is held back and
// the check repairs nothing.
#include "platform/motor/Backend.h"
#include "platform/motor/MotorDbase.h"
#include <QHash>
#include <memory>

class SimulacionBackend : public Backend, public MotorDbase {
public:
    // `dbase`: the same engine as `real` when it is the dBASE one, else
    // nullptr (and the MotorDbase side is not to be used).
    explicit SimulacionBackend(std::shared_ptr<Backend> real, MotorDbase* dbase = nullptr);

    void ejecutar(const QString& sql, const QVariantList& parametros) override;
    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros, bool actualizable) override;
    QVector<Columna> columnas(const QString& tabla) override;
    void insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores) override;
    void actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                    const QVariantList& valores) override;

    qint64 registros(const QString& tabla) override;
    void recortar(const QString& tabla, qint64 registros) override {}
    void sincronizar(const QString& tabla) override {}
    QString huella(const QString& tabla, qint64 registros) override;
    QStringList comprobar(const QString& tabla) override { return {}; }
    void agrupar(bool si) override {}
    void volcar() override {}
    void preparar_volcado() override {}
    Retenidos retenidos(const QString& tabla) override { return {}; }
    QByteArray crudos(const QString& tabla, qint64 desde, qint64 n) override;
    QByteArray cola(const QString& tabla) override;
    void reponer(const QString& tabla, const QByteArray& registros) override {}
    QString identidad(const QString& tabla) override;

    void comenzar() override;
    void confirmar() override;
    void deshacer() override;
    bool en_transaccion() const override { return transaccion_; }
    bool admite_transacciones() const override { return true; }
    void comenzar_unidad() override {}
    void confirmar_unidad() override {}
    void deshacer_unidad() override {}

    // The text a query on `sql` is sent to the real engine with.
    QString reescrita(const QString& sql) const;

    // Constant standing for Null, by column in lower case, of one table.
    using Rellenos = QHash<QString, QVariant>;

private:
    QString reescribir(const QString& sql) const;

    MotorDbase& real_dbase() const;

    std::shared_ptr<Backend> real_;
    MotorDbase* real_dbase_;
    QHash<QString, Rellenos> rellenos_;  // by table name in lower case
    // Statements as rewritten for the fillings known: the same few texts
    // come back for every row, and are rewritten once.
    mutable QHash<QString, QString> reescritas_;
    bool transaccion_ = false;
};
