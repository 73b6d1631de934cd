// The ContaPlus working files of a transfer window: where Xdiario and XSubCta
// are made and when, what the clerk is told when they cannot be, the company
// folder, the last entry number, the company's subaccounts and the upgrade
// of fac.
#include "tests/support/Dbf.h"
#include "tests/support/Entorno.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <functional>

namespace {

// An installation, the program started on it with `ajustes` in its cc row
// (and whatever `antes` does to the databases first), and one transfer
// window, not yet activated.
struct Ficheros : Entorno {
    explicit Ficheros(const QVariantMap& ajustes = {}, const std::function<void(Instalacion&)>& antes = {})
        : Entorno({.ajustes = ajustes, .antes = antes})
    {
    }

    QString ruta(const QString& windows) const { return inst.local(windows); }
    qsizetype filas_dbf(const QString& windows) const { return leer_dbf(ruta(windows)).filas.size(); }
};

const QString CONTAELI = QStringLiteral("C:\\ContaEli");
const QString ERROR_COPIA = QStringLiteral("Ha Ocurrido un error al copiar los ficheros a la carpeta ");

void anadir_apunte(Traspaso& t, double asien)
{
    Recordset rs;
    rs.abrir("SELECT * FROM Xdiario", t.contaplus.conexion_diario, Cursor::Dinamico, Bloqueo::Optimista);
    rs.nuevo();
    rs.asignar("Asien", asien);
    rs.asignar("subcta", "430000000");
    rs.guardar();
}

void anadir_subcuenta(Traspaso& t, const QString& cod)
{
    Recordset rs;
    rs.abrir("SELECT * FROM XSubCta", t.contaplus.conexion_subcuentas, Cursor::Dinamico, Bloqueo::Optimista);
    rs.nuevo();
    rs.asignar("COD", cod);
    rs.asignar("TITULO", "PRUEBA");
    rs.guardar();
}

void copiar_carpeta(const QString& origen, const QString& destino)
{
    QVERIFY(QDir().mkpath(destino));
    for (const QString& f : QDir(origen).entryList(QDir::Files))
        QVERIFY(QFile::copy(origen + "/" + f, destino + "/" + f));
}

}  // namespace

class TstFicheros : public QObject {
    Q_OBJECT

private slots:
    void externa_empieza_cada_vez_de_vacio();
    void interna_copia_una_vez_y_conserva();
    void plantilla_ausente_data();
    void plantilla_ausente();
    void carpeta_tmp_ausente();
    void carpeta_empresa_ausente();
    void codigo_empresa_data();
    void codigo_empresa();
    void ultimo_asiento_data();
    void ultimo_asiento();
    void existe_cuenta_solo_en_la_empresa();
    void fac_sin_importe_tasa();
    void cuenta_ventas_defecto_data();
    void cuenta_ventas_defecto();
};

void TstFicheros::externa_empieza_cada_vez_de_vacio()
{
    Ficheros e({{"Externa", 1}});
    QVERIFY(e.t.activar());
    QVERIFY(e.clerk.mensajes.isEmpty());
    QCOMPARE(e.t.codigo_empresa, QString());
    QVERIFY(!e.t.contaplus.conexion_empresa.abierta());

    anadir_apunte(e.t, 1);
    anadir_subcuenta(e.t, "430000001");
    QCOMPARE(e.filas_dbf(CONTAELI + "\\Xdiario.dbf"), 1);
    QCOMPARE(e.filas_dbf(CONTAELI + "\\XSubCta.dbf"), 1);
    QCOMPARE(e.t.contaplus.ultimo_asiento(), 1);

    // The next activation replaces both files with empty copies.
    QVERIFY(e.t.activar());
    QCOMPARE(e.filas_dbf(CONTAELI + "\\Xdiario.dbf"), 0);
    QCOMPARE(e.filas_dbf(CONTAELI + "\\XSubCta.dbf"), 0);
    QCOMPARE(e.t.contaplus.ultimo_asiento(), 0);
    // The TMP folder is not touched in this mode.
    QVERIFY(!QFile::exists(e.ruta(CONTAELI + "\\TMP\\Xdiario.dbf")));
    QVERIFY(e.clerk.mensajes.isEmpty());
    QCOMPARE(e.vista.cierres, 0);
}

void TstFicheros::interna_copia_una_vez_y_conserva()
{
    Ficheros e;
    QVERIFY(!QFile::exists(e.ruta(CONTAELI + "\\TMP\\Xdiario.dbf")));
    QVERIFY(e.t.activar());
    QVERIFY2(e.clerk.mensajes.isEmpty(), qPrintable(e.clerk.textos().join("\n")));
    QCOMPARE(e.t.codigo_empresa, QString("0001"));
    QVERIFY(QFile::exists(e.ruta(CONTAELI + "\\TMP\\Xdiario.dbf")));
    QVERIFY(QFile::exists(e.ruta(CONTAELI + "\\TMP\\XSubCta.dbf")));
    QVERIFY(!QFile::exists(e.ruta(CONTAELI + "\\Xdiario.dbf")));

    anadir_apunte(e.t, 1);
    anadir_apunte(e.t, 2);
    anadir_subcuenta(e.t, "430000001");

    // Later activations, in this window or another, keep what is there.
    QVERIFY(e.t.activar());
    QCOMPARE(e.filas_dbf(CONTAELI + "\\TMP\\Xdiario.dbf"), 2);
    QCOMPARE(e.filas_dbf(CONTAELI + "\\TMP\\XSubCta.dbf"), 1);
    Traspaso otra(e.m, e.vista);
    QVERIFY(otra.activar());
    QCOMPARE(otra.contaplus.ultimo_asiento(), 2);
    QCOMPARE(e.filas_dbf(CONTAELI + "\\TMP\\XSubCta.dbf"), 1);
    QVERIFY(e.clerk.mensajes.isEmpty());
}

void TstFicheros::plantilla_ausente_data()
{
    QTest::addColumn<bool>("externa");
    QTest::addColumn<QString>("plantilla");
    QTest::addColumn<QString>("carpeta");
    QTest::addColumn<bool>("activada");

    // With externa on the window closes; with it off the window stays open.
    QTest::newRow("externa sin diario") << true << "diario.dbf" << CONTAELI << false;
    QTest::newRow("externa sin subcuent") << true << "subcuent.dbf" << CONTAELI << false;
    QTest::newRow("tmp nuevo sin diario") << false << "diario.dbf" << CONTAELI + "\\TMP" << true;
    QTest::newRow("tmp nuevo sin subcuent") << false << "subcuent.dbf" << CONTAELI + "\\TMP" << true;
}

void TstFicheros::plantilla_ausente()
{
    QFETCH(bool, externa);
    QFETCH(QString, plantilla);
    QFETCH(QString, carpeta);
    QFETCH(bool, activada);

    Ficheros e({{"Externa", externa ? 1 : 0}});
    QVERIFY(QFile::remove(e.ruta("c:\\quelmira\\sp1\\" + plantilla)));
    QCOMPARE(e.t.activar(), activada);
    QCOMPARE(e.clerk.mensajes.size(), 1);
    QCOMPARE(e.clerk.mensajes[0].texto, ERROR_COPIA + carpeta);
    QCOMPARE(e.clerk.mensajes[0].titulo, TITULO_APLICACION);
    QCOMPARE(e.clerk.mensajes[0].icono, Icono::Ninguno);
    QCOMPARE(e.clerk.mensajes[0].botones, Botones::Aceptar);
    QCOMPARE(e.vista.cierres, activada ? 0 : 1);
}

void TstFicheros::carpeta_tmp_ausente()
{
    Ficheros e;
    QVERIFY(QDir(e.ruta(CONTAELI + "\\TMP")).removeRecursively());
    QVERIFY(e.t.activar());
    // Told once; the recovery is not tried again and nothing is created.
    QCOMPARE(e.clerk.textos(), QStringList{TITULO_APLICACION + ": " + ERROR_COPIA + CONTAELI + "\\TMP"});
    QVERIFY(!QFileInfo::exists(e.ruta(CONTAELI + "\\TMP")));
    QCOMPARE(e.vista.cierres, 0);

    // The same when ContaPlus's folder does not exist at all.
    e.clerk.mensajes.clear();
    e.m.ruta_contaplus = "C:\\NoExiste";
    QVERIFY(e.t.activar());
    QCOMPARE(e.clerk.textos(), QStringList{TITULO_APLICACION + ": " + ERROR_COPIA + "C:\\NoExiste\\TMP"});
}

void TstFicheros::carpeta_empresa_ausente()
{
    Ficheros e({{"ccEmp", "7"}});
    QVERIFY(e.t.activar());
    QCOMPARE(e.clerk.mensajes.size(), 1);
    const QString texto = e.clerk.mensajes[0].texto;
    const QString esperado = "No se pudo abrir la carpeta de ContaPlus " + CONTAELI + "\\EMP0007: ";
    QVERIFY2(texto.startsWith(esperado) && texto.size() > esperado.size(), qPrintable(texto));
    QCOMPARE(e.vista.cierres, 0);
}

void TstFicheros::codigo_empresa_data()
{
    QTest::addColumn<QString>("empresa");
    QTest::addColumn<QString>("codigo");

    QTest::newRow("1") << "1"
                       << "0001";
    QTest::newRow("0123") << "0123"
                          << "0123";
    QTest::newRow("12345") << "12345"
                           << "12345";
    QTest::newRow("A1") << "A1"
                        << "A1";
}

void TstFicheros::codigo_empresa()
{
    QFETCH(QString, empresa);
    QFETCH(QString, codigo);

    Ficheros e({{"ccEmp", empresa}});
    // A company folder of its own holding a code no other folder has, so
    // existe_cuenta proves which folder was opened.
    const QString cod = "43" + codigo.rightJustified(7, '0');
    e.inst.subcuenta_empresa(cod);
    if (codigo != "0001") {
        copiar_carpeta(e.ruta(CONTAELI + "\\EMP0001"), e.ruta(CONTAELI + "\\EMP" + codigo));
        QDir(e.ruta(CONTAELI + "\\EMP0001")).removeRecursively();
    }
    QVERIFY(e.t.activar());
    QVERIFY2(e.clerk.mensajes.isEmpty(), qPrintable(e.clerk.textos().join("\n")));
    QCOMPARE(e.t.codigo_empresa, codigo);
    QVERIFY(e.t.contaplus.existe_cuenta(cod));
}

void TstFicheros::ultimo_asiento_data()
{
    QTest::addColumn<QList<double>>("asientos");
    QTest::addColumn<qint32>("ultimo");

    QTest::newRow("vacio") << QList<double>{} << 0;
    QTest::newRow("desordenados") << QList<double>{1, 7, 3} << 7;
    QTest::newRow("mas de 32767") << QList<double>{40000, 12} << 40000;
}

void TstFicheros::ultimo_asiento()
{
    QFETCH(QList<double>, asientos);
    QFETCH(qint32, ultimo);

    Ficheros e;
    QVERIFY(e.t.activar());
    for (double a : asientos) anadir_apunte(e.t, a);
    QCOMPARE(e.t.contaplus.ultimo_asiento(), ultimo);
    QVERIFY(!e.t.contaplus.rs_diario.abierto());
}

void TstFicheros::existe_cuenta_solo_en_la_empresa()
{
    Ficheros e;
    e.inst.subcuenta_empresa("430000001", "CLIENTE UNO");
    QVERIFY(e.t.activar());
    anadir_subcuenta(e.t, "430000002");

    QVERIFY(e.t.contaplus.existe_cuenta("430000001"));
    QVERIFY(!e.t.contaplus.existe_cuenta("430000002"));  // only in XSubCta
    QVERIFY(!e.t.contaplus.existe_cuenta("4300"));
    QVERIFY(!e.t.contaplus.existe_cuenta("43' OR '1'='1"));
    QVERIFY(!e.t.contaplus.rs_empresa.abierto());
}

void TstFicheros::fac_sin_importe_tasa()
{
    // A link database older than the tourist tax, as the program finds it.
    Ficheros e({}, [](Instalacion& inst) {
        inst.insertar("fac", {{"FacEmp", "1"}, {"FacEje", "2024"}, {"FacFra", "1"}, {"FacEst", "0"}});
        inst.insertar("fac", {{"FacEmp", "1"}, {"FacEje", "2024"}, {"FacFra", "2"}, {"FacEst", "1"}});
        inst.sql("fac", "ALTER TABLE fac DROP COLUMN ImporteTasa");
    });
    QVERIFY(!e.inst.filas("fac").first().contains("ImporteTasa"));

    QVERIFY(e.t.activar());
    auto filas = e.inst.filas("fac");
    QCOMPARE(filas.size(), 2);
    for (const auto& f : filas) {
        QVERIFY(f.contains("ImporteTasa"));
        QCOMPARE(f.value("ImporteTasa").toDouble(), 0.0);
        QVERIFY(!f.value("ImporteTasa").isNull());
    }

    // Later activations leave the column and its values alone.
    e.inst.sql("fac", "UPDATE fac SET ImporteTasa = 3.3 WHERE FacFra = '2'");
    QVERIFY(e.t.activar());
    Traspaso otra(e.m, e.vista);
    QVERIFY(otra.activar());
    filas = e.inst.filas("fac", "FacFra = ?", {"2"});
    QCOMPARE(filas.size(), 1);
    QCOMPARE(filas[0].value("ImporteTasa").toDouble(), 3.3);
    QVERIFY(e.clerk.mensajes.isEmpty());
}

void TstFicheros::cuenta_ventas_defecto_data()
{
    QTest::addColumn<int>("digitos");
    QTest::addColumn<QString>("cuenta");

    QTest::newRow("8") << 8 << "70599999";
    QTest::newRow("9") << 9 << "705999999";
}

void TstFicheros::cuenta_ventas_defecto()
{
    QFETCH(int, digitos);
    QFETCH(QString, cuenta);

    Ficheros e({{"ccdigitos", digitos}});
    QVERIFY(e.t.activar());
    QCOMPARE(e.t.cuenta_ventas_defecto, cuenta);
}

QTEST_GUILESS_MAIN(TstFicheros)
#include "tst_ficheros.moc"
