#pragma once
// The tables of a dBASE folder as the engine keeps them open: one shapelib
// handle per file, reopened when someone else changed the file, with an
// index per column searched and the largest value per column asked for.
// Private to the dBASE engine (only its .cpp files include this header).
#include "platform/dbase/DbaseBackend.h"
#include "platform/dbase/DbaseFilaDirecta.h"
#include "platform/dbase/DbaseGanchos.h"
#include "platform/dbase/DbaseHuella.h"
#include "platform/dbase/DbaseValores.h"
#include "platform/valores/Cp1252.h"

#include <QHash>
#include <QMap>
#include <exception>
#include <map>
#include <memory>

namespace dbase {

// One open table.
struct Tabla {
    QString ruta;
    DBFHandle h = nullptr;
    bool escritura = false;
    Huella huella;  // the file as this backend last left it
    // Set by abrir(): why the file is not to be written into (its header
    // does not match its size), and what was repaired before writing.
    QString danada;
    QStringList reparado;
    // Bytes past the counted records that an append or a cut which stopped
    // half way left (found by abrir()). Nobody reads them; they are left in
    // place until the first write or an explicit check takes them off, so
    // that whoever wrote them can first see what they were.
    qint64 cola = 0;
    QVector<Campo> campos;
    QVector<Columna> columnas_;  // the same, as the engine reports them
    // In a group (see DbaseBackend::agrupar): the file was found as we left
    // it since the group began, and whether our writes since then have left
    // `huella` out of date.
    bool revisada = false;
    bool huella_atrasada = false;
    const PaginaUnByte* pagina = &windows_1252();
    // Per column number: key -> record numbers, and the largest value. Built
    // on first use, kept by our own appends, dropped when the file changes.
    // Maps, not hashes: every append walks them, and a walk of a hash
    // visits all its slots, used or not.
    QMap<int, QHash<QString, QVector<int>>> indices;
    QMap<int, QVariant> maximos;
    // Inside a group, the records appended and not yet written: they are
    // read from here, and go to the file together, with the end mark and
    // then the header's count, only when asked (volcar) or when the group
    // ends. Until then the file is as before them, whole, and no other
    // program sees them.
    QByteArray espera;
    int en_espera = 0;
    // Set by preparar_volcado(): the records waiting are already on the
    // file past the counted ones, synced, and the file was `antes_espera`
    // bytes long before them; volcar() then only counts them.
    bool espera_escrita = false;
    qint64 antes_espera = 0;
    QString nombre_espera;  // as the appends named the table, for a failure
    // The writer of new rows (every append goes through it), made on first
    // use; dropped when the file is opened again, as its columns may have
    // changed.
    std::unique_ptr<FilaDbf> directa;

    Tabla() = default;
    Tabla(const Tabla&) = delete;
    Tabla& operator=(const Tabla&) = delete;
    ~Tabla() { soltar(); }

    // Closes the handle without letting shapelib write anything: every write
    // of ours is already on disk, and the file may have been replaced.
    // Records still waiting (a group that never ended) are dropped, as a
    // stop before writing them would: no durable point counts them.
    void soltar();

    // Opens the file again (for writing if it can), reads its columns and
    // checks its size against its header.
    void abrir();
    void comprobar();

    int campo(const QString& nombre) const;

    // Records in the table, those still waiting to be written included.
    int registros() const { return h->nRecords + en_espera; }

    // The raw record, or nullptr when it is deleted; a record waiting is
    // read from `espera`.
    const char* registro(int i) const;
    // Records [desde, desde + n) as stored, waiting ones included.
    QByteArray crudos(qint64 desde, qint64 n) const;

    QVariant valor(const char* reg, int c) const { return leer_campo(campos[c], reg, *pagina); }

    QVariantList fila(const char* reg) const;

    const QVector<Columna>& columnas() const { return columnas_; }

    // Key -> record numbers of column c, and its largest value.
    const QHash<QString, QVector<int>>& indice(int c);

    QVariant maximo(int c);

    // Appends a record built whole (`registro`, its bytes and the end mark):
    // written now, or in a group with the unit's others (see espera); the
    // indexes and maxima take it in. Returns its number.
    qint64 anadir_nuevo(const QByteArray& registro, const QString& nombre, bool en_grupo);

    // Record i, with bytes `reg`, was appended by us: the indexes and
    // maxima take it in.
    void anotar(int i, const char* reg);

    // After a write of ours: the file as we leave it, asked of the system
    // now or, in a group, when the group ends.
    void dejada(bool en_grupo);

    // Refuses a damaged or read-only file; takes off a tail left past the
    // counted records before the first write.
    void exigir_escritura(const QString& nombre);
    // Takes off the tail, if any, noting the repair.
    void quitar_cola_pendiente();

    // After shapelib wrote a record: header count and date, the 0x1A, all on
    // disk before returning, so any reader sees a complete file.
    void confirmar(const QString& nombre);

    // Writes the records waiting, if any, when the file is still as this
    // engine left it. On a failure the file is left as it was before them,
    // they are dropped, and the Fallo is thrown.
    void volcar();
    void preparar_volcado();
    // The records waiting cut back to `registros` in all (not fewer than
    // those on the file).
    void recortar_espera(qint64 registros);
};

}  // namespace dbase

struct DbaseBackend::Carpeta {
    QString ruta;
    std::map<QString, std::unique_ptr<dbase::Tabla>> tablas;  // by lower-case name
    // Inside a group each file is checked against what we left on its first
    // use only (see DbaseBackend::agrupar).
    bool en_grupo = false;
    // The name a table was last asked by, and its key.
    QString ultimo_nombre, ultima_clave;

    // The table as it is now on disk: found, opened, reopened if changed
    // (outside a group; inside one only on its first use).
    dbase::Tabla& tabla(const QString& nombre);
    void agrupar(bool si);
    // Every table's records waiting written; the first failure, if any,
    // once all have been tried.
    std::exception_ptr volcar();
    void preparar_volcado();
    dbase::Tabla& buscar_tabla(const QString& nombre);

    // The .dbf file of the table in any letter case; TABLA_INEXISTENTE when
    // there is none.
    QString buscar(const QString& nombre) const;
};
