#pragma once
// The link settings: what the load reads from the row BIRO4 of `cc`, what the
// transfer uses, what the settings window shows and what its save writes.
#include <QString>

struct AjustesEnlace {
    QString empresa;                 // ccEmp
    QString diario;                  // ccDia
    QString ruta_contaplus;          // ccruta
    qint16 digitos = 0;              // ccdigitos
    QString cuenta_pasantes;         // ccPas
    QString subcuenta_agencias;      // ccAge
    QString subcuenta_empresas;      // ccNa
    QString cuenta_depositos;        // ccGru
    QString cuenta_iva;              // ccIva
    QString cuenta_ventas;           // ccVta
    QString cuenta_caja;             // ccCaja
    bool todos_pasantes = false;     // cctodos
    bool separar_ventas = false;     // ccventas
    bool sin_caja = false;           // not ccop1 ("Traspasar también movimientos de caja.")
    bool separar_depositos = false;  // ccdep
    bool separar_iva = false;        // ccop2
    bool externa = false;            // Externa
    bool pasantes_aaaamm = false;    // AAAAMM
    QString cuenta_tasa;             // Tasa
};

// The digit count the digits box's text stands for: its numeric value (0 when
// it does not begin with a number) as the load reads ccdigitos back. Throws
// Fallo when it does not fit a 16-bit integer.
qint16 digitos_del_texto(const QString& texto);
