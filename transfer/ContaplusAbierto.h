#pragma once
// The ContaPlus files a run writes, as the activation leaves them open: the
// journal and subaccount working files and the company's SubCta, with the
// one writer every journal line goes through.
#include "contaplus/FilaDiario.h"
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"
#include <QDate>
#include <QString>

class ContaplusAbierto {
public:
    Conexion conexion_diario, conexion_subcuentas, conexion_empresa;
    Recordset rs_diario, rs_subcuentas, rs_empresa;
    EscritorDiario escritor_diario;

    // The highest entry number in Xdiario, 0 when empty. 32 bits: journals
    // pass 32767 entries.
    qint32 ultimo_asiento();
    // Whether the company's SubCta holds the code.
    bool existe_cuenta(const QString& codigo);
    // Appends one line of entry `asien` dated `fecha`; with `importes`, its
    // amounts as numbers.
    void anadir(qint32 asien, const QDate& fecha, const LineaDiario& linea, ImportesLinea* importes = nullptr)
    {
        escritor_diario.anadir(conexion_diario, asien, fecha, linea, importes);
    }
    // Closes the journal's and subaccounts' cursors (their writers keep no
    // row between groups).
    void cerrar_cursores()
    {
        rs_diario.cerrar();
        rs_subcuentas.cerrar();
    }
};
