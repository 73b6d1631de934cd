#pragma once
// The durable point of a transfer: where the ContaPlus files and the posting
// marks of the link database last agreed on disk.
//
// A run works in groups of units (a receipt staged, an invoice posted, a
// day's deposits or cash); each unit is a savepoint, so a failure undoes the
// unit in course only. A group's journal and subaccount records are
// appended, both dBASE files are synced, and only then are the group's marks
// committed in enlace.MDB together with the record counts of both files and
// a fingerprint of each file's last record: one durable commit. Whatever
// stops a run, the files may hold records past the counts of the last commit
// (the group that never committed, whose marks rolled back); the next
// activation or run cuts them off, and the units are posted again, once.
//
// The point is kept in the table punto_diario of enlace.MDB, one row per
// ContaPlus folder. EnCurso is 1 while a run is between its first and last
// commit: only then can records past the counts be ours. Between runs they
// are another program's, and nothing is cut.
#include "platform/Conexion.h"
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

class Durabilidad {
public:
    // `carpeta`: the ContaPlus folder of the two files, as the settings
    // write it (the key of its row).
    Durabilidad(Conexion& enlace, Conexion& diario, Conexion& subcuentas, QString carpeta);
    // A group left open by a run that stopped is closed: the files are
    // checked on every use again.
    ~Durabilidad();
    Durabilidad(const Durabilidad&) = delete;
    Durabilidad& operator=(const Durabilidad&) = delete;

    // Cuts back what an interrupted run left past the durable point and
    // records the files as they are now, no run in course. Returns one line
    // per repair, for the log; `avisos` gets what the clerk must be told.
    QStringList reparar(QStringList* avisos);

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
    // journal and subaccount records), and what the group had done before it
    // made durable. Returns what the clerk must be told about it.
    QString abandonar();
    // The unit in course dropped and the run going on: its rows and marks
    // rolled back, the journal and subaccount records it appended cut off,
    // and a new unit open in the same group.
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
    // Within a group the two dBASE files are checked for another
    // program's change on their first use only.
    void agrupar(bool si);
    // The records the ContaPlus files hold back in a group, written: before
    // a unit is confirmed, so a write that fails undoes that unit.
    void volcar();
    void abrir_grupo();
    void abrir_unidad();
    void confirmar(bool en_curso);
    QString cortar(Conexion& c, const QString& tabla, qint64 registros, const QString& huella,
                   QStringList* lineas, QStringList* avisos);
    qint64 registros_subcuentas();

    Conexion& enlace_;
    Conexion& diario_;
    Conexion& subcuentas_;
    QString carpeta_;
    bool en_grupo_ = false;
    int unidades_ = 0;
    qint64 diario_unidad_ = 0, subcuentas_unidad_ = 0;   // records when the unit began
    QElapsedTimer reloj_;
};
