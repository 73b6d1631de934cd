#pragma once
// The records of a group that are on their way into Xdiario and XSubCta,
// kept beside them in the file "enlace.pendiente" of the same folder.
//
// A group's records are written here and synced before the group's marks
// commit, and reach the two dBASE files only after that commit: so the
// journal never holds a line whose unit may still be undone, whatever stops
// the run, and the lines of a committed group are never lost (the next
// activation writes them from here). An installation that finds another
// installation's file here does not write into the folder: it would number
// and append behind records it cannot see.
//
// The file is whole or it is nothing: a checksum closes it, and a file that
// was being written when the run stopped (no commit can have followed it)
// reads as nothing.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

struct TablaPendiente {
    // 'P': not counted in the file yet (its header was never written for
    // them); 'E': their count was being written, so they may be in the
    // file; 'N': the run that wrote them saw that write fail and left the
    // file as it was.
    char estado = 'P';
    QString nombre;       // "Xdiario", "XSubCta"
    qint64 base = 0;      // records counted on the file before these
    QString huella_base;  // fingerprint of record base - 1 (see Backend::huella)
    QString huella_fin;   // fingerprint of the last of these
    QString identidad;    // the file as it was when this was written
    int largo = 0;        // record length
    qint64 registros = 0;
    QByteArray bytes;  // the records as stored
};

struct Pendiente {
    QString instalacion;  // the link database's own id
    QString puesto;       // workstation
    QString datos;        // the installation's data folder, Windows form
    QString desde;        // when the run began, dd/mm/aaaa hh:mm:ss
    QVector<TablaPendiente> tablas;

    const TablaPendiente* tabla(const QString& nombre) const;
};

namespace pendiente {

inline const QString NOMBRE = QStringLiteral("enlace.pendiente");

// Each names the file `nombre` (its Windows form) in a failure, with the
// system's text; the local path when `nombre` is empty.

// Nothing when the file is missing, empty or not whole.
std::optional<Pendiente> leer(const QString& ruta_local, const QString& nombre = {});
// Written whole and synced (the folder too, the first time).
void escribir(const QString& ruta_local, const Pendiente& p, const QString& nombre = {});
// The tables' states rewritten in place, one byte each in their order,
// synced.
void marcar(const QString& ruta_local, const QByteArray& estados, const QString& nombre = {});
// Emptied: read as nothing from then on. Not synced: a copy that comes back
// after a power cut is recognised as already written.
void vaciar(const QString& ruta_local, const QString& nombre = {});

}  // namespace pendiente
