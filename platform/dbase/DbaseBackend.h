#pragma once
// A folder of dBASE files, the way the ODBC dBASE driver offers it to the
// link: a table is the .dbf file of that name in the folder, in any letter
// case. Built on shapelib.
//
// It runs only the statements the link sends it, parsed:
//   SELECT * FROM t
//   SELECT * FROM t WHERE COL = ?          (or a quoted literal)
//   SELECT MAX(COL) AS alias FROM t
// Anything else fails with a Fallo that quotes the statement.
//
// Another program (ContaPlus, or another connection of this one) may read or
// write the same files at any moment, so the file on disk is complete after
// every appended row: record count in the header, 0x1A after the last record.
// Handles stay open between statements and are reopened when the file was
// changed by someone else (size, modification time or inode differ from what
// this backend last left): checked on every use, or within a group (see
// agrupar) on the first use only.
#include "platform/motor/Backend.h"
#include "platform/motor/MotorDbase.h"
#include <memory>

namespace dbase {
struct Tabla;
class FilaDbf;
}  // namespace dbase

class DbaseBackend : public Backend, public MotorDbase {
public:
    // A missing folder fails with FALLO_GENERAL naming it.
    explicit DbaseBackend(const QString& carpeta_local);
    ~DbaseBackend() override;

    // The dBASE driver is only sent queries: every statement here fails.
    void ejecutar(const QString& sql, const QVariantList& parametros) override;

    std::unique_ptr<Consulta> abrir(const QString& sql, const QVariantList& parametros, bool actualizable) override;

    QVector<Columna> columnas(const QString& tabla) override;

    // Appends one record; columns named without regard to case, the others
    // blank. Every value is checked and formatted before anything is written,
    // so a value the column cannot take leaves the file unchanged.
    void insertar(const QString& tabla, const QStringList& columnas, const QVariantList& valores) override;
    // The same for a recordset's new row; its columns, the table's own, are
    // taken by their place.
    void insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                       const QVector<bool>& asignada) override;
    // Record number of the last record appended; -1 before any.
    qint64 clave_insertada() const override { return clave_insertada_; }
    // Rows appended straight into the file's records (see FilaDirecta).
    FilaDirecta* fila_directa(const QString& tabla, const QVector<Columna>& columnas) override;

    // Rewrites columns of record leido.claves[fila]; FILA_NO_LOCALIZADA when
    // that record is gone or no longer holds what was read (a value compares
    // equal to what is stored if it reads the same or writes the same bytes,
    // so a row just added with a text longer than its column still matches).
    void actualizar(const QString& tabla, const Resultado& leido, int fila, const QStringList& columnas,
                    const QVariantList& valores) override;

    // MotorDbase.
    qint64 registros(const QString& tabla) override;
    void recortar(const QString& tabla, qint64 registros) override;
    void sincronizar(const QString& tabla) override;
    QString huella(const QString& tabla, qint64 registros) override;
    QStringList comprobar(const QString& tabla) override;
    void agrupar(bool si) override;
    void volcar() override;
    void preparar_volcado() override;
    Retenidos retenidos(const QString& tabla) override;
    QByteArray crudos(const QString& tabla, qint64 desde, qint64 n) override;
    QByteArray cola(const QString& tabla) override;
    void reponer(const QString& tabla, const QByteArray& registros) override;
    QString identidad(const QString& tabla) override;

    struct Carpeta;

private:
    std::shared_ptr<Carpeta> carpeta_;
    qint64 clave_insertada_ = -1;

    // The table's writer of new rows, ready for an append (the file must
    // take writes).
    dbase::FilaDbf& escritor(dbase::Tabla& t, const QString& tabla);
};

// A folder of dBASE files; a missing folder fails with FALLO_GENERAL.
std::shared_ptr<DbaseBackend> abrir_dbase(const QString& carpeta_local);
