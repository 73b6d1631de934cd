#pragma once
// A file read and written only with positioned, unbuffered calls whose every
// result is checked, so that a failed write is known at once and nothing is
// left in a buffer for a later seek or close to write somewhere else. The
// dBASE engine keeps its files through it; the fault seam of Averias sits on
// its writes. The POSIX calls live here only.
#include "platform/sistema/Fallo.h"
#include <QByteArray>
#include <QString>
#include <QStringList>

class Fichero {
public:
    Fichero() = default;
    ~Fichero();
    Fichero(const Fichero&) = delete;
    Fichero& operator=(const Fichero&) = delete;
    Fichero(Fichero&& otro) noexcept;
    Fichero& operator=(Fichero&& otro) noexcept;

    // Opens an existing file; with `escritura` for reading and writing.
    // False (with `motivo` set) when it cannot be opened that way.
    bool abrir(const QString& ruta, bool escritura, QString* motivo = nullptr);
    // Creates `ruta` anew for writing; a file of that name is never opened
    // (of two processes racing for a name, one gets it). When the name is
    // taken, the same name with "_2", "_3"... before its extension; with
    // `tambien` (extensions, ".html"), a name under which those are free
    // too. Returns the suffix added, "" when none; a Fallo naming the file
    // with the system's text when the folder refuses.
    QString crear_nuevo(const QString& ruta, const QStringList& tambien = {});
    void cerrar();
    // Closes; a failure of the close (a write the system had put off) is a
    // Fallo with the system's text.
    void cerrar_comprobando();
    bool abierto() const { return fd_ >= 0; }
    bool escritura() const { return escritura_; }
    const QString& ruta() const { return ruta_; }
    // The name its failures give: the Windows form the clerk knows. The
    // local path until set.
    void nombrar(const QString& nombre) { nombre_ = nombre; }

    qint64 tamano() const;
    // Up to `n` bytes from `desde`; fewer at the end of the file.
    qint64 leer(qint64 desde, char* destino, qint64 n) const;
    QByteArray leer(qint64 desde, qint64 n) const;
    // All of `datos` at `desde`, or a Fallo with the system's text. A write
    // that fails may have written part of the bytes: the caller restores.
    void escribir(qint64 desde, const QByteArray& datos);
    void escribir(qint64 desde, const char* datos, qint64 n);
    void truncar(qint64 tamano);
    // The data and size on stable storage.
    void sincronizar();

    // The system's text for an error number, in Spanish for the usual ones.
    static QString texto_error(int numero);
    // Syncs a folder, so a file created or renamed in it survives a cut.
    static void sincronizar_carpeta(const QString& carpeta);
    // Copies `origen` over `destino` so that a stop at any moment leaves
    // the old file or the whole copy, synced, and writable by its owner.
    static void copiar_seguro(const QString& origen, const QString& destino);
    // `ruta` with `sufijo` before its extension (tc_1.log, "_2": tc_1_2.log).
    static QString con_sufijo(const QString& ruta, const QString& sufijo);
    // Copies `origen` over `destino`, every write checked: a Fallo says
    // what failed with the system's text (a full disk) and leaves no
    // partial `destino`.
    static void copiar(const QString& origen, const QString& destino);
    // Renames a file; refuses to replace one that exists.
    static void renombrar(const QString& origen, const QString& destino);
    // Whether the standard error output is a terminal (a person watching),
    // not a file or a pipe.
    static bool errores_en_terminal();

private:
    [[noreturn]] void fallar(const QString& que, int numero) const;

    int fd_ = -1;
    bool escritura_ = false;
    QString ruta_;
    QString nombre_;
};
