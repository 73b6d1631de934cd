#pragma once
// The durable point of a transfer: where the ContaPlus files and the posting
// marks of the link database last agreed on disk.
//
// A run works in groups of units (a receipt staged, an invoice posted, a
// day's deposits or cash); each unit is a savepoint, so a failure undoes the
// unit in course only. A group's journal and subaccount records are held
// back by the dBASE engine, where the run reads them and no other program
// sees them. At the group's end they are written, whole and synced, to the
// pending file beside the journal (PendienteContaplus.h); then the group's
// marks commit in enlace.MDB together with the record counts of both files
// and a fingerprint of each file's last record; only then do the records go
// into Xdiario and XSubCta, and the pending file is emptied.
//
// So the journal only ever grows by whole committed groups: nothing is ever
// cut from it, and what the accounting package imports is always posted.
// Whatever stops a run, the next activation finds a pending file or none:
// one whose group committed (the point is its end) is written into the
// files where it is not there yet; one whose group did not is dropped with
// the group's marks, which rolled back. When the file it was going into was
// emptied or replaced meanwhile (imported) and it cannot be told whether the
// records were there first, the clerk is asked.
//
// The point is kept in the table punto_diario of enlace.MDB, one row per
// ContaPlus folder. EnCurso is 1 while a run is between its first and last
// commit.
#include "platform/sql/Conexion.h"
#include "transfer/PendienteContaplus.h"
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct PuntoDurable {
    qint64 diario = 0;
    qint64 subcuentas = 0;
    QString huella_diario;
    QString huella_subcuentas;
    bool en_curso = false;
};

// Who runs the transfer, for the pending file another installation may find.
struct QuienTraspasa {
    QString puesto;  // workstation
    QString datos;   // the installation's data folder, Windows form
};

class Durabilidad {
public:
    // `carpeta`: the ContaPlus folder of the two files, as the settings
    // write it (the key of its row); `carpeta_local`: the same folder here.
    Durabilidad(Conexion& enlace, Conexion& diario, Conexion& subcuentas, QString carpeta, QString carpeta_local,
                QuienTraspasa quien);
    // A group left open by a run that stopped is closed: the files are
    // checked on every use again.
    ~Durabilidad();
    Durabilidad(const Durabilidad&) = delete;
    Durabilidad& operator=(const Durabilidad&) = delete;

    // Finishes what an interrupted run left on its way into the files and
    // records the files as they are now, no run in course. Returns one line
    // per repair, for the log; `avisos` gets what the clerk must be told.
    // `preguntar` asks the clerk a yes-or-no question (true: yes; nothing
    // when not answered); without it, or without an answer, a question that
    // must be asked stops the repair before anything is written. A pending file of
    // another installation stops it too: a Fallo that says what to do.
    QStringList reparar(QStringList* avisos, const std::function<std::optional<bool>(const QString&)>& preguntar = {});

    // Start of a run: the point marked in course, the first group opened.
    void empezar();
    // One unit done. Closes the group when it has run long enough, and
    // then calls `despues` (the cash pass marks the hotel rows there, once
    // their staged rows are durable). True when the group was closed.
    bool unidad(const std::function<void()>& despues = {});
    // Closes the group now (the end of a pass).
    void cerrar_grupo();
    // End of a run: last group closed, no run in course.
    void terminar();
    // After a failure: the unit in course undone (its rows and marks, its
    // held journal and subaccount records), and what the group had done
    // before it made durable. Returns what the clerk must be told about it.
    QString abandonar();
    // The unit in course dropped and the run going on: its rows and marks
    // rolled back, the journal and subaccount records it held dropped, and
    // a new unit open in the same group.
    void descartar_unidad();

    bool en_grupo() const { return en_grupo_; }

    // Called at every group commit: the run keeps its lock files fresh, so a
    // long run is never taken for an abandoned one.
    std::function<void()> al_confirmar;

    // Longest a group stays open: the hotel's programs wait for nothing of
    // ours longer than this.
    static constexpr int milisegundos_grupo = 150;

private:
    std::optional<PuntoDurable> leer();
    PuntoDurable actual(bool en_curso);
    void escribir(const PuntoDurable& p);
    void fijar(bool en_curso);
    // Within a group the two dBASE files hold back what is appended.
    void agrupar(bool si);
    void abrir_grupo();
    void abrir_unidad();
    void confirmar(bool en_curso);
    // The group's held records, as the pending file keeps them.
    Pendiente retenido();
    // The held records `p` into both files, synced, and the pending file
    // emptied. On a failure the pending file says which were not written.
    void publicar(const Pendiente& p);
    // Every held record dropped, the group left.
    void descartar_retenidos();
    // What the pending file of this folder asks for, done (see reparar).
    void resolver_pendiente(QStringList* lineas, QStringList* avisos,
                            const std::function<std::optional<bool>(const QString&)>& preguntar);
    QString ruta_pendiente() const;
    QString nombre_pendiente() const;  // as the clerk knows it
    QString id_instalacion();
    qint64 registros_subcuentas();

    Conexion& enlace_;
    Conexion& diario_;
    Conexion& subcuentas_;
    QString carpeta_;
    QString carpeta_local_;
    QuienTraspasa quien_;
    QString instalacion_;
    QString desde_;
    bool en_grupo_ = false;
    int unidades_ = 0;
    qint64 diario_unidad_ = 0, subcuentas_unidad_ = 0;  // records when the unit began
    QElapsedTimer reloj_;
};
