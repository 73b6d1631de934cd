#pragma once
// A demonstration installation: a plausible hotel over a range of days, the
// same for the same seed. Customers, agencies and companies with and without
// accounts, companies linked to agencies, payment methods with and without
// accounts, invoices at 10 %, 21 % and 4 % VAT with tourist tax and
// deposits, the services charged on them, cash receipts and deposit
// collections, bills still open.
#include <QDate>
#include <QString>

struct OpcionesDemo {
    int facturas = 150;
    quint64 semilla = 1;
    QDate desde = QDate(2026, 11, 1);
    int dias = 30;
};

struct ResumenDemo {
    int facturas = 0;
    int servicios = 0;  // Hiscadia rows
    int cajas = 0;      // caja rows
    int clientes = 0, agencias = 0, empresas = 0;
};

// Writes the installation under `raiz` (the --unidades folder), which must
// not exist or be empty: drive C with C:\quelmira.MDB, C:\quelmira\VTRHSYS.MDB
// (Access mode), the fourteen family files, cc.MDB with the row BIRO4,
// enlace.MDB with empty working tables, and the folders C:\quelmira\sp1,
// C:\ContaEli\TMP and C:\ContaEli\EMP0001. The ContaPlus templates and the
// company's SubCta.dbf are not written here. Throws Fallo.
ResumenDemo generar_demo(const QString& raiz, const OpcionesDemo& opciones);
