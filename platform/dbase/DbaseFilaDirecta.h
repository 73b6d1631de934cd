#pragma once
// The dBASE engine's rows appended value by value (see FilaDirecta), and the
// engine's every append: a row of variants is given as these values. The
// record is built in place over the last one this writer appended: a field
// is formatted again only when its value is not the same as there, which on
// a journal's lines is most of them. Private to the dBASE engine.
#include "platform/motor/FilaDirecta.h"

#include <QByteArray>
#include <QVector>

namespace dbase {

struct Tabla;

class FilaDbf : public FilaDirecta {
public:
    explicit FilaDbf(Tabla& t) : t_(t) {}

    // For the rows that follow: the table as the caller names it, whether a
    // group is open, and where the key of the row appended goes.
    void preparar(const QString& nombre, bool en_grupo, qint64* clave)
    {
        nombre_ = nombre;
        en_grupo_ = en_grupo;
        clave_ = clave;
    }

    qint64 anadir(const ValorDirecto* valores, int n) override;
    // The values formatted into a new row, in order, without appending it: a
    // value that does not fit throws as anadir() would.
    void poner(const ValorDirecto* valores, int n);

private:
    // What a field of `registro_` holds: blanks, the bytes of the value
    // kept here, or not known (a value that failed or is formatted anew
    // every time).
    struct Campo {
        enum Estado : char { Blanco, Valor, Desconocido } estado = Blanco;
        ValorDirecto::Tipo tipo = ValorDirecto::Nulo;
        quint32 fila = 0;  // the last row that put it
        double numero = 0;
        QDate fecha;
        QString texto;
    };

    Tabla& t_;
    QString nombre_;
    bool en_grupo_ = false;
    qint64* clave_ = nullptr;
    QByteArray registro_;  // the record, and the end mark
    QVector<Campo> campos_;
    quint32 fila_ = 0;
};

}  // namespace dbase
