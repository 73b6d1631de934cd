// Tables, columns, files, keys and indexes of the hotel databases and of
// the link database enlace.MDB. Text columns compare without regard to
// case, as the hotel's own databases do; every lookup the link makes by key
// has its index, so no query of the transfer scans a table per row. The two
// hotel tables the link writes into, caja and emi, have their primary key
// (a day's movement by its order, an invoice by year and number), as a
// server's tables do: a save then finds its row by that key.
#include "demo/EsquemaHotel.h"

#include "platform/sistema/Fallo.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace esquema {
namespace {

// T text, R double, I whole number, B bit (logical), N nvarchar(12).
struct Definicion {
    QString nombre;
    QString archivo;       // "quelmira", "VTRHSYS", a family or "enlace"
    QStringList columnas;  // "Nombre:T"
    QList<QStringList> indices;
    QStringList clave = {};  // the primary key, when the table has one
};

const QVector<Definicion>& definiciones()
{
    static const QVector<Definicion> d = {
        {"quelmira", "quelmira", {"cod:T", "unidad:T"}, {}},
        {"con", "VTRHSYS", {"ConTipo:T", "ConServer:T", "catalogo:T"}, {}},
        {"cc",
         "cc",
         {"ccc:T",   "ccEmp:T", "ccDia:T", "ccruta:T",  "ccdigitos:R", "ccPas:T",   "ccAge:T",
          "ccNa:T",  "ccGru:T", "ccIva:T", "ccVta:T",   "ccCaja:T",    "cctodos:R", "ccventas:R",
          "ccop1:R", "ccdep:R", "ccop2:R", "Externa:B", "AAAAMM:B",    "Tasa:N"},
         {}},
        // Open bills; an invoice still referred to by CabNum1 or CabNum2 stays open.
        {"cab",
         "cab",
         {"CabHab:T", "CabFec:T", "CabCli:T", "CabNom:T", "CabNum1:T", "CabNum2:T"},
         {{"CabNum1"}, {"CabNum2"}}},
        // Charges of the open bills.
        {"cadia", "cadia", {"CadiaHab:T", "CadiaFec:T", "CadiaSer:T", "CadiaCan:R", "CadiaPre:R"}, {}},
        // Deposits taken.
        {"dep", "dep", {"DepNum:T", "DepFec:T", "DepCli:T", "DepImp:R"}, {}},
        {"emi",
         "emi",
         {"EmiAno:T", "EmiNum:T", "EmiFec:T", "EmiN:T",  "EmiCie:T", "EmiC:I",   "EmiCli:T", "EmiNom:T",
          "EmiNif:T", "EmiB1:R",  "EmiB2:R",  "EmiB3:R", "EmiB4:R",  "EmiC1:R",  "EmiC2:R",  "EmiC3:R",
          "EmiC4:R",  "EmiI1:R",  "EmiI2:R",  "EmiI3:R", "EmiI4:R",  "EmiTot:R", "EmiDep:R", "TasaImporte:R"},
         {{"EmiFec"}},
         {"EmiAno", "EmiNum"}},
        {"Hiscadia",
         "hiscadia",
         {"HCadiaFra:T", "HCadiaFraAno:T", "HCadiaFec:T", "HCadiaSer:T", "HCadiaDes:T", "HCadiaCta:T", "HCadiaCan:R",
          "HCadiaPre:R", "HCadiaCA:T"},
         {{"HCadiaFra", "HCadiaFraAno"}}},
        // Bills already invoiced.
        {"histocab", "histocab", {"HCabHab:T", "HCabFec:T", "HCabNum1:T", "HCabNum2:T"}, {}},
        // Production services and their sales accounts.
        {"ser", "ser", {"SerCod:T", "SerDes:T", "SerCta:T", "SerIva:R"}, {}},
        {"agen", "agen", {"AgenCod:T", "AgenNom:T", "AgenCta:T"}, {{"AgenCod"}}},
        {"na", "na", {"NaCod:T", "NaNom:T", "NaCta:T", "NaVin:B", "NaAge:T"}, {{"NaCod"}}},
        {"caja",
         "caja",
         {"CajaFec:T", "CajaOrd:I", "CajaAnoF:T", "CajaFra:T", "CajaCobroc:T", "CajaCon:T", "CajaImp:R", "CajaPago:T",
          "CajaTur:T"},
         {},
         {"CajaFec", "CajaOrd"}},
        {"cli", "cli", {"CliCod:T", "CliNom:T", "CliNif:T", "CliCta:T"}, {{"CliCod"}}},
        {"formas", "formas", {"ForCod:T", "ForDes:T", "ForCta:T"}, {{"ForCod"}}},
        // The hotel's own company data.
        {"emp", "emp", {"EmpCod:T", "EmpNom:T", "EmpNif:T"}, {}},
        {"cajj",
         "enlace",
         {"CajFec:T", "CajOrd:I", "CajFra:T", "CajImp:R", "CajCli:T", "CajDep:T", "CajAnoF:T", "CajCobroc:T",
          "CajCre:B", "CajEstado:T"},
         {{"CajFec"}}},
        {"edep", "enlace", {"EdepFec:T", "EdepCli:T", "EdepImp:R", "EdepEstado:T", "EdepFra:T"}, {{"EdepFec"}}},
        // FacB1..4 are columns 6-9, FacC1..4 10-13, FacI1..4 14-17 and
        // ImporteTasa the last one: code of the hotel product reads them by
        // position, and older databases gain ImporteTasa at the end.
        {"fac",
         "enlace",
         {"FacEmp:T",  "FacEje:T",  "FacFec:T", "FacFra:T",     "FacCli:T",  "FacB1:R",  "FacB2:R",
          "FacB3:R",   "FacB4:R",   "FacC1:R",  "FacC2:R",      "FacC3:R",   "FacC4:R",  "FacI1:R",
          "FacI2:R",   "FacI3:R",   "FacI4:R",  "FacTotal:R",   "FacIvar:T", "FacDia:T", "FacCliN:T",
          "FacNifC:T", "FacCtaC:T", "FacEst:T", "ImporteTasa:R"},
         {{"FacEje", "FacFra"}, {"FacEst", "FacFec", "FacFra"}}},
        {"fal",
         "enlace",
         {"FalEmp:T", "FalEje:T", "FalFra:T", "Falorden:I", "FalCta:T", "FalImp:R"},
         {{"FalEmp", "FalEje", "FalFra"}}},
    };
    return d;
}

const Definicion* buscar(const QString& tabla)
{
    for (const Definicion& d : definiciones())
        if (d.nombre.compare(tabla, Qt::CaseInsensitive) == 0) return &d;
    return nullptr;
}

const Definicion& definicion(const QString& tabla)
{
    const Definicion* d = buscar(tabla);
    if (!d) throw Fallo(codigo_error::TABLA_INEXISTENTE, "No existe la tabla " + tabla + " en el esquema del hotel.");
    return *d;
}

bool incluida(const QString& tabla, const QString& columna, const Variantes& v)
{
    if (tabla == QLatin1String("cc")) {
        if (v.cc != VarianteCc::Completa && columna == QLatin1String("Tasa")) return false;
        if (v.cc == VarianteCc::SinExternaNiTasa &&
            (columna == QLatin1String("Externa") || columna == QLatin1String("AAAAMM")))
            return false;
    }
    if (tabla == QLatin1String("fac") && !v.fac_con_importe_tasa && columna == QLatin1String("ImporteTasa"))
        return false;
    return true;
}

QString tipo_sql(const QString& codigo)
{
    if (codigo == QLatin1String("T")) return QStringLiteral("TEXT COLLATE NOCASE");
    if (codigo == QLatin1String("R")) return QStringLiteral("REAL");
    if (codigo == QLatin1String("I")) return QStringLiteral("INTEGER");
    if (codigo == QLatin1String("B")) return QStringLiteral("BIT");
    return QStringLiteral("NVARCHAR(12) COLLATE NOCASE");
}

}  // namespace

QStringList tablas()
{
    QStringList r;
    for (const Definicion& d : definiciones()) r << d.nombre;
    return r;
}

QStringList familias()
{
    return {"cc",  "cab",  "cadia", "dep",  "emi", "hiscadia", "histocab",
            "ser", "agen", "na",    "caja", "cli", "formas",   "emp"};
}

QStringList tablas_de(const QString& archivo)
{
    QStringList r;
    for (const Definicion& d : definiciones())
        if (d.archivo.compare(archivo, Qt::CaseInsensitive) == 0) r << d.nombre;
    return r;
}

QStringList tablas_catalogo()
{
    QStringList r;
    for (const QString& f : familias()) r << tablas_de(f);
    return r;
}

QString nombre_tabla(const QString& tabla)
{
    const Definicion* d = buscar(tabla);
    return d ? d->nombre : QString();
}

QString ruta_access(const QString& tabla, QChar unidad)
{
    const Definicion& d = definicion(tabla);
    if (d.archivo == QLatin1String("quelmira")) return QStringLiteral("C:\\quelmira.MDB");
    if (d.archivo == QLatin1String("VTRHSYS")) return QStringLiteral("C:\\quelmira\\VTRHSYS.MDB");
    return QString(unidad) + ":\\quelmira\\" + d.archivo + ".MDB";
}

QStringList columnas(const QString& tabla, const Variantes& v)
{
    const Definicion& d = definicion(tabla);
    QStringList r;
    for (const QString& c : d.columnas) {
        const QString nombre = c.section(':', 0, 0);
        if (incluida(d.nombre, nombre, v)) r << nombre;
    }
    return r;
}

QStringList ddl(const QString& tabla, const Variantes& v)
{
    const Definicion& d = definicion(tabla);
    QStringList cols;
    for (const QString& c : d.columnas) {
        const QString nombre = c.section(':', 0, 0);
        if (incluida(d.nombre, nombre, v)) cols << nombre + " " + tipo_sql(c.section(':', 1, 1));
    }
    if (!d.clave.isEmpty()) cols << "PRIMARY KEY (" + d.clave.join(", ") + ")";
    QStringList r{"CREATE TABLE " + d.nombre + " (" + cols.join(", ") + ")"};
    for (const QStringList& indice : d.indices)
        r << "CREATE INDEX ix_" + d.nombre + "_" + indice.join('_') + " ON " + d.nombre + " (" + indice.join(", ") +
                 ")";
    return r;
}

QVariantMap fila_cc_inicial()
{
    return {
        {"ccc", "BIRO4"},       {"ccEmp", "1"},         {"ccDia", "1"},         {"ccruta", "C:\\ContaEli"},
        {"ccdigitos", 9.0},     {"ccPas", "430000000"}, {"ccAge", "4300"},      {"ccNa", "4310"},
        {"ccGru", "438000000"}, {"ccIva", "477000000"}, {"ccVta", "700000000"}, {"ccCaja", "570000000"},
        {"cctodos", 0.0},       {"ccventas", 0.0},      {"ccop1", 1.0},         {"ccdep", 0.0},
        {"ccop2", 0.0},         {"Externa", 0},         {"AAAAMM", 0},          {"Tasa", "475300000"},
    };
}

namespace {

void crear_tablas(ArchivoSqlite& archivo, const QStringList& nombres, const Variantes& v)
{
    for (const QString& t : nombres)
        for (const QString& sentencia : ddl(t, v)) archivo.ejecutar(sentencia);
}

void insertar(ArchivoSqlite& archivo, const QString& tabla, const QVariantMap& fila)
{
    QStringList cols, marcas;
    QVariantList valores;
    for (auto it = fila.begin(); it != fila.end(); ++it) {
        cols << it.key();
        marcas << "?";
        valores << it.value();
    }
    archivo.ejecutar("INSERT INTO " + tabla + " (" + cols.join(", ") + ") VALUES (" + marcas.join(", ") + ")", valores);
}

}  // namespace

void crear_instalacion(const Unidades& unidades, const OpcionesInstalacion& o)
{
    const QChar unidad = o.unidad.toUpper();
    {
        ArchivoSqlite a(unidades.local(ruta_access("quelmira", unidad)), true);
        crear_tablas(a, {"quelmira"}, o.variantes);
        a.ejecutar("INSERT INTO quelmira (cod, unidad) VALUES ('1', ?)", {QString(unidad)});
    }
    {
        ArchivoSqlite a(unidades.local(ruta_access("con", unidad)), true);
        crear_tablas(a, {"con"}, o.variantes);
        if (o.modo_sql)
            a.ejecutar("INSERT INTO con (ConTipo, ConServer, catalogo) VALUES ('1', ?, ?)",
                       {o.servidor, o.catalogo_local});
        else
            a.ejecutar("INSERT INTO con (ConTipo, ConServer, catalogo) VALUES ('0', '', '')");
    }

    QVariantMap fila;
    if (o.fila_cc) {
        const QStringList cols = columnas("cc", o.variantes);
        const QVariantMap inicial = fila_cc_inicial();
        for (auto it = inicial.begin(); it != inicial.end(); ++it)
            if (cols.contains(it.key())) fila.insert(it.key(), it.value());
    }

    if (o.modo_sql) {
        ArchivoSqlite a(o.catalogo_local, true);
        a.empezar();
        crear_tablas(a, tablas_catalogo(), o.variantes);
        if (o.fila_cc) insertar(a, "cc", fila);
        a.confirmar();
    } else {
        for (const QString& familia : familias()) {
            ArchivoSqlite a(unidades.local(QString(unidad) + ":\\quelmira\\" + familia + ".MDB"), true);
            a.empezar();
            crear_tablas(a, tablas_de(familia), o.variantes);
            if (familia == QLatin1String("cc") && o.fila_cc) insertar(a, "cc", fila);
            a.confirmar();
        }
    }

    ArchivoSqlite enlace(unidades.local(QString(unidad) + ":\\quelmira\\enlace.MDB"), true);
    enlace.empezar();
    crear_tablas(enlace, tablas_de("enlace"), o.variantes);
    enlace.confirmar();
}

}  // namespace esquema

// ---------------------------------------------------------------------------

ArchivoSqlite::ArchivoSqlite(const QString& ruta_local, bool crear) : ruta_(ruta_local)
{
    QFileInfo info(ruta_local);
    int banderas = SQLITE_OPEN_READWRITE;
    if (crear) {
        if (info.exists()) fallar("ya existe");
        if (!QDir().mkpath(info.absolutePath())) fallar("no se puede crear su carpeta");
        banderas |= SQLITE_OPEN_CREATE;
    } else if (!info.isFile()) {
        fallar("no existe");
    }
    if (sqlite3_open_v2(QFile::encodeName(ruta_local).constData(), &db_, banderas, nullptr) != SQLITE_OK) {
        const QString motivo = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_close_v2(db_);
        db_ = nullptr;
        fallar("no se puede abrir (" + motivo + ")");
    }
    sqlite3_busy_timeout(db_, 5000);
}

ArchivoSqlite::~ArchivoSqlite()
{
    if (db_) sqlite3_close_v2(db_);
}

void ArchivoSqlite::fallar(const QString& que) const
{
    QString texto = ruta_ + ": " + que;
    if (db_) texto += QStringLiteral(" (") + QString::fromUtf8(sqlite3_errmsg(db_)) + ")";
    throw Fallo(codigo_error::FALLO_GENERAL, texto);
}

namespace {

void enlazar(sqlite3_stmt* stmt, int i, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(stmt, i);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool: sqlite3_bind_int(stmt, i, v.toBool() ? 1 : 0); break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort: sqlite3_bind_int64(stmt, i, v.toLongLong()); break;
    case QMetaType::Double:
    case QMetaType::Float: sqlite3_bind_double(stmt, i, v.toDouble()); break;
    default: {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant valor_columna(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: return QVariant(qlonglong(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_NULL: return QVariant();
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, i)), sqlite3_column_bytes(stmt, i)));
    default:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                          sqlite3_column_bytes(stmt, i)));
    }
}

}  // namespace

void ArchivoSqlite::ejecutar(const QString& sql, const QVariantList& parametros)
{
    Sentencia s(*this, sql);
    s.ejecutar(parametros);
}

QVector<QVariantMap> ArchivoSqlite::consultar(const QString& sql, const QVariantList& parametros)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray texto = sql.toUtf8();
    if (sqlite3_prepare_v2(db_, texto.constData(), int(texto.size()), &stmt, nullptr) != SQLITE_OK) fallar(sql);
    for (int i = 0; i < parametros.size(); ++i) enlazar(stmt, i + 1, parametros[i]);
    QVector<QVariantMap> filas;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantMap fila;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            fila.insert(QString::fromUtf8(sqlite3_column_name(stmt, c)), valor_columna(stmt, c));
        filas << fila;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) fallar(sql);
    return filas;
}

void ArchivoSqlite::empezar()
{
    ejecutar("BEGIN");
}

void ArchivoSqlite::confirmar()
{
    ejecutar("COMMIT");
}

ArchivoSqlite::Sentencia::Sentencia(ArchivoSqlite& archivo, const QString& sql) : archivo_(archivo), sql_(sql)
{
    const QByteArray texto = sql.toUtf8();
    if (sqlite3_prepare_v2(archivo_.db_, texto.constData(), int(texto.size()), &stmt_, nullptr) != SQLITE_OK)
        archivo_.fallar(sql);
}

ArchivoSqlite::Sentencia::~Sentencia()
{
    sqlite3_finalize(stmt_);
}

void ArchivoSqlite::Sentencia::ejecutar(const QVariantList& parametros)
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    for (int i = 0; i < parametros.size(); ++i) enlazar(stmt_, i + 1, parametros[i]);
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) archivo_.fallar(sql_);
}
