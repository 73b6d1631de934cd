#pragma once
// The hotel product's databases as the link relies on them, and the link's
// own working tables: the SQLite DDL of every table (text compared without
// regard to case, as in the hotel's databases), the file that holds each one,
// and the creation of an empty installation. The program only reads these
// databases through Conexion; this is for the demo generator and the tests,
// which make installations from nothing.
#include "platform/sistema/Unidades.h"
#include <QChar>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

namespace esquema {

// `cc` as older hotel databases have it: all its columns, without Tasa, or
// without Externa, AAAAMM and Tasa.
enum class VarianteCc { Completa, SinTasa, SinExternaNiTasa };

struct Variantes {
    VarianteCc cc = VarianteCc::Completa;
    bool fac_con_importe_tasa = true;  // false: a link database older than ImporteTasa
};

// Every table: quelmira, con, cc, the hotel tables and the four working tables.
QStringList tablas();
// The fourteen family files opened in Access mode, in their order of opening
// ("cc", "cab", "cadia", ... "emp"); each is <unidad>:\quelmira\<familia>.MDB.
QStringList familias();
// The tables of a family file or of "enlace" (the working tables).
QStringList tablas_de(const QString& archivo);
// The hotel tables and cc, those that live in the SQL Server catalogue in SQL mode.
QStringList tablas_catalogo();
// Name of a table as created ("hiscadia" gives "Hiscadia"); empty when unknown.
QString nombre_tabla(const QString& tabla);
// Windows path of the Access file that holds `tabla` with the hotel data on
// drive `unidad` ("C:\quelmira.MDB", "D:\quelmira\hiscadia.MDB", ...).
QString ruta_access(const QString& tabla, QChar unidad);
// Columns of a table in their order, as created.
QStringList columnas(const QString& tabla, const Variantes& v = {});
// CREATE TABLE and CREATE INDEX statements of a table.
QStringList ddl(const QString& tabla, const Variantes& v = {});

// The settings row a new installation starts with: company 1, journal 1,
// ContaPlus in C:\ContaEli, 9 digits, the usual accounts, cash transferred.
QVariantMap fila_cc_inicial();

struct OpcionesInstalacion {
    QChar unidad = QChar('C');  // drive of the hotel data
    bool modo_sql = false;
    QString servidor = QStringLiteral("HOTELSRV");
    QString catalogo_local;  // SQL mode: the catalogue's SQLite file
    Variantes variantes;
    bool fila_cc = true;  // the BIRO4 row of fila_cc_inicial()
};

// Creates the empty databases of an installation: C:\quelmira.MDB with the
// drive row, C:\quelmira\VTRHSYS.MDB with the con row, the fourteen family
// files (Access mode) or the catalogue (SQL mode), and enlace.MDB. Files
// that exist are refused. Throws Fallo.
void crear_instalacion(const Unidades& unidades, const OpcionesInstalacion& opciones);

}  // namespace esquema

// An SQLite file written directly, without the program's connections: for
// building installations and test data quickly, with prepared statements and
// bound values. Throws Fallo (FALLO_GENERAL) on every failure, with the file
// and statement named.
class ArchivoSqlite {
public:
    // `crear`: the file is created (its folder too) and must not exist yet;
    // otherwise it must exist.
    ArchivoSqlite(const QString& ruta_local, bool crear);
    ~ArchivoSqlite();
    ArchivoSqlite(const ArchivoSqlite&) = delete;
    ArchivoSqlite& operator=(const ArchivoSqlite&) = delete;

    const QString& ruta() const { return ruta_; }

    void ejecutar(const QString& sql, const QVariantList& parametros = {});
    QVector<QVariantMap> consultar(const QString& sql, const QVariantList& parametros = {});

    // One statement prepared once and run many times.
    class Sentencia {
    public:
        Sentencia(ArchivoSqlite& archivo, const QString& sql);
        ~Sentencia();
        Sentencia(const Sentencia&) = delete;
        Sentencia& operator=(const Sentencia&) = delete;
        void ejecutar(const QVariantList& parametros);

    private:
        ArchivoSqlite& archivo_;
        QString sql_;
        sqlite3_stmt* stmt_ = nullptr;
    };

    // A transaction around many statements: the file is written once, not
    // once per row.
    void empezar();
    void confirmar();

private:
    friend class Sentencia;
    [[noreturn]] void fallar(const QString& que) const;
    QString ruta_;
    sqlite3* db_ = nullptr;
};
