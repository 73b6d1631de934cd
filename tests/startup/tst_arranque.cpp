// Start-up: the drive, the Access or SQL Server choice, the connections and
// the clerk's messages when something is missing.
#include "platform/sistema/Fallo.h"
#include "tests/support/Entorno.h"

#include <QFile>
#include <QTest>

namespace {

const QString MENSAJE = QStringLiteral("Ha ocurrido un fallo de conexión con las bases de datos del programa de Hotel. "
                                       "La apliación no puede continuar.");
const QString TITULO = QStringLiteral("Atención NO conexion BD");

QStringList familias()
{
    return {"cc",  "cab",  "cadia", "dep",  "emi", "hiscadia", "histocab",
            "ser", "agen", "na",    "caja", "cli", "formas",   "emp"};
}

QVector<Conexion*> conexiones_mdb(Module1& m)
{
    return {&m.conexion_cc,       &m.conexion_cab,      &m.conexion_cadia,  &m.conexion_dep,  &m.conexion_emi,
            &m.conexion_hiscadia, &m.conexion_histocab, &m.conexion_ser,    &m.conexion_agen, &m.conexion_na,
            &m.conexion_caja,     &m.conexion_cli,      &m.conexion_formas, &m.conexion_emp};
}

}  // namespace

class TstArranque : public QObject {
    Q_OBJECT

private slots:
    void modo_access_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::newRow("ConTipo 0") << "0";
        QTest::newRow("ConTipo 0 numérico") << "numero";
        QTest::newRow("con vacía") << "vacia";
        QTest::newRow("sin VTRHSYS.MDB") << "sin archivo";
    }
    void modo_access()
    {
        QFETCH(QString, caso);
        Instalacion inst;
        if (caso == "numero") {
            inst.sql("con", "DELETE FROM con");
            inst.sql("con", "DROP TABLE con");
            inst.sql("con", "CREATE TABLE con (ConTipo REAL, ConServer TEXT, catalogo TEXT)");
            inst.insertar("con", {{"ConTipo", 0.0}, {"ConServer", "HOTELSRV"}, {"catalogo", "HOTEL"}});
        } else if (caso == "vacia") {
            inst.sql("con", "DELETE FROM con");
        } else if (caso == "sin archivo") {
            QVERIFY(QFile::remove(inst.archivo_de("con")));
        }

        Entorno a(inst, Inicio::Nada);
        a.m.cargar();
        a.m.activar();
        QVERIFY(a.clerk.mensajes.isEmpty());
        QCOMPARE(a.m.unidad, QString("C"));
        QVERIFY(!a.m.modo_sql);
        QVERIFY(a.m.servidor_sql.isEmpty());
        QVERIFY(a.m.catalogo_sql.isEmpty());
        QVERIFY(a.m.conectado);
        QCOMPARE(a.m.panel1, QString("versión 5.04.001"));
        QCOMPARE(a.m.panel2, QString("Conectado: C:\\"));
        for (Conexion* c : conexiones_mdb(a.m)) QVERIFY(c->abierta());
        QVERIFY(a.m.conexion_enlace.abierta());
        QVERIFY(!a.m.conexion_sql.abierta());
        // The two start-up files are closed again.
        QVERIFY(!a.m.conexion_unidad.abierta());
        QVERIFY(!a.m.conexion_sistema.abierta());
        QCOMPARE(a.m.conexion_formas.cadena(),
                 QString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= C:\\quelmira\\formas.MDB"));
        QCOMPARE(a.m.empresa, QString("1"));
        QCOMPARE(a.m.cuenta_tasa, QString("475300000"));
    }

    void leer_tipo_conexion_atrapa_los_fallos()
    {
        Instalacion inst;
        // A con table that cannot be read is not the general failure: the
        // values stay as they stand.
        inst.sql("con", "DROP TABLE con");
        {
            Entorno a(inst, Inicio::Nada);
            a.m.modo_sql = true;
            a.m.servidor_sql = "S";
            a.m.leer_tipo_conexion();
            QVERIFY(a.m.modo_sql);
            QCOMPARE(a.m.servidor_sql, QString("S"));
        }
        // A system database that cannot be opened forces Access mode.
        QVERIFY(QFile::remove(inst.archivo_de("con")));
        Entorno a(inst, Inicio::Nada);
        a.m.modo_sql = true;
        a.m.servidor_sql = "S";
        a.m.catalogo_sql = "C";
        a.m.leer_tipo_conexion();
        QVERIFY(!a.m.modo_sql);
        QVERIFY(a.m.servidor_sql.isEmpty());
        QVERIFY(a.m.catalogo_sql.isEmpty());
        QVERIFY(a.clerk.mensajes.isEmpty());
    }

    void contipo_nulo_es_sql_server()
    {
        // Any ConTipo but "0" means SQL Server; a Null server then fails after
        // the flag was set, silently, and the server stays unnamed.
        Instalacion inst;
        inst.sql("con", "UPDATE con SET ConTipo = NULL, ConServer = NULL, catalogo = NULL");
        Entorno a(inst, Inicio::Nada);
        a.m.leer_tipo_conexion();
        QVERIFY(a.m.modo_sql);
        QVERIFY(a.m.servidor_sql.isEmpty());
        QVERIFY(a.clerk.mensajes.isEmpty());
    }

    void unidad_d()
    {
        Instalacion inst(false, QChar('D'));
        QVERIFY(QFile::exists(inst.local("D:\\quelmira\\formas.MDB")));
        QVERIFY(!QFile::exists(inst.local("C:\\quelmira\\formas.MDB")));
        Entorno a(inst, Inicio::Nada);
        a.m.cargar();
        a.m.activar();
        QCOMPARE(a.m.unidad, QString("D"));
        QCOMPARE(a.m.panel2, QString("Conectado: D:\\"));
        QCOMPARE(a.m.conexion_cc.cadena(),
                 QString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= D:\\quelmira\\cc.MDB"));
        QCOMPARE(a.m.conexion_enlace.cadena(),
                 QString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= D:\\quelmira\\enlace.MDB"));
        for (Conexion* c : conexiones_mdb(a.m)) QVERIFY(c->abierta());
        QCOMPARE(a.m.empresa, QString("1"));
    }

    void falta_un_archivo_de_familia_data()
    {
        QTest::addColumn<int>("indice");
        for (int i : {0, 12, 13}) QTest::newRow(qPrintable(familias()[i])) << i;
    }
    void falta_un_archivo_de_familia()
    {
        QFETCH(int, indice);
        Instalacion inst;
        QVERIFY(QFile::remove(inst.local("C:\\quelmira\\" + familias()[indice] + ".MDB")));
        Entorno a(inst, Inicio::Nada);
        QVERIFY_THROWS_EXCEPTION(FinPrograma, a.m.cargar());
        QCOMPARE(a.clerk.mensajes.size(), 1);
        const auto& msg = a.clerk.mensajes[0];
        QCOMPARE(msg.texto, MENSAJE);
        QCOMPARE(msg.titulo, TITULO);
        QCOMPARE(msg.icono, Icono::Critico);
        QCOMPARE(msg.botones, Botones::Aceptar);
        QVERIFY(!a.m.conectado);
        // The files before the missing one opened and stay open; none after it.
        const auto conexiones = conexiones_mdb(a.m);
        for (int i = 0; i < conexiones.size(); ++i) QCOMPARE(conexiones[i]->abierta(), i < indice);
        QVERIFY(!a.m.conexion_enlace.abierta());
        QCOMPARE(a.m.panel1, QString("versión 5.04.001"));
    }

    void arranque_imposible_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("nombra");
        QTest::newRow("sin quelmira.MDB") << "sin quelmira"
                                          << "C:\\quelmira.MDB";
        QTest::newRow("sin fila cod 1") << "sin fila"
                                        << "cod '1'";
        QTest::newRow("sin tabla quelmira") << "sin tabla"
                                            << "quelmira";
        QTest::newRow("unidad Null") << "unidad nula"
                                     << "unidad";
        QTest::newRow("unidad vacía") << "unidad vacia"
                                      << "unidad";
        QTest::newRow("sin enlace.MDB") << "sin enlace"
                                        << "C:\\quelmira\\enlace.MDB";
    }
    void arranque_imposible()
    {
        QFETCH(QString, caso);
        QFETCH(QString, nombra);
        Instalacion inst;
        if (caso == "sin quelmira") QVERIFY(QFile::remove(inst.archivo_de("quelmira")));
        if (caso == "sin fila") inst.sql("quelmira", "UPDATE quelmira SET cod = '2'");
        if (caso == "sin tabla") inst.sql("quelmira", "DROP TABLE quelmira");
        if (caso == "unidad nula") inst.sql("quelmira", "UPDATE quelmira SET unidad = NULL");
        if (caso == "unidad vacia") inst.sql("quelmira", "UPDATE quelmira SET unidad = ''");
        if (caso == "sin enlace") QVERIFY(QFile::remove(inst.archivo_de("fac")));

        Entorno a(inst, Inicio::Nada);
        QVERIFY_THROWS_EXCEPTION(FinPrograma, a.m.cargar());
        QCOMPARE(a.clerk.mensajes.size(), 1);
        const auto& msg = a.clerk.mensajes[0];
        QVERIFY2(msg.texto.contains(nombra), qPrintable(msg.texto));
        QCOMPARE(msg.titulo, TITULO);
        QCOMPARE(msg.icono, Icono::Critico);
    }

    void modo_sql_por_odbc()
    {
        Instalacion inst(true);
        // SQL mode does not need the family files, and none exist.
        QVERIFY(!QFile::exists(inst.local("C:\\quelmira\\cc.MDB")));
        inst.ajustes({{"ccEmp", "7"}, {"ccdigitos", 8.0}});
        Entorno a(inst, Inicio::Nada);
        a.m.cargar();
        a.m.activar();
        QVERIFY(a.clerk.mensajes.isEmpty());
        QVERIFY(a.m.modo_sql);
        QCOMPARE(a.m.servidor_sql, QString("HOTELSRV"));
        QCOMPARE(a.m.catalogo_sql, inst.catalogo());
        QCOMPARE(a.m.conexion_sql.cadena(), "Driver={SQL Native Client};Server=HOTELSRV;Database=" + inst.catalogo() +
                                                "; Uid=quelmira;Pwd=BIRO4;");
        QCOMPARE(a.m.panel2, "Conectado: HOTELSRV (" + inst.catalogo() + ")");
        QVERIFY(a.m.conexion_sql.abierta());
        QVERIFY(a.m.conexion_enlace.abierta());
        for (Conexion* c : conexiones_mdb(a.m)) QVERIFY(!c->abierta());
        QCOMPARE(&a.m.hotel(a.m.conexion_emi), &a.m.conexion_sql);
        // The settings come from the catalogue.
        QCOMPARE(a.m.empresa, QString("7"));
        QCOMPARE(a.m.digitos, qint16(8));
    }

    void modo_sql_inalcanzable_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::newRow("catálogo inalcanzable") << "catalogo";
        QTest::newRow("sin enlace.MDB") << "enlace";
    }
    void modo_sql_inalcanzable()
    {
        QFETCH(QString, caso);
        Instalacion inst(true);
        if (caso == "catalogo")
            inst.sql("con", "UPDATE con SET catalogo = ?", {inst.raiz() + "/no/existe/HOTEL.db"});
        else
            QVERIFY(QFile::remove(inst.archivo_de("fac")));
        Entorno a(inst, Inicio::Nada);
        QVERIFY_THROWS_EXCEPTION(FinPrograma, a.m.cargar());
        QCOMPARE(a.clerk.mensajes.size(), 1);
        if (caso == "catalogo") {
            QCOMPARE(a.clerk.textos(), QStringList{TITULO + ": " + MENSAJE});
            QVERIFY(!a.m.conectado);
        } else {
            QVERIFY(a.clerk.mensajes[0].texto.contains("enlace.MDB"));
        }
    }

    void volver_al_menu_recarga_los_ajustes()
    {
        Instalacion inst;
        Entorno a(inst, Inicio::Nada);
        a.m.cargar();
        a.m.activar();
        QCOMPARE(a.m.cuenta_ventas, QString("700000000"));
        inst.ajustes({{"ccVta", "705000000"}, {"cctodos", 1.0}});
        a.m.activar();
        QCOMPARE(a.m.cuenta_ventas, QString("705000000"));
        QVERIFY(a.m.todos_pasantes);
        QCOMPARE(a.m.panel1, QString("versión 5.04.001"));
        QCOMPARE(a.m.panel2, QString("Conectado: C:\\"));
    }
};

QTEST_GUILESS_MAIN(TstArranque)
#include "tst_arranque.moc"
