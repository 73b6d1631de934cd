#pragma once
// An exclusive lock on a folder of the installation (the link's data, the
// ContaPlus folder), so that only one transfer at a time prepares or writes
// them, from any workstation. The lock is a file "enlace.lck" in the folder
// saying who holds it: workstation, process and since when. A lock whose
// process is gone (same workstation) or that has not been renewed for
// `caducidad` (another workstation that died) is taken over.
#include <QDateTime>
#include <QString>

class Cerrojo {
public:
    Cerrojo() = default;
    ~Cerrojo() { soltar(); }
    Cerrojo(const Cerrojo&) = delete;
    Cerrojo& operator=(const Cerrojo&) = delete;

    // Takes the lock. False when someone else holds it; `quien` then says
    // who ("el puesto X, proceso N, desde el dd/mm/aaaa a las hh:mm:ss"),
    // or why the lock file could not be made.
    bool tomar(const QString& carpeta, QString* quien);
    void soltar();
    bool tomado() const { return !ruta_.isEmpty(); }
    // Keeps a long run's lock from looking abandoned.
    void renovar();

    // Minutes without renewal after which another workstation's lock is
    // taken for abandoned.
    static constexpr int caducidad_minutos = 15;

private:
    QString ruta_;
    QDateTime renovado_;
};
