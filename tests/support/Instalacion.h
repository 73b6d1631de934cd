#pragma once
// A complete, empty hotel installation in a temporary folder, for tests:
// C:\quelmira.MDB (drive row), C:\quelmira\VTRHSYS.MDB (con row), the
// fourteen family files, cc.MDB with the BIRO4 row, enlace.MDB with the four
// working tables, the two ContaPlus templates in c:\quelmira\sp1, and the
// ContaPlus folder C:\ContaEli with TMP\ and EMP0001\SubCta.dbf (empty).
// In SQL mode the hotel tables and cc live in one SQLite catalogue reached
// through ODBC (driver "SQL Native Client" registered in a private ODBCSYSINI).
#include "platform/sistema/Unidades.h"
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

class Instalacion {
public:
    explicit Instalacion(bool modo_sql = false, QChar unidad = QChar('C'));

    // The demo hotel instead (seed 1), Access mode, drive C, with the same
    // ContaPlus side.
    struct Demo {
        int facturas;
        int dias;
        QDate desde;
    };
    explicit Instalacion(const Demo& demo);

    QString raiz() const;  // the --unidades folder
    Unidades unidades() const;
    bool modo_sql() const { return modo_sql_; }
    QString local(const QString& ruta_windows) const;  // mapped path

    // Local path of the SQLite file that holds `tabla` (a hotel table, cc,
    // quelmira, con, or one of cajj, edep, fac, fal).
    QString archivo_de(const QString& tabla) const;

    // Statements and rows on the database that holds `tabla`, bound values.
    void sql(const QString& tabla, const QString& sentencia, const QVariantList& p = {});
    void insertar(const QString& tabla, const QVariantMap& fila);
    QVector<QVariantMap> filas(const QString& tabla, const QString& donde = {}, const QVariantList& p = {}) const;

    // Changes columns of the cc row BIRO4. The defaults: empresa "1",
    // diario "1", ruta C:\ContaEli, 9 digits, ccPas 430000000, ccAge 4300,
    // ccNa 4310, ccGru 438000000, ccIva 477000000, ccVta 700000000,
    // ccCaja 570000000, Tasa 475300000, ccop1 1 (cash transferred), the other
    // switches 0.
    void ajustes(const QVariantMap& cambios);

    // Adds a row to the ContaPlus company's SubCta (C:\ContaEli\EMP0001).
    void subcuenta_empresa(const QString& cod, const QString& titulo = {});

    // Databases of older installations, rows kept: `cc` without Tasa
    // (sin_externa: without Externa and AAAAMM as well), `fac` without
    // ImporteTasa.
    void cc_antigua(bool sin_externa);
    void fac_antigua();

    // Local path of the SQL Server catalogue (SQL mode; con.catalogo).
    QString catalogo() const;

    // The transfer logs tc_*.log in C:\quelmira\sp1, by name.
    QStringList logs() const;

private:
    void preparar_contaplus();

    QTemporaryDir dir_;
    bool modo_sql_;
    QChar unidad_;
};
