#pragma once
// A dBASE file read from start to end by someone who is not the engine
// that writes it (the report reading back what a run wrote): shapelib, on
// the engine's own file hooks, opens it and reads its header and fields; the
// records are then read a block at a time and each is looked at where it
// lies in the block, so a year's journal costs tens of reads of the file,
// not one and a copy per record.
#include <QString>
#include <QVector>
#include <memory>

namespace dbase {

class LecturaDbf {
public:
    // A file that cannot be opened, or is no dBASE file, fails with
    // ERROR_DE_ARCHIVO naming it.
    explicit LecturaDbf(const QString& ruta_local);
    ~LecturaDbf();
    LecturaDbf(const LecturaDbf&) = delete;
    LecturaDbf& operator=(const LecturaDbf&) = delete;

    struct Campo {
        QString nombre;
        char tipo = 0;  // the type letter as stored
        int ancho = 0;
    };
    const QVector<Campo>& campos() const;
    // Records the header counts.
    qint64 registros() const;
    // Record `i` as stored, deletion flag first; nullptr when the file ends
    // before it. Valid until the next call.
    const char* registro(qint64 i);

private:
    struct Estado;
    std::unique_ptr<Estado> e_;
};

}  // namespace dbase
