// Access files (SQLite behind the Jet connection strings) through Conexion
// and Recordset: the provider's error numbers, bound values, Null, val(),
// the lazy open and the writing back of one row.
#include "platform/sql/Conexion.h"
#include "platform/sql/Motores.h"
#include "platform/sql/Recordset.h"
#include "platform/sql/SqliteBackend.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

const QString JET = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ");

// Another program on the same file, through SQLite itself.
class Otro {
public:
    explicit Otro(const QString& archivo)
    {
        if (sqlite3_open_v2(archivo.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            qFatal("no se abre %s", qPrintable(archivo));
        sqlite3_busy_timeout(db_, 5000);
    }
    ~Otro() { sqlite3_close(db_); }

    void sql(const QString& s)
    {
        char* error = nullptr;
        if (sqlite3_exec(db_, s.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString e = QString::fromUtf8(error);
            sqlite3_free(error);
            qFatal("%s: %s", qPrintable(s), qPrintable(e));
        }
    }

    // Every row, each value with its storage class: "text:x", "integer:1",
    // "real:1.5", "null".
    QStringList filas(const QString& s)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, s.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(s), sqlite3_errmsg(db_));
        QStringList r;
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList fila;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL: fila << QStringLiteral("null"); break;
                case SQLITE_INTEGER: fila << QStringLiteral("integer:%1").arg(sqlite3_column_int64(st, i)); break;
                case SQLITE_FLOAT: fila << QStringLiteral("real:%1").arg(sqlite3_column_double(st, i)); break;
                default:
                    fila << QStringLiteral("text:") +
                                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                }
            }
            r << fila.join(QLatin1Char('|'));
        }
        sqlite3_finalize(st);
        return r;
    }

private:
    sqlite3* db_ = nullptr;
};

// Counts the rows SQLite steps through for statements that read table `t`.
struct Rastreo {
    int filas_de_t = 0;
    static int llamada(unsigned tipo, void* yo, void* p, void*)
    {
        if (tipo == SQLITE_TRACE_ROW) {
            const QString sql = QString::fromUtf8(sqlite3_sql(static_cast<sqlite3_stmt*>(p)));
            if (sql.contains(QLatin1String("FROM t"), Qt::CaseInsensitive)) ++static_cast<Rastreo*>(yo)->filas_de_t;
        }
        return 0;
    }
};

#define ESPERAR_FALLO(expresion, numero_esperado)                                                                      \
    do {                                                                                                               \
        try {                                                                                                          \
            expresion;                                                                                                 \
            QFAIL("no ha fallado: " #expresion);                                                                       \
        } catch (const Fallo& f_) {                                                                                    \
            if (f_.numero() != (numero_esperado)) qWarning() << f_.descripcion();                                      \
            QCOMPARE(f_.numero(), qint32(numero_esperado));                                                            \
        }                                                                                                              \
    } while (0)

}  // namespace

class TstConexion : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    Unidades unidades_{QString()};
    QString archivo_;  // local path of C:\quelmira\prueba.MDB

    Conexion abierta()
    {
        Conexion c;
        c.abrir(JET + QStringLiteral("C:\\QUELMIRA\\prueba.mdb"), unidades_);
        return c;
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        unidades_ = Unidades(dir_.path());
        QVERIFY(QDir().mkpath(dir_.path() + QStringLiteral("/C/quelmira")));
        archivo_ = dir_.path() + QStringLiteral("/C/quelmira/prueba.MDB");
        QFile::remove(archivo_);
        QFile::remove(archivo_ + QStringLiteral("-wal"));
        QFile::remove(archivo_ + QStringLiteral("-shm"));
        Otro o(archivo_);
        o.sql(
            QStringLiteral("CREATE TABLE t (cod TEXT, nombre VARCHAR(40), importe DOUBLE, activo BIT, orden INTEGER)"));
        o.sql(QStringLiteral("CREATE TABLE emi (EmiFec TEXT, EmiNum TEXT)"));
    }

    void archivo_inexistente_no_se_crea()
    {
        Conexion c;
        const QString falta = dir_.path() + QStringLiteral("/C/quelmira/formas.MDB");
        ESPERAR_FALLO(c.abrir(JET + QStringLiteral("C:\\quelmira\\formas.MDB"), unidades_),
                      codigo_error::FALLO_GENERAL);
        QCOMPARE(codigo_error::FALLO_GENERAL, qint32(0x80004005));
        QVERIFY(!QFile::exists(falta));
        QVERIFY(!c.abierta());
        // Nor through the engine directly.
        ESPERAR_FALLO(abrir_sqlite(falta), codigo_error::FALLO_GENERAL);
        QVERIFY(!QFile::exists(falta));
        // A folder on a drive that is not there.
        ESPERAR_FALLO(c.abrir(JET + QStringLiteral("Q:\\quelmira\\cc.MDB"), unidades_), codigo_error::FALLO_GENERAL);
        QVERIFY(!QDir(dir_.path() + QStringLiteral("/Q")).exists());
    }

    void archivo_que_no_es_base_de_datos()
    {
        QFile f(dir_.path() + QStringLiteral("/C/quelmira/roto.MDB"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        Conexion c;
        ESPERAR_FALLO(c.abrir(JET + QStringLiteral("C:\\quelmira\\roto.MDB"), unidades_), codigo_error::FALLO_GENERAL);
    }

    void conexion_cerrada()
    {
        Conexion c;
        Recordset rs;
        ESPERAR_FALLO(rs.abrir(QStringLiteral("SELECT * FROM t"), c), codigo_error::CONEXION_CERRADA);
        ESPERAR_FALLO(c.ejecutar(QStringLiteral("DELETE FROM t")), codigo_error::CONEXION_CERRADA);
        QVERIFY(!rs.abierto());
        ESPERAR_FALLO(rs.eof(), codigo_error::OBJETO_CERRADO);
        ESPERAR_FALLO(rs.campo(QStringLiteral("cod")), codigo_error::OBJETO_CERRADO);
        rs.cerrar();  // harmless when closed
    }

    void errores_del_proveedor_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("optimista");
        QTest::addColumn<qint32>("numero");
        QTest::newRow("columna que falta") << "SELECT ImporteTasa FROM t" << false << codigo_error::PARAMETRO_SIN_VALOR;
        QTest::newRow("columna que falta, optimista")
            << "SELECT nocol FROM t" << true << codigo_error::PARAMETRO_SIN_VALOR;
        QTest::newRow("columna que falta en WHERE")
            << "SELECT * FROM t WHERE nocol = 1" << true << codigo_error::PARAMETRO_SIN_VALOR;
        QTest::newRow("tabla que falta") << "SELECT * FROM Xdiario" << false << codigo_error::TABLA_INEXISTENTE;
        QTest::newRow("tabla que falta, optimista") << "SELECT * FROM nota" << true << codigo_error::TABLA_INEXISTENTE;
        QTest::newRow("sintaxis") << "SELEC * FROM t" << false << codigo_error::FALLO_GENERAL;
    }
    void errores_del_proveedor()
    {
        QFETCH(QString, sql);
        QFETCH(bool, optimista);
        QFETCH(qint32, numero);
        QCOMPARE(codigo_error::PARAMETRO_SIN_VALOR, qint32(0x80040E10));
        QCOMPARE(codigo_error::TABLA_INEXISTENTE, qint32(0x80040E37));
        Conexion c = abierta();
        Recordset rs;
        // Raised by the open itself, as Recordset.Open does.
        ESPERAR_FALLO(rs.abrir(sql, c, Cursor::Dinamico, optimista ? Bloqueo::Optimista : Bloqueo::SoloLectura),
                      numero);
        QVERIFY(!rs.abierto());
    }

    void errores_al_ejecutar()
    {
        Conexion c = abierta();
        ESPERAR_FALLO(c.ejecutar(QStringLiteral("UPDATE nota SET x = 1")), codigo_error::TABLA_INEXISTENTE);
        ESPERAR_FALLO(c.ejecutar(QStringLiteral("UPDATE t SET nocol = 1")), codigo_error::PARAMETRO_SIN_VALOR);
        try {
            c.ejecutar(QStringLiteral("UPDATE nota SET x = 1"));
        } catch (const Fallo& f) {
            // The engine's own text and the statement reach whoever reports it.
            QVERIFY(f.descripcion().contains(QLatin1String("no such table")));
            QVERIFY(f.descripcion().contains(QLatin1String("UPDATE nota SET x = 1")));
        }
    }

    void reparar_columna_que_falta()
    {
        Conexion c = abierta();
        Recordset rs;
        Recordset para_anadir;
        para_anadir.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        ESPERAR_FALLO(rs.abrir(QStringLiteral("SELECT ImporteTasa FROM t"), c), codigo_error::PARAMETRO_SIN_VALOR);
        c.ejecutar(QStringLiteral("ALTER TABLE t ADD COLUMN ImporteTasa double"));
        c.ejecutar(QStringLiteral("UPDATE T SET ImporteTasa = 0"));
        rs.abrir(QStringLiteral("SELECT ImporteTasa FROM t"), c);
        QVERIFY(rs.eof());
        // A recordset opened before the change adds rows with the new column.
        para_anadir.nuevo();
        para_anadir.asignar(QStringLiteral("importetasa"), 3.3);
        para_anadir.guardar();
        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT ImporteTasa FROM t")), QStringList{"real:3.3"});
    }

    void apostrofes_en_valores()
    {
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("O'Brien"));
        rs.asignar(QStringLiteral("nombre"), QStringLiteral("l'Hôtel \"Sol\"; DROP TABLE t; --"));
        rs.guardar();
        rs.cerrar();

        rs.abrir(QStringLiteral("SELECT * FROM t WHERE cod = ?"), c, Cursor::Dinamico, Bloqueo::SoloLectura,
                 {QStringLiteral("O'Brien")});
        QVERIFY(!rs.eof());
        QCOMPARE(rs.campo(QStringLiteral("NOMBRE")).toString(), QStringLiteral("l'Hôtel \"Sol\"; DROP TABLE t; --"));
        rs.cerrar();

        c.ejecutar(QStringLiteral("UPDATE t SET cod = ? WHERE cod = ?"),
                   {QStringLiteral("D'Angelo"), QStringLiteral("O'Brien")});
        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT cod FROM t")), QStringList{"text:D'Angelo"});
    }

    // The texts of one statement run again and again, short and long, ASCII
    // or not, in changing places, with other statements binding theirs in
    // between: each row gets its own.
    void textos_enlazados_de_una_sentencia()
    {
        const QStringList textos{QStringLiteral("a"),
                                 QString(300, QLatin1Char('x')),
                                 QStringLiteral("código"),
                                 QStringLiteral("una clave más larga que dieciséis"),
                                 QString(),
                                 QStringLiteral("b")};
        Conexion c = abierta();
        for (int i = 0; i < textos.size(); ++i)
            c.ejecutar(QStringLiteral("INSERT INTO t (cod, nombre, orden) VALUES (?, ?, ?)"),
                       {textos[i], textos[(i + 1) % textos.size()], i});
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t WHERE cod <> ? ORDER BY orden"), c, Cursor::Dinamico,
                 Bloqueo::SoloLectura, {QStringLiteral("zz")});
        for (int i = 0; i < textos.size(); ++i, rs.siguiente()) {
            Recordset otro;
            otro.abrir(QStringLiteral("SELECT * FROM t WHERE cod = ?"), c, Cursor::Dinamico, Bloqueo::SoloLectura,
                       {QStringLiteral("otra")});
            QVERIFY(otro.eof());
            QCOMPARE(rs.campo(QStringLiteral("cod")).toString(), textos[i].isNull() ? QStringLiteral("") : textos[i]);
            QCOMPARE(rs.campo(QStringLiteral("nombre")).toString(), textos[(i + 1) % textos.size()]);
        }
        QVERIFY(rs.eof());

        // A value bound again where the same one is left as it is, and not
        // after the places were cleared or held another kind of value.
        const QVector<QVariantList> filas = {{"r1", "n", 10}, {"r2", "n", 10}, {"r3", QString::fromUtf8("ñ"), 10.0},
                                             {"r4", "n", 10}, {"r5", "n"},     {"r6", "n", 10}};
        for (const QVariantList& f : filas)
            c.ejecutar(QStringLiteral("INSERT INTO t (cod, nombre, orden) VALUES (?, ?, ?)"), f);
        Recordset leidas;
        leidas.abrir(QStringLiteral("SELECT * FROM t WHERE cod LIKE 'r%' ORDER BY cod"), c, Cursor::Dinamico,
                     Bloqueo::SoloLectura);
        for (const QVariantList& f : filas) {
            QVERIFY(!leidas.eof());
            QCOMPARE(leidas.campo(QStringLiteral("nombre")).toString(), f[1].toString());
            const QVariant orden = leidas.campo(QStringLiteral("orden"));
            QCOMPARE(orden.isValid(), f.size() == 3);
            if (orden.isValid()) QCOMPARE(orden.toDouble(), 10.0);
            leidas.siguiente();
        }
    }

    void nulo_distinto_de_vacio()
    {
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("vacio"));
        rs.asignar(QStringLiteral("nombre"), QStringLiteral(""));
        rs.guardar();
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("nulo"));
        rs.asignar(QStringLiteral("nombre"), QVariant());
        rs.guardar();
        rs.nuevo();
        // A null QString is the empty text: only the invalid QVariant is Null.
        rs.asignar(QStringLiteral("cod"), QStringLiteral("qnulo"));
        rs.asignar(QStringLiteral("nombre"), QString());
        rs.guardar();
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("sin asignar"));
        rs.guardar();
        rs.cerrar();

        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT cod, nombre FROM t ORDER BY rowid")),
                 (QStringList{"text:vacio|text:", "text:nulo|null", "text:qnulo|text:", "text:sin asignar|null"}));

        rs.abrir(QStringLiteral("SELECT * FROM t ORDER BY rowid"), c);
        QCOMPARE(rs.recuento(), 4);
        const QVariant vacio = rs.campo(QStringLiteral("nombre"));
        QVERIFY(vacio.isValid());
        QCOMPARE(vacio.toString(), QString());
        rs.siguiente();
        QVERIFY(!rs.campo(QStringLiteral("nombre")).isValid());
        rs.siguiente();
        QVERIFY(rs.campo(QStringLiteral("nombre")).isValid());
        rs.siguiente();
        QVERIFY(!rs.campo(QStringLiteral("nombre")).isValid());
        rs.siguiente();
        QVERIFY(rs.eof());
        ESPERAR_FALLO(rs.campo(QStringLiteral("nombre")), codigo_error::SIN_FILA_ACTUAL);
        ESPERAR_FALLO(rs.siguiente(), codigo_error::SIN_FILA_ACTUAL);
        ESPERAR_FALLO(rs.campo(QStringLiteral("nocol")), codigo_error::ELEMENTO_NO_ENCONTRADO);

        // Bound Null and bound empty text select different rows.
        rs.abrir(QStringLiteral("SELECT cod FROM t WHERE nombre = ?"), c, Cursor::Dinamico, Bloqueo::SoloLectura,
                 {QStringLiteral("")});
        QCOMPARE(rs.recuento(), 2);
        rs.abrir(QStringLiteral("SELECT cod FROM t WHERE nombre IS NULL"), c);
        QCOMPARE(rs.recuento(), 2);
    }

    void val_ordena_numeros()
    {
        Otro o(archivo_);
        o.sql(QStringLiteral("INSERT INTO emi VALUES ('20240101','10'),('20240101','9'),('20240101','100'),"
                             "('20240101','2'),('20231231','50'),('20240101',NULL)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM emi WHERE EmiFec Between ? AND ? ORDER BY EmiFec, val(EmiNum)"), c,
                 Cursor::Dinamico, Bloqueo::Optimista, {QStringLiteral("20240101"), QStringLiteral("20241231")});
        QStringList orden;
        for (; !rs.eof(); rs.siguiente()) {
            const QVariant v = rs.campo(QStringLiteral("EmiNum"));
            orden << (v.isValid() ? v.toString() : QStringLiteral("Null"));
        }
        QCOMPARE(orden, (QStringList{"Null", "2", "9", "10", "100"}));
    }

    void anadir_no_lee_la_tabla()
    {
        {
            Otro o(archivo_);
            o.sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                                 "INSERT INTO t (cod, orden) SELECT 'c' || i, i FROM n"));
        }
        Conexion c = abierta();
        sqlite3* h = dynamic_cast<SqliteBackend&>(c.backend()).manejador();
        QVERIFY(h);
        Rastreo rastreo;
        sqlite3_trace_v2(h, SQLITE_TRACE_ROW, &Rastreo::llamada, &rastreo);

        for (int i = 0; i < 3; ++i) {
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
            rs.nuevo();
            rs.asignar(QStringLiteral("cod"), QStringLiteral("nuevo%1").arg(i));
            rs.asignar(QStringLiteral("orden"), 9000 + i);
            QCOMPARE(rs.campo(QStringLiteral("COD")).toString(), QStringLiteral("nuevo%1").arg(i));
            rs.guardar();
            // It stands on the row it added, still without reading.
            QCOMPARE(rs.campo(QStringLiteral("orden")).toDouble(), 9000.0 + i);
            QVERIFY(!rs.leido());
            rs.cerrar();
        }
        QCOMPARE(rastreo.filas_de_t, 0);

        // The tracing does see a read: the same open followed by eof() steps
        // through every row.
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        QVERIFY(rs.leido());
        QCOMPARE(rastreo.filas_de_t, 5003);
        sqlite3_trace_v2(h, 0, nullptr, nullptr);
    }

    // A selection opened to be written is read by pages: the first read
    // fixes its rows and order, each page is read as the table is then. In
    // the table's own order a page is read in one pass over its keys, in
    // any other row by row: both alike.
    void seleccion_leida_por_paginas_data()
    {
        QTest::addColumn<bool>("ascendente");
        QTest::newRow("en el orden de la tabla") << true;
        QTest::newRow("al revés") << false;
    }

    void seleccion_leida_por_paginas()
    {
        QFETCH(bool, ascendente);
        const qint64 paso = ascendente ? 1 : -1, primera = ascendente ? 1 : 700;
        // Rows of the second and third pages: the last of the second, and
        // one of the third.
        const qint64 ultima = ascendente ? 512 : 189, cambiada = ascendente ? 600 : 50;
        Otro o(archivo_);
        o.sql(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 700) "
                             "INSERT INTO t (cod, importe, orden) SELECT 'c' || i, i, i FROM n"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t WHERE orden > ? ORDER BY orden ") +
                     (ascendente ? QStringLiteral("ASC") : QStringLiteral("DESC")),
                 c, Cursor::Dinamico, Bloqueo::Optimista, {0});
        QCOMPARE(rs.campo(QStringLiteral("orden")).toLongLong(), primera);
        // Another program, after the first read: a row of a later page
        // deleted (two in a row, and the last of a page), one changed, one
        // added that the selection would take.
        o.sql(QStringLiteral("DELETE FROM t WHERE orden IN (400, 401, %1)").arg(ultima));
        o.sql(QStringLiteral("UPDATE t SET importe = -50 WHERE orden = %1").arg(cambiada));
        o.sql(QStringLiteral("INSERT INTO t (cod, orden) VALUES ('nueva', 900)"));
        QCOMPARE(rs.recuento(), 700);
        qint64 esperado = primera, vistas = 0, en_300 = -1;
        auto saltar = [&] {
            while (esperado == 400 || esperado == 401 || esperado == ultima) esperado += paso;
        };
        for (; !rs.eof(); rs.siguiente(), esperado += paso, ++vistas) {
            saltar();
            QCOMPARE(rs.campo(QStringLiteral("orden")).toLongLong(), esperado);
            QCOMPARE(rs.campo(QStringLiteral("importe")).toDouble(), esperado == cambiada ? -50.0 : double(esperado));
            rs.asignar(QStringLiteral("nombre"), QStringLiteral("n%1").arg(esperado));
            if (esperado == 300) en_300 = rs.posicion();
            if (esperado == (ascendente ? 650 : 20)) {
                // Back to a row of an earlier page, written there, and on.
                const qint64 aqui = rs.posicion();
                rs.ir_a(en_300);
                QCOMPARE(rs.campo(QStringLiteral("nombre")).toString(), QStringLiteral("n300"));
                rs.asignar(QStringLiteral("importe"), 3000);
                rs.ir_a(aqui);
                QCOMPARE(rs.campo(QStringLiteral("orden")).toLongLong(), esperado);
            }
        }
        QCOMPARE(vistas, 697);
        QCOMPARE(o.filas(QStringLiteral("SELECT count(*) FROM t WHERE nombre = 'n' || orden")),
                 QStringList{"integer:697"});
        QCOMPARE(o.filas(QStringLiteral("SELECT importe, nombre FROM t WHERE orden = 300")),
                 QStringList{"real:3000|text:n300"});
        // A row deleted after the first read, reached again, cannot be read.
        o.sql(QStringLiteral("DELETE FROM t WHERE orden = %1").arg(primera));
        rs.ir_a(0);
        ESPERAR_FALLO(rs.campo(QStringLiteral("orden")), codigo_error::FILA_NO_LOCALIZADA);
    }

    void guardar_escribe_solo_esa_fila()
    {
        Otro o(archivo_);
        // Two identical rows: only the one the recordset stands on changes.
        o.sql(QStringLiteral("INSERT INTO t VALUES ('a','gemelo',1.5,0,1),('a','gemelo',1.5,0,1),('b','otro',2,0,2)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t WHERE cod = 'a'"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.siguiente();
        // Another program changes another column of that row meanwhile.
        o.sql(QStringLiteral("UPDATE t SET importe = 7 WHERE rowid = 2"));
        rs.asignar(QStringLiteral("Nombre"), QStringLiteral("cambiado"));
        QCOMPARE(rs.campo(QStringLiteral("nombre")).toString(), QStringLiteral("cambiado"));
        rs.guardar();
        QCOMPARE(o.filas(QStringLiteral("SELECT nombre, importe FROM t ORDER BY rowid")),
                 (QStringList{"text:gemelo|real:1.5", "text:cambiado|real:7", "text:otro|real:2"}));
        // Saving with nothing changed writes nothing.
        o.sql(QStringLiteral("UPDATE t SET nombre = 'otra vez' WHERE rowid = 2"));
        rs.guardar();
        QCOMPARE(o.filas(QStringLiteral("SELECT nombre FROM t WHERE rowid = 2")), QStringList{"text:otra vez"});
    }

    void fila_borrada_mientras_tanto()
    {
        Otro o(archivo_);
        o.sql(QStringLiteral("INSERT INTO t (cod) VALUES ('a')"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        o.sql(QStringLiteral("DELETE FROM t"));
        rs.asignar(QStringLiteral("cod"), QStringLiteral("b"));
        ESPERAR_FALLO(rs.guardar(), codigo_error::FILA_NO_LOCALIZADA);
        QVERIFY(o.filas(QStringLiteral("SELECT * FROM t")).isEmpty());
    }

    void escribir_la_fila_recien_anadida()
    {
        Otro o(archivo_);
        o.sql(QStringLiteral("INSERT INTO t (cod) VALUES ('x')"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t WHERE cod = ?"), c, Cursor::Dinamico, Bloqueo::Optimista,
                 {QStringLiteral("y")});
        QVERIFY(rs.eof());
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("y"));
        rs.guardar();
        QVERIFY(!rs.eof());
        rs.asignar(QStringLiteral("nombre"), QStringLiteral("después"));
        rs.guardar();
        QCOMPARE(o.filas(QStringLiteral("SELECT cod, nombre FROM t ORDER BY rowid")),
                 (QStringList{"text:x|null", "text:y|text:después"}));
        rs.siguiente();
        QVERIFY(rs.eof());
    }

    // A row's INSERT is kept per table and set of assigned columns, its
    // UPDATE per table and set of changed columns: each step is "<tabla>+"
    // (a new row) or "<tabla>*" (the row just written again) with
    // "columna:valor" pairs; u has the same columns as t.
    void filas_con_otras_columnas_data()
    {
        QTest::addColumn<QStringList>("pasos");
        QTest::addColumn<QStringList>("en_t");
        QTest::addColumn<QStringList>("en_u");
        QTest::newRow("altas alternadas")
            << QStringList{"t+ cod:a", "t+ cod:b importe:2", "t+ importe:3", "t+ cod:d", "t+", "t+ orden:6 cod:f"}
            << QStringList{"text:a|null|null", "text:b|real:2|null", "null|real:3|null",
                           "text:d|null|null", "null|null|null",     "text:f|null|integer:6"}
            << QStringList{};
        QTest::newRow("dos tablas") << QStringList{"t+ cod:a", "u+ cod:b", "u+ importe:1", "t+ importe:2"}
                                    << QStringList{"text:a|null|null", "null|real:2|null"}
                                    << QStringList{"text:b|null|null", "null|real:1|null"};
        QTest::newRow("cambios alternados")
            << QStringList{"t+ cod:a",     "t* importe:1", "t* cod:b",    "t* orden:3 importe:4",
                           "t* importe:5", "u+ cod:c",     "u* importe:6"}
            << QStringList{"text:b|real:5|integer:3"} << QStringList{"text:c|real:6|null"};
    }
    void filas_con_otras_columnas()
    {
        QFETCH(QStringList, pasos);
        QFETCH(QStringList, en_t);
        QFETCH(QStringList, en_u);
        Otro o(archivo_);
        o.sql(QStringLiteral("CREATE TABLE u AS SELECT * FROM t"));
        Conexion c = abierta();
        QMap<QString, std::shared_ptr<Recordset>> abiertos;
        for (const QString& paso : pasos) {
            const QString tabla = paso.left(1);
            auto& rs = abiertos[tabla];
            if (!rs) {
                rs = std::make_shared<Recordset>();
                rs->abrir(QStringLiteral("SELECT * FROM ") + tabla, c, Cursor::Dinamico, Bloqueo::Optimista);
            }
            if (paso.at(1) == QLatin1Char('+')) rs->nuevo();
            for (const QString& par : paso.mid(2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                rs->asignar(par.section(QLatin1Char(':'), 0, 0), par.section(QLatin1Char(':'), 1));
            rs->guardar();
        }
        QCOMPARE(o.filas(QStringLiteral("SELECT cod, importe, orden FROM t ORDER BY rowid")), en_t);
        QCOMPARE(o.filas(QStringLiteral("SELECT cod, importe, orden FROM u ORDER BY rowid")), en_u);
    }

    // A text that repeats the row before is that row's text again; one that
    // differs, by a letter or only in its bytes, is its own.
    void textos_de_filas_seguidas()
    {
        const QStringList textos{"a", "a", "b", "é", "e", "", "", "ab", "añ", "añ", "aña", "ñ", "n"};
        Otro o(archivo_);
        for (const QString& t : textos) o.sql(QStringLiteral("INSERT INTO t (cod) VALUES ('%1')").arg(t));
        o.sql(QStringLiteral("INSERT INTO t (cod) VALUES (NULL)"));
        Conexion c = abierta();
        for (const Bloqueo bloqueo : {Bloqueo::SoloLectura, Bloqueo::Optimista}) {
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, bloqueo);
            QStringList leidos;
            for (; !rs.eof(); rs.siguiente()) {
                const QVariant v = rs.campo(QStringLiteral("cod"));
                leidos << (v.isValid() ? v.toString() : QStringLiteral("Null"));
            }
            QCOMPARE(leidos, textos + QStringList{"Null"});
        }
    }

    // What is worked out from a statement goes with it when the schema
    // changes: the same text opened again has the new column, typed.
    void columnas_tras_cambiar_el_esquema_data()
    {
        QTest::addColumn<bool>("actualizable");
        QTest::newRow("leída entera") << false;
        QTest::newRow("leída por páginas") << true;
    }
    void columnas_tras_cambiar_el_esquema()
    {
        QFETCH(bool, actualizable);
        const Bloqueo bloqueo = actualizable ? Bloqueo::Optimista : Bloqueo::SoloLectura;
        Otro o(archivo_);
        o.sql(QStringLiteral("INSERT INTO t (cod) VALUES ('a')"));
        Conexion c = abierta();
        const QString sql = QStringLiteral("SELECT * FROM t");
        Recordset rs;
        rs.abrir(sql, c, Cursor::Dinamico, bloqueo);
        ESPERAR_FALLO(rs.campo(QStringLiteral("extra")), codigo_error::ELEMENTO_NO_ENCONTRADO);
        rs.cerrar();
        c.ejecutar(QStringLiteral("ALTER TABLE t ADD COLUMN extra TEXT"));
        c.ejecutar(QStringLiteral("UPDATE t SET extra = 'x'"));
        rs.abrir(sql, c, Cursor::Dinamico, bloqueo);
        QCOMPARE(rs.campo(QStringLiteral("extra")).toString(), QStringLiteral("x"));
        if (!actualizable) return;
        // A number assigned to a text column is written as the text Access
        // gives it, which only the column's type decides.
        rs.asignar(QStringLiteral("extra"), 7.0);
        rs.guardar();
        QCOMPARE(o.filas(QStringLiteral("SELECT extra FROM t")), QStringList{"text:7"});
    }

    void conversion_al_asignar_data()
    {
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("guardado");
        QTest::newRow("texto de número entero") << "cod" << QVariant(430000123.0) << "text:430000123";
        QTest::newRow("texto de cero") << "cod" << QVariant(0.0) << "text:0";
        QTest::newRow("texto de entero") << "cod" << QVariant(7) << "text:7";
        QTest::newRow("texto de decimal") << "cod" << QVariant(150.5) << "text:150,5";
        QTest::newRow("número de texto con coma") << "importe" << QVariant(QStringLiteral("12,5")) << "real:12.5";
        QTest::newRow("número de texto con punto") << "importe" << QVariant(QStringLiteral("9")) << "real:9";
        QTest::newRow("número de lógico") << "importe" << QVariant(true) << "real:-1";
        QTest::newRow("lógico de número") << "activo" << QVariant(2.0) << "integer:1";
        QTest::newRow("lógico de texto") << "activo" << QVariant(QStringLiteral("False")) << "integer:0";
        QTest::newRow("Null") << "importe" << QVariant() << "null";
    }
    void conversion_al_asignar()
    {
        QFETCH(QString, columna);
        QFETCH(QVariant, valor);
        QFETCH(QString, guardado);
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(columna, valor);
        rs.guardar();
        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT %1 FROM t").arg(columna)), QStringList{guardado});
    }

    void tipos_que_no_coinciden()
    {
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        ESPERAR_FALLO(rs.asignar(QStringLiteral("importe"), QStringLiteral("abc")), codigo_error::TIPOS_NO_COINCIDEN);
        ESPERAR_FALLO(rs.asignar(QStringLiteral("importe"), QStringLiteral("")), codigo_error::TIPOS_NO_COINCIDEN);
        ESPERAR_FALLO(rs.asignar(QStringLiteral("nocol"), 1), codigo_error::ELEMENTO_NO_ENCONTRADO);
    }

    void logico_se_lee_como_booleano()
    {
        Otro(archivo_).sql(QStringLiteral("INSERT INTO t (cod, activo) VALUES ('a', -1), ('b', 0)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c);
        QCOMPARE(rs.campo(QStringLiteral("activo")), QVariant(true));
        rs.siguiente();
        QCOMPARE(rs.campo(QStringLiteral("activo")), QVariant(false));
    }

    void solo_lectura_y_consultas_que_no_son_de_una_tabla()
    {
        Otro(archivo_).sql(QStringLiteral("INSERT INTO t (cod, importe) VALUES ('a', 1), ('a', 2.5)"));
        Conexion c = abierta();
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), c);
        ESPERAR_FALLO(rs.asignar(QStringLiteral("cod"), QStringLiteral("x")), -2146825037);
        ESPERAR_FALLO(rs.nuevo(), -2146825037);
        rs.abrir(QStringLiteral("SELECT Sum(importe) AS Suma, cod FROM t GROUP BY cod"), c, Cursor::Dinamico,
                 Bloqueo::Optimista);
        QCOMPARE(rs.campo(QStringLiteral("suma")).toDouble(), 3.5);
        ESPERAR_FALLO(rs.nuevo(), -2146825037);
        ESPERAR_FALLO(rs.asignar(QStringLiteral("cod"), QStringLiteral("x")), -2146825037);
        rs.abrir(QStringLiteral("SELECT MAX(orden) as ultimo FROM t"), c, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        QVERIFY(!rs.campo(QStringLiteral("ultimo")).isValid());
    }

    void copias_de_la_conexion_comparten()
    {
        Conexion c = abierta();
        Conexion copia = c;
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT * FROM t"), copia, Cursor::Dinamico, Bloqueo::Optimista);
        c.cerrar();
        QVERIFY(!c.abierta());
        QVERIFY(copia.abierta());
        rs.nuevo();
        rs.asignar(QStringLiteral("cod"), QStringLiteral("z"));
        rs.guardar();
        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT cod FROM t")), QStringList{"text:z"});
        ESPERAR_FALLO(c.dbase().registros(QStringLiteral("t")), codigo_error::CONEXION_CERRADA);
        ESPERAR_FALLO(copia.dbase().registros(QStringLiteral("t")), codigo_error::FALLO_GENERAL);
    }

    void cadenas_de_conexion()
    {
        Conexion c;
        ESPERAR_FALLO(c.abrir(QStringLiteral("Provider=Desconocido;Data Source=x"), unidades_),
                      codigo_error::FALLO_GENERAL);
        // Keys without regard to case, blanks around the file name.
        c.abrir(QStringLiteral("provider=Microsoft.Jet.OLEDB.4.0; data source =  c:/Quelmira/PRUEBA.mdb  "), unidades_);
        QVERIFY(c.abierta());
        c.ejecutar(QStringLiteral("INSERT INTO t (cod) VALUES (?)"), {QStringLiteral("k")});
        QCOMPARE(Otro(archivo_).filas(QStringLiteral("SELECT cod FROM t")), QStringList{"text:k"});
    }
};

QTEST_GUILESS_MAIN(TstConexion)
#include "tst_conexion.moc"
