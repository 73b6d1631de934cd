#pragma once
// Rows of XSubCta. A subaccount is added unless a row with the same code is
// already there, so a code is never added twice and an existing row is never
// changed.
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"
#include <QString>

// The columns the link fills; the other eight are empty or false.
struct FilaSubcuenta {
    QString cod, titulo, nif, tipoiva;
};

FilaSubcuenta fila_cliente(const QString& cod, const QString& nombre, const QString& nif);
FilaSubcuenta fila_ventas(const QString& cod);
FilaSubcuenta fila_tasa(const QString& cod);
// The title writes the rate as the Spanish locale does: 21, 7, 10,5.
FilaSubcuenta fila_iva(const QString& cod, double porcentaje);

// Adds and saves the row if XSubCta has no row of its code; closes `rs`
// either way. True when it was added.
bool crear_subcuenta(Recordset& rs, Conexion& conexion_subcuentas, const FilaSubcuenta& fila);
