// SQL Server mode on a real database server: a private MariaDB reached
// through MariaDB's ODBC driver registered as "SQL Native Client", a driver
// that takes every length literally. A demo month posted through it leaves
// the journal, subaccounts, working rows and marks that the same month
// leaves through the SQLite driver.
#include "demo/EsquemaHotel.h"
#include "tests/support/Convergencia.h"
#include "tests/support/Odbc.h"
#include "tests/support/ServidorSql.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

const QString DESDE = QStringLiteral("01112026");
const QString HASTA = QStringLiteral("30112026");

const QString MARCAS_CAJA = QStringLiteral("SELECT CajaFec, CajaOrd, CajaTur FROM caja ORDER BY CajaFec, CajaOrd");
const QString MARCAS_EMI = QStringLiteral("SELECT EmiAno, EmiNum, EmiCie FROM emi ORDER BY EmiAno, EmiNum");

// The rows of the SQLite catalogue as the server's client prints them.
QStringList filas_catalogo(const QString& archivo, const QString& consulta, const QStringList& columnas)
{
    ArchivoSqlite c(archivo, false);
    QStringList r;
    for (const QVariantMap& f : c.consultar(consulta)) {
        QStringList v;
        for (const QString& col : columnas) {
            const QVariant x = f.value(col);
            v << (x.isNull() ? QStringLiteral("NULL") : x.toString());
        }
        r << v.join('|');
    }
    return r;
}

}  // namespace

class TstServidor : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::optional<ServidorSql> servidor_;
    QString plantilla_;
    int copias_ = 0;

    // A copy of the SQL-mode demo whose con row names a new database of the
    // server holding its catalogue.
    QString copia_en_servidor(QString* base)
    {
        const QString raiz = dir_.filePath(QStringLiteral("servidor%1").arg(++copias_));
        copiar_arbol(plantilla_, raiz);
        *base = servidor_->crear_base();
        servidor_->cargar_catalogo(QDir(raiz).filePath(QStringLiteral("HOTEL.db")), *base);
        ArchivoSqlite(Unidades(raiz).local(QStringLiteral("C:\\quelmira\\VTRHSYS.MDB")), false)
            .ejecutar(QStringLiteral("UPDATE con SET ConServer = '127.0.0.1', catalogo = ?"), {*base});
        // Nothing of the run may come from the SQLite file left beside it.
        if (!QFile::rename(QDir(raiz).filePath(QStringLiteral("HOTEL.db")),
                           QDir(raiz).filePath(QStringLiteral("HOTEL.db.antes"))))
            qFatal("no se aparta HOTEL.db");
        return raiz;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        servidor_.emplace();
        registrar_sql_native_client();
        plantilla_ = dir_.filePath(QStringLiteral("demo"));
        crear_demo(plantilla_, {});
        a_modo_sql(plantilla_);
    }

    // The same month through both drivers: the same files byte for byte
    // (the header's date aside), the same working rows and marks.
    void mismo_traspaso_que_por_sqlite()
    {
        const QString local = dir_.filePath(QStringLiteral("sqlite"));
        copiar_arbol(plantilla_, local);
        a_modo_sql(local);  // its con row names its own catalogue
        const Ejecucion el = traspasar(local, DESDE, HASTA);
        QVERIFY2(el.estado == 0, qPrintable(el.salida));
        const EstadoFinal esperado = leer_resultado(local);
        const QString catalogo = QDir(local).filePath(QStringLiteral("HOTEL.db"));

        QString base;
        const QString raiz = copia_en_servidor(&base);
        const Ejecucion es = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(es.estado == 0, qPrintable(es.salida));
        // The messages but for the log's name; the report's path last.
        static const QRegularExpression nombre(QStringLiteral("tc_[0-9_]+\\.log"));
        auto mensajes = [](const Ejecucion& e) {
            return e.salida.section(QStringLiteral("Informe del traspaso"), 0, 0).replace(nombre, "tc_.log");
        };
        QCOMPARE(mensajes(es), mensajes(el));
        QFile::rename(QDir(raiz).filePath(QStringLiteral("HOTEL.db.antes")),
                      QDir(raiz).filePath(QStringLiteral("HOTEL.db")));
        EstadoFinal obtenido = leer_resultado(raiz);
        obtenido.marcas = esperado.marcas;  // read below, from the server
        QVERIFY(!esperado.diario.isEmpty());
        QCOMPARE(obtenido.bytes_diario, esperado.bytes_diario);
        QCOMPARE(obtenido.bytes_subcuentas, esperado.bytes_subcuentas);
        const QStringList d = diferencias(esperado, obtenido);
        QVERIFY2(d.isEmpty(), qPrintable(d.mid(0, 10).join('\n')));
        QCOMPARE(servidor_->filas(base, MARCAS_CAJA),
                 filas_catalogo(catalogo, MARCAS_CAJA, {"CajaFec", "CajaOrd", "CajaTur"}));
        QCOMPARE(servidor_->filas(base, MARCAS_EMI),
                 filas_catalogo(catalogo, MARCAS_EMI, {"EmiAno", "EmiNum", "EmiCie"}));

        // Run again: nothing left to post, nothing written.
        const Ejecucion otra = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(otra.estado == 0, qPrintable(otra.salida));
        QCOMPARE(leer_resultado(raiz).bytes_diario, esperado.bytes_diario);
    }

    // An older settings table without Tasa: the server answers the probe
    // with its own SQLSTATE for a missing column, and the column is added.
    void ajustes_antiguos_en_el_servidor()
    {
        QString base;
        const QString raiz = copia_en_servidor(&base);
        servidor_->sql(base, QStringLiteral("ALTER TABLE cc DROP COLUMN Tasa"));
        const Ejecucion e = traspasar(raiz, DESDE, HASTA, servidor_->entorno());
        QVERIFY2(e.estado == 0, qPrintable(e.salida));
        QCOMPARE(servidor_->filas(base, QStringLiteral("SELECT Tasa FROM cc")), QStringList{"475300000"});
    }

    void cleanupTestCase() { servidor_.reset(); }
};

QTEST_GUILESS_MAIN(TstServidor)
#include "tst_servidor.moc"
