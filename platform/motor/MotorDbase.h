#pragma once
// What the dBASE engine does beside the statements every engine runs
// (Backend): its files counted, cut, synced, fingerprinted and checked, and
// the records a group of entries holds back. DbaseBackend is it; a dry run's
// SimulacionBackend over a dBASE engine is one too. Reached through
// Conexion::dbase(), which refuses a connection of another engine.
#include <QByteArray>
#include <QString>
#include <QStringList>

class MotorDbase {
public:
    virtual ~MotorDbase() = default;

    // Number of records of a table, and cutting it back to a number of
    // records (used to undo a half-written entry).
    virtual qint64 registros(const QString& tabla) = 0;
    virtual void recortar(const QString& tabla, qint64 registros) = 0;
    // The table's file on stable storage; SHA-1 of its record
    // `registros` - 1 (of its field descriptors when 0), to know it again;
    // its check: an append or cut that stopped half way is finished (one
    // line per repair returned), a header that does not match the size fails.
    virtual void sincronizar(const QString& tabla) = 0;
    virtual QString huella(const QString& tabla, qint64 registros) = 0;
    virtual QStringList comprobar(const QString& tabla) = 0;
    // From agrupar(true) to agrupar(false) (one group of entries of a run,
    // while its lock files keep other transfers out) the records appended
    // are held back: read by this engine, not on the file, seen by no other
    // program. volcar() writes them (records, end mark, then the header's
    // count) when the file is still as this engine left it; agrupar(false)
    // writes what is still held. recortar() to a count past the file's takes
    // off held records only. Each file is checked for another program's
    // change on its first use in the group only.
    virtual void agrupar(bool si) = 0;
    virtual void volcar() = 0;
    // The held records written past the counted ones and synced, seen by no
    // reader yet; volcar() then only counts them.
    virtual void preparar_volcado() = 0;

    // What a group holds back for `tabla`: the records on the file (`base`),
    // the record length, and the held records as stored.
    struct Retenidos {
        qint64 base = 0;
        int largo = 0;
        qint64 registros = 0;
        QByteArray bytes;
    };
    virtual Retenidos retenidos(const QString& tabla) = 0;
    // Records [desde, desde + n) as stored, held ones included.
    virtual QByteArray crudos(const QString& tabla, qint64 desde, qint64 n) = 0;
    // The bytes past the counted records that an append which stopped half
    // way left (empty when none).
    virtual QByteArray cola(const QString& tabla) = 0;
    // Whole records, as stored, appended after the counted ones over
    // whatever tail is there, header counted and synced: the file then holds
    // them whether or not it was fit to be written into before.
    virtual void reponer(const QString& tabla, const QByteArray& registros) = 0;
    // What identifies the file as it is on disk now (size, modification
    // time, inode), to know later whether anyone wrote to it.
    virtual QString identidad(const QString& tabla) = 0;
};
