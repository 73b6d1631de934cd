// SQL Server mode through real ODBC: the SQLite ODBC driver registered as
// "SQL Native Client", with Database= naming an SQLite file.
#include "platform/sql/Conexion.h"
#include "platform/sql/OdbcBackend.h"
#include "platform/sql/Recordset.h"
#include "platform/valores/TextoSql.h"
#include "tests/support/Fallos.h"
#include "tests/support/Odbc.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <numeric>
#include <optional>

namespace {

// Another program on the catalogue, through SQLite itself.
class Otro {
public:
    explicit Otro(const QString& archivo)
    {
        if (sqlite3_open(archivo.toUtf8().constData(), &db_) != SQLITE_OK) qFatal("no se abre %s", qPrintable(archivo));
        sqlite3_busy_timeout(db_, 5000);
    }
    ~Otro() { sqlite3_close(db_); }

    void sql(const QString& s, const QVariantList& p = {})
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, s.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(s), sqlite3_errmsg(db_));
        for (int i = 0; i < p.size(); ++i) {
            if (p[i].typeId() == QMetaType::Double)
                sqlite3_bind_double(st, i + 1, p[i].toDouble());
            else
                sqlite3_bind_text(st, i + 1, p[i].toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
        }
        if (sqlite3_step(st) != SQLITE_DONE) qFatal("%s: %s", qPrintable(s), sqlite3_errmsg(db_));
        sqlite3_finalize(st);
    }

    QString texto(const QString& s)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, s.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(s), sqlite3_errmsg(db_));
        QStringList r;
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList fila;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                fila << (sqlite3_column_type(st, i) == SQLITE_NULL
                             ? QStringLiteral("null")
                             : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
            r << fila.join(QLatin1Char('|'));
        }
        sqlite3_finalize(st);
        return r.join(QLatin1Char('/'));
    }

private:
    sqlite3* db_ = nullptr;
};

// A row as text with each value's type, and whether a text is null.
QString describir(const QVariantList& fila)
{
    QStringList r;
    for (const QVariant& v : fila) {
        if (!v.isValid()) {
            r << QStringLiteral("Null");
            continue;
        }
        QString t = QString::fromLatin1(v.typeName()) + QLatin1Char(':');
        if (v.typeId() == QMetaType::QString && v.toString().isNull()) t += QStringLiteral("(nulo)");
        t += v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex()) : v.toString();
        r << t;
    }
    return r.join(QLatin1Char('|'));
}

}  // namespace

class TstOdbc : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString catalogo_;
    const Unidades unidades_{QStringLiteral("/nonexistent")};

    QString cadena() const
    {
        return QStringLiteral("Driver={SQL Native Client};Server=HOTELSRV;Database=") + catalogo_ +
               QStringLiteral("; Uid=quelmira;Pwd=BIRO4;");
    }
    Conexion abierta()
    {
        Conexion c;
        c.abrir(cadena(), unidades_);
        return c;
    }

private slots:
    void initTestCase()
    {
        registrar_sql_native_client();
        registrar_sql_native_client();  // once per process, harmless again
        QVERIFY(dir_.isValid());
    }

    void init()
    {
        static int n = 0;
        catalogo_ = dir_.filePath(QStringLiteral("HOTEL%1.db").arg(++n));
        Otro o(catalogo_);
        o.sql(QStringLiteral("CREATE TABLE cc (ccc NVARCHAR(10), ccEmp NVARCHAR(4), ccdigitos FLOAT, ccop1 FLOAT)"));
        o.sql(QStringLiteral("INSERT INTO cc VALUES ('BIRO4', '1', 9, 1)"));
        o.sql(QStringLiteral("CREATE TABLE caja (CajaFec NVARCHAR(8), CajaOrd INTEGER, CajaImp FLOAT, "
                             "CajaCon NVARCHAR(40), CajaTur NVARCHAR(1), Marca BIT)"));
        o.sql(QStringLiteral("CREATE TABLE hab (HabCod VARCHAR(4) PRIMARY KEY, HabTip NVARCHAR(10), HabPre FLOAT, "
                             "HabNot TEXT)"));
        // TEXT is a long type of no size, compared; MEMO of 2^30 - 1 is
        // reported as SQL Server reports ntext, never compared.
        o.sql(QStringLiteral("CREATE TABLE nota (NotFec TEXT, NotImp FLOAT, NotTxt MEMO(1073741823))"));
    }

    void conecta_con_la_cadena_del_programa()
    {
        Conexion c = abierta();
        QVERIFY(c.abierta());
        QCOMPARE(c.cadena(), cadena());
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM cc WHERE ccc = 'BIRO4'"), c);
        QVERIFY(!rs.eof());
        QCOMPARE(rs.campo(QStringLiteral("CCEMP")).toString(), QStringLiteral("1"));
        QCOMPARE(rs.campo(QStringLiteral("ccdigitos")).toDouble(), 9.0);
    }

    void driver_que_no_existe()
    {
        Conexion c;
        ESPERAR_FALLO(
            c.abrir(QStringLiteral(
                        "Driver={SQL Server Inexistente};Server=HOTELSRV;Database=HOTEL; Uid=quelmira;Pwd=BIRO4;"),
                    unidades_),
            codigo_error::FALLO_GENERAL);
        QVERIFY(!c.abierta());
        try {
            c.abrir(QStringLiteral("Driver={SQL Server Inexistente};Server=X;Database=Y; Uid=quelmira;Pwd=BIRO4;"),
                    unidades_);
        } catch (const Fallo& f) {
            QVERIFY2(!f.descripcion().contains(QLatin1String("BIRO4")), qPrintable(f.descripcion()));
        }
    }

    void errores_del_proveedor_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<qint32>("numero");
        QTest::newRow("columna que falta") << "SELECT Externa FROM cc" << codigo_error::ERROR_EN_COMANDO;
        QTest::newRow("columna que falta en WHERE")
            << "SELECT * FROM cc WHERE Tasa = '1'" << codigo_error::ERROR_EN_COMANDO;
        QTest::newRow("tabla que falta") << "SELECT * FROM emi" << codigo_error::TABLA_INEXISTENTE;
    }
    void errores_del_proveedor()
    {
        QFETCH(QString, sql);
        QFETCH(qint32, numero);
        QCOMPARE(codigo_error::ERROR_EN_COMANDO, qint32(0x80040E14));
        QCOMPARE(codigo_error::ERROR_EN_COMANDO, -2147217900);
        Conexion c = abierta();
        Recordset rs;
        ESPERAR_FALLO(rs.abrir(sql, c), numero);
        ESPERAR_FALLO(rs.abrir(sql, c, Cursor::Dinamico, Bloqueo::Optimista), numero);
    }

    void reparacion_de_cc()
    {
        Conexion c = abierta();
        Recordset rs;
        ESPERAR_FALLO(rs.abrir(QStringLiteral("SELECT Externa FROM cc"), c), codigo_error::ERROR_EN_COMANDO);
        c.ejecutar(QStringLiteral("ALTER TABLE cc ADD Externa BIT"));
        c.ejecutar(QStringLiteral("UPDATE cc SET Externa = 0"));
        rs.abrir(QStringLiteral("SELECT Externa FROM cc"), c);
        QVERIFY(!rs.eof());
        QCOMPARE(rs.campo(QStringLiteral("externa")).toInt(), 0);
        rs.cerrar();
        // The settings row written through a recordset sees the new column.
        rs.abrir(QStringLiteral("SELECT * FROM cc WHERE ccc = 'BIRO4'"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.asignar(QStringLiteral("Externa"), true);
        rs.asignar(QStringLiteral("ccdigitos"), QStringLiteral("8"));
        rs.guardar();
        rs.cerrar();
        QCOMPARE(Otro(catalogo_).texto(QStringLiteral("SELECT ccdigitos, Externa != 0 FROM cc")),
                 QStringLiteral("8.0|1"));
    }

    void cambio_de_otro_programa_es_conflicto()
    {
        Otro o(catalogo_);
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, 10.5, 'Cobro', '', 0)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja WHERE CajaTur <> '1'"), c, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        o.sql(QStringLiteral("UPDATE caja SET CajaImp = 99"));
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
        ESPERAR_FALLO(rs.guardar(), codigo_error::FILA_NO_LOCALIZADA);
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaImp, CajaTur FROM caja")), QStringLiteral("99.0|"));
    }

    void fila_sin_cambios_ajenos_se_escribe()
    {
        Otro o(catalogo_);
        // A double that ODBC hands back as 15 digits, and a Null: the row is
        // still found by its values.
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, ?, NULL, '', 1)"), {0.1 + 0.2});
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 2, 5, 'otro', '', 0)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja ORDER BY CajaOrd"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
        rs.guardar();
        // Written again: what was written is now the row as read.
        rs.asignar(QStringLiteral("CajaCon"), QStringLiteral("segunda vez"));
        rs.guardar();
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaOrd, CajaCon, CajaTur FROM caja ORDER BY CajaOrd")),
                 QStringLiteral("1|segunda vez|1/2|otro|"));
    }

    // A table with a key is written by its key and the original values of
    // the columns changed; one without, by every value but long texts.
    void guardar_busca_la_fila_data()
    {
        QTest::addColumn<QString>("tabla");
        QTest::addColumn<QStringList>("filas");
        QTest::addColumn<QString>("ajeno");  // another program, after the read
        QTest::addColumn<QString>("columna");
        QTest::addColumn<bool>("conflicto");
        QTest::addColumn<QString>("queda");
        const QStringList habs{"('101', 'doble', 50, 'x')", "('102', 'doble', 50, 'x')"};
        QTest::newRow("clave") << "hab" << habs << ""
                               << "HabTip" << false << "101|nuevo|50.0|x/102|doble|50.0|x";
        QTest::newRow("clave, otro cambia otra columna")
            << "hab" << habs << "UPDATE hab SET HabPre = 60, HabNot = 'y' WHERE HabCod = '101'"
            << "HabTip" << false << "101|nuevo|60.0|y/102|doble|50.0|x";
        QTest::newRow("clave, otro cambia la columna")
            << "hab" << habs << "UPDATE hab SET HabTip = 'triple' WHERE HabCod = '101'"
            << "HabTip" << true << "101|triple|50.0|x/102|doble|50.0|x";
        QTest::newRow("clave, otro borra la fila") << "hab" << habs << "DELETE FROM hab WHERE HabCod = '101'"
                                                   << "HabTip" << true << "102|doble|50.0|x";
        const QStringList notas{"('20240101', 5, 'a')", "('20240102', 5, 'a')"};
        QTest::newRow("sin clave, otro cambia el texto largo")
            << "nota" << notas << "UPDATE nota SET NotTxt = 'b' WHERE NotFec = '20240101'"
            << "NotImp" << false << "20240101|7.0|b/20240102|5.0|a";
        QTest::newRow("sin clave, otro cambia otra columna")
            << "nota" << notas << "UPDATE nota SET NotFec = '20240109' WHERE NotFec = '20240101'"
            << "NotImp" << true << "20240102|5.0|a/20240109|5.0|a";
        QTest::newRow("sin clave, iguales salvo el texto largo")
            << "nota" << QStringList{"('20240101', 5, 'a')", "('20240101', 5, 'b')"} << ""
            << "NotImp" << true << "20240101|5.0|a/20240101|5.0|b";
    }
    void guardar_busca_la_fila()
    {
        QFETCH(QString, tabla);
        QFETCH(QStringList, filas);
        QFETCH(QString, ajeno);
        QFETCH(QString, columna);
        QFETCH(bool, conflicto);
        QFETCH(QString, queda);
        Otro o(catalogo_);
        for (const QString& f : filas) o.sql("INSERT INTO " + tabla + " VALUES " + f);
        Conexion c = abierta();
        Recordset rs;
        rs.abrir("SELECT * FROM " + tabla + " ORDER BY 1", c, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        if (!ajeno.isEmpty()) o.sql(ajeno);
        rs.asignar(columna, columna == QLatin1String("NotImp") ? QVariant(7) : QVariant(QStringLiteral("nuevo")));
        if (conflicto)
            ESPERAR_FALLO(rs.guardar(), codigo_error::FILA_NO_LOCALIZADA);
        else
            rs.guardar();
        QCOMPARE(o.texto("SELECT * FROM " + tabla + " ORDER BY 1"), queda);
    }

    // Rows of one reading saved one after another, a Null in some: each is
    // found by its own values, with and without a key.
    void cada_fila_con_sus_nulos()
    {
        Otro o(catalogo_);
        for (const char* f : {"('20240101', 1, 5, NULL, '', 0)", "('20240101', 2, NULL, 'x', '', 0)",
                              "('20240101', 3, 5, NULL, NULL, 0)"})
            o.sql(QStringLiteral("INSERT INTO caja VALUES ") + QLatin1String(f));
        o.sql(QStringLiteral("INSERT INTO hab VALUES ('101', NULL, 50, 'x'), ('102', 'doble', NULL, 'x')"));
        Conexion c = abierta();
        for (const auto& [tabla, columna] : {std::pair{"caja", "CajaTur"}, std::pair{"hab", "HabTip"}}) {
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(QLatin1String(tabla)), c, Cursor::Dinamico,
                     Bloqueo::Optimista);
            for (; !rs.eof(); rs.siguiente()) {
                rs.asignar(QLatin1String(columna), QStringLiteral("1"));
                rs.guardar();
            }
        }
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaTur FROM caja ORDER BY CajaOrd")), QStringLiteral("1/1/1"));
        QCOMPARE(o.texto(QStringLiteral("SELECT HabTip FROM hab ORDER BY HabCod")), QStringLiteral("1/1"));
    }

    void filas_identicas_no_se_escriben_a_la_vez()
    {
        Otro o(catalogo_);
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, 5, 'x', '', 0)"));
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, 5, 'x', '', 0)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
        ESPERAR_FALLO(rs.guardar(), codigo_error::FILA_NO_LOCALIZADA);
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaTur FROM caja")), QStringLiteral("/"));
    }

    void apostrofes_y_nulos()
    {
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(QStringLiteral("CajaCon"), QStringLiteral("Cobro de O'Brien"));
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral(""));
        rs.asignar(QStringLiteral("CajaOrd"), 3);
        rs.guardar();
        rs.cerrar();
        rs.abrir(QStringLiteral("SELECT * FROM caja WHERE CajaCon = ?"), c, Cursor::Dinamico, Bloqueo::SoloLectura,
                 {QStringLiteral("Cobro de O'Brien")});
        QVERIFY(!rs.eof());
        QCOMPARE(rs.campo(QStringLiteral("cajaord")).toInt(), 3);
        QVERIFY(rs.campo(QStringLiteral("CajaTur")).isValid());
        QCOMPARE(rs.campo(QStringLiteral("CajaTur")).toString(), QString());
        QVERIFY(!rs.campo(QStringLiteral("CajaFec")).isValid());
        rs.cerrar();
        c.ejecutar(QStringLiteral("UPDATE caja SET CajaTur = '' WHERE CajaTur is null"));
        c.ejecutar(QStringLiteral("UPDATE caja SET CajaCon = ? WHERE CajaCon = ?"),
                   {QStringLiteral("D'Angelo"), QStringLiteral("Cobro de O'Brien")});
        QCOMPARE(Otro(catalogo_).texto(QStringLiteral("SELECT CajaCon, CajaTur, CajaFec FROM caja")),
                 QStringLiteral("D'Angelo||null"));
        // Null given for a number and a text, added and saved.
        rs.abrir(QStringLiteral("SELECT * FROM caja"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(QStringLiteral("CajaOrd"), 4);
        rs.asignar(QStringLiteral("CajaImp"), QVariant());
        rs.asignar(QStringLiteral("CajaCon"), QVariant());
        rs.guardar();
        rs.asignar(QStringLiteral("CajaTur"), QVariant());
        rs.guardar();
        QCOMPARE(Otro(catalogo_).texto(QStringLiteral("SELECT CajaImp, CajaCon, CajaTur FROM caja WHERE CajaOrd = 4")),
                 QStringLiteral("null|null|null"));
    }

    // The program reads past Qt's ODBC layer: every kind of column, Null,
    // empty and long text and every kind of parameter give what Qt gives.
    void lee_lo_que_lee_qt_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("parametros");
        const QString todo = QStringLiteral("SELECT * FROM tipos ORDER BY n");
        QTest::newRow("sin parámetros") << todo << QVariantList{};
        QTest::newRow("texto") << "SELECT * FROM tipos WHERE a = ?" << QVariantList{QStringLiteral("ñandú €")};
        QTest::newRow("texto vacío") << "SELECT * FROM tipos WHERE a = ?" << QVariantList{QString()};
        QTest::newRow("texto largo") << "SELECT n FROM tipos WHERE a = ?" << QVariantList{QString(300, 'x')};
        QTest::newRow("números") << "SELECT * FROM tipos WHERE c = ? OR d = ? OR j = ? OR k = ?"
                                 << QVariantList{0, 0.5, qlonglong(12345678901), uint(7)};
        QTest::newRow("lógico") << "SELECT n FROM tipos WHERE e = ?" << QVariantList{true};
        QTest::newRow("nulo") << "SELECT n FROM tipos WHERE a IS ? OR ? IS NULL"
                              << QVariantList{QVariant(), QVariant()};
        QTest::newRow("fecha, enlazada por Qt")
            << "SELECT * FROM tipos WHERE h = ? OR n = 3" << QVariantList{QDate(2026, 1, 2)};
    }
    void lee_lo_que_lee_qt()
    {
        QFETCH(QString, sql);
        QFETCH(QVariantList, parametros);
        Otro o(catalogo_);
        o.sql(QStringLiteral("CREATE TABLE tipos (n INTEGER, a TEXT, b NVARCHAR(10), c INTEGER, d REAL, e BIT, "
                             "g DATETIME, h DATE, i BLOB, j BIGINT, k TINYINT, l SMALLINT, m NUMERIC(10,2), "
                             "o TIME, p VARCHAR(5))"));
        o.sql(QStringLiteral("INSERT INTO tipos VALUES (1, '', '', 0, 0.5, 1, '2026-01-02 03:04:05.678', "
                             "'2026-01-02', x'00ff', 12345678901, 7, -3, 12.34, '10:11:12', 'ab')"));
        o.sql(QStringLiteral("INSERT INTO tipos (n) VALUES (2)"));
        o.sql(QStringLiteral("INSERT INTO tipos (n, a, b) VALUES (3, ?, ?)"),
              {QStringLiteral("ñandú €"), QStringLiteral("\U0001F600")});
        o.sql(QStringLiteral("INSERT INTO tipos (n, a) VALUES (4, ?)"), {QString(3000, QChar(0x00F1))});
        o.sql(QStringLiteral("INSERT INTO tipos (n, a) VALUES (5, ?)"), {QString(300, 'x')});

        Resultado leido = abierta().backend().abrir(sql, parametros, false)->leer();

        QStringList esperado, obtenido;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("qt"));
            db.setDatabaseName(cadena());
            QVERIFY(db.open());
            QSqlQuery q(db);
            q.setForwardOnly(true);
            q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
            QVERIFY(q.prepare(sql));
            for (int i = 0; i < parametros.size(); ++i) q.bindValue(i, valor_enlazado(parametros[i]));
            QVERIFY(q.exec());
            const QSqlRecord r = q.record();
            QStringList nombres;
            for (int i = 0; i < r.count(); ++i) nombres << r.fieldName(i);
            esperado << nombres.join('|');
            while (q.next()) {
                QVariantList fila;
                for (int i = 0; i < r.count(); ++i) fila << valor_leido(q.value(i));
                esperado << describir(fila);
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("qt"));
        QStringList nombres;
        for (const Columna& c : leido.columnas) nombres << c.nombre;
        obtenido << nombres.join('|');
        for (const QVariantList& fila : leido.filas) obtenido << describir(fila);
        QCOMPARE(obtenido, esperado);
        QVERIFY(esperado.size() > 1);
    }

    // BeginTrans over ODBC: undone or committed whole.
    void transaccion()
    {
        Otro o(catalogo_);
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, 5, 'a', '', 0)"));
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 2, 5, 'b', '', 0)"));
        Conexion c = abierta();
        auto marcar = [&](bool confirmar) {
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT * FROM caja ORDER BY CajaOrd"), c, Cursor::Dinamico, Bloqueo::Optimista);
            c.comenzar();
            QVERIFY(c.en_transaccion());
            ESPERAR_FALLO(c.comenzar(), codigo_error::FALLO_GENERAL);
            for (; !rs.eof(); rs.siguiente()) {
                rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
                rs.guardar();
            }
            if (confirmar)
                c.confirmar();
            else
                c.deshacer();
            QVERIFY(!c.en_transaccion());
        };
        marcar(false);
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaTur FROM caja")), QStringLiteral("/"));
        marcar(true);
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaTur FROM caja")), QStringLiteral("1/1"));
        ESPERAR_FALLO(c.confirmar(), codigo_error::FALLO_GENERAL);
        c.deshacer();  // none open: nothing to undo
    }

    // A row without a key that matches others too cannot be undone alone
    // inside a transaction: the whole transaction is.
    void filas_identicas_deshacen_la_transaccion()
    {
        Otro o(catalogo_);
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 1, 5, 'x', '', 0)"));
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 2, 5, 'x', '', 0)"));
        o.sql(QStringLiteral("INSERT INTO caja VALUES ('20240101', 2, 5, 'x', '', 0)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja ORDER BY CajaOrd"), c, Cursor::Dinamico, Bloqueo::Optimista);
        c.comenzar();
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
        rs.guardar();
        rs.siguiente();
        rs.asignar(QStringLiteral("CajaTur"), QStringLiteral("1"));
        ESPERAR_FALLO(rs.guardar(), codigo_error::FILA_NO_LOCALIZADA);
        QVERIFY(!c.en_transaccion());
        c.deshacer();
        QCOMPARE(o.texto(QStringLiteral("SELECT CajaTur FROM caja")), QStringLiteral("//"));
    }

    // Rows that differ only in the last column of their key go in one
    // statement (at most 256 of them): a day of 300 receipts, a day whose
    // receipts do not all have the same original value, a Null, a row listed
    // twice. Another program's change to one of them fails the write, and
    // the recordset stands on the first row of the write that failed.
    void varias_filas_juntas_data()
    {
        QTest::addColumn<QVector<qint64>>("posiciones");
        QTest::addColumn<QString>("ajeno");
        QTest::addColumn<QString>("marcadas");  // MovFec|MovOrd of the rows left with MovTur '1', or the row failed on
        QVector<qint64> todas(306);
        std::iota(todas.begin(), todas.end(), 0);
        QTest::newRow("todas") << todas << ""
                               << "306";
        QTest::newRow("algunas, una repetida") << QVector<qint64>{0, 2, 2, 299, 300, 302, 305} << ""
                                               << "20240101|1/20240101|3/20240101|300/20240102|1/20240102|3/20240103|1";
        QTest::newRow("otro cambia una") << QVector<qint64>{0, 1, 2, 3}
                                         << "UPDATE mov SET MovTur = 'x' WHERE MovFec = '20240101' AND MovOrd = 3"
                                         << "fallo 20240101|1";
        QTest::newRow("otro cambia una escrita sola")
            << QVector<qint64>{300, 301, 302, 303}
            << "UPDATE mov SET MovTur = 'x' WHERE MovFec = '20240102' AND MovOrd = 3"
            << "fallo 20240102|3";
        QTest::newRow("otro borra una") << QVector<qint64>{0, 1, 2}
                                        << "DELETE FROM mov WHERE MovFec = '20240101' AND MovOrd = 3"
                                        << "fallo 20240101|1";
    }
    void varias_filas_juntas()
    {
        QFETCH(QVector<qint64>, posiciones);
        QFETCH(QString, ajeno);
        QFETCH(QString, marcadas);
        Otro o(catalogo_);
        o.sql(QStringLiteral("CREATE TABLE mov (MovFec NVARCHAR(8), MovOrd INTEGER, MovTur NVARCHAR(1), MovImp FLOAT, "
                             "PRIMARY KEY (MovFec, MovOrd))"));
        o.sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                             "INSERT INTO mov SELECT '20240101', i, '', i FROM n"));
        o.sql(QStringLiteral("INSERT INTO mov VALUES ('20240102', 1, '', 1), ('20240102', 2, 'x', 2), "
                             "('20240102', 3, '', 3), ('20240102', 4, NULL, 4), ('20240102', 5, '', 5), "
                             "('20240103', 1, '', 1)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM mov ORDER BY MovFec, MovOrd"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.ir_a(303);
        if (!ajeno.isEmpty()) o.sql(ajeno);
        c.comenzar();
        const std::optional<Fallo> f = fallo_de([&] { rs.guardar_filas(posiciones, QStringLiteral("MovTur"), 1); });
        const QString fila = rs.campo(QStringLiteral("MovFec")).toString() + QLatin1Char('|') +
                             rs.campo(QStringLiteral("MovOrd")).toString();
        if (f) {
            QCOMPARE(f->numero(), qint32(codigo_error::FILA_NO_LOCALIZADA));
            c.deshacer();
            QCOMPARE(QStringLiteral("fallo ") + fila, marcadas);
            QCOMPARE(o.texto(QStringLiteral("SELECT count(*) FROM mov WHERE MovTur = '1'")), QStringLiteral("0"));
            return;
        }
        c.confirmar();
        QCOMPARE(fila, QStringLiteral("20240102|4"));  // where it stood
        const QString queda = o.texto(QStringLiteral("SELECT MovFec, MovOrd FROM mov WHERE MovTur = '1'"));
        if (marcadas.contains(QLatin1Char('|')))
            QCOMPARE(queda, marcadas);
        else
            QCOMPARE(o.texto(QStringLiteral("SELECT count(*) FROM mov WHERE MovTur = '1'")), marcadas);
        // What was written is now the rows as read: written again, nothing is in conflict.
        rs.guardar_filas(posiciones, QStringLiteral("MovTur"), QStringLiteral("1"));
        rs.ir_a(posiciones.last());
        QCOMPARE(rs.campo(QStringLiteral("MovTur")), QVariant(QStringLiteral("1")));
    }

    // A text parameter goes in the type and size its driver describes when
    // the text fits; otherwise, or undescribed, as a wide text of its length.
    void enlace_de_un_texto_data()
    {
        QTest::addColumn<int>("descrito");
        QTest::addColumn<int>("tamano");
        QTest::addColumn<int>("caracteres");
        QTest::addColumn<int>("tipo");
        QTest::addColumn<int>("columna");
        QTest::newRow("varchar que cabe") << SQL_VARCHAR << 8 << 8 << SQL_VARCHAR << 8;
        QTest::newRow("varchar vacío") << SQL_VARCHAR << 8 << 0 << SQL_VARCHAR << 8;
        QTest::newRow("char(1)") << SQL_CHAR << 1 << 1 << SQL_CHAR << 1;
        QTest::newRow("nvarchar") << SQL_WVARCHAR << 4000 << 10 << SQL_WVARCHAR << 4000;
        QTest::newRow("no cabe") << SQL_VARCHAR << 8 << 9 << SQL_WVARCHAR << 20;
        QTest::newRow("varchar(max)") << SQL_VARCHAR << 0 << 3 << SQL_WVARCHAR << 8;
        QTest::newRow("texto largo") << SQL_WLONGVARCHAR << 65536 << 3 << SQL_WVARCHAR << 8;
        QTest::newRow("sin describir, largo") << 0 << 0 << 200 << SQL_WLONGVARCHAR << 402;
    }
    void enlace_de_un_texto()
    {
        QFETCH(int, descrito);
        QFETCH(int, tamano);
        QFETCH(int, caracteres);
        QFETCH(int, tipo);
        QFETCH(int, columna);
        const EnlaceTexto e = enlace_de_texto(short(descrito), (unsigned long)tamano, caracteres);
        QCOMPARE(int(e.tipo_sql), tipo);
        QCOMPARE(int(e.tamano), columna);
    }

    void logico_se_lee_como_booleano()
    {
        Otro(catalogo_).sql(QStringLiteral("INSERT INTO caja (CajaOrd, Marca) VALUES (1, 1)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM caja"), c);
        QCOMPARE(rs.campo(QStringLiteral("Marca")), QVariant(true));
    }
};

QTEST_GUILESS_MAIN(TstOdbc)
#include "tst_odbc.moc"
