// The demonstration installation: deterministic, plausible, and what the
// command line shows of it.
#include "demo/EsquemaHotel.h"
#include "demo/GeneradorDemo.h"
#include "platform/sistema/Fallo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {

// Every row of every table of every database of an installation, with the
// storage type of each value, in a stable order.
QStringList volcado(const QString& raiz)
{
    QStringList archivos;
    QDirIterator it(raiz, {"*.MDB"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) archivos << it.next();
    archivos.sort();
    QStringList r;
    for (const QString& a : archivos) {
        ArchivoSqlite f(a, false);
        r << "# " + QDir(raiz).relativeFilePath(a);
        for (const QVariantMap& t : f.consultar("SELECT type, name, sql FROM sqlite_master ORDER BY name")) {
            r << t["sql"].toString();
            if (t["type"].toString() != "table") continue;
            for (const QVariantMap& fila :
                 f.consultar("SELECT * FROM \"" + t["name"].toString() + "\" ORDER BY rowid")) {
                QStringList campos;
                for (auto c = fila.begin(); c != fila.end(); ++c)
                    campos << c.key() + "=" + (c->isValid() ? QString(c->typeName()) + ":" + c->toString() : "NULL");
                r << campos.join('|');
            }
        }
    }
    return r;
}

struct Proceso {
    int codigo = -1;
    QString salida, errores;
};

Proceso enlace(const QStringList& argumentos)
{
    QProcess p;
    p.start(ENLACE_BINARIO, argumentos);
    p.closeWriteChannel();
    Proceso r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.codigo = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.salida = QString::fromUtf8(p.readAllStandardOutput());
    r.errores = QString::fromUtf8(p.readAllStandardError());
    return r;
}

double suma(const QVariantMap& f, const QString& prefijo)
{
    double s = 0;
    for (int k = 1; k <= 4; ++k) s += f[prefijo + QString::number(k)].toDouble();
    return s;
}

bool casi(double a, double b)
{
    return std::fabs(a - b) < 0.005;
}

}  // namespace

class TstDemo : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString demo_;  // one demo of 150 invoices, seed 1, shared by the content tests

    QVector<QVariantMap> tabla(const QString& nombre, const QString& resto = {})
    {
        ArchivoSqlite f(demo_ + "/C/" + esquema::ruta_access(nombre, 'C').mid(3).replace('\\', '/'), false);
        return f.consultar("SELECT * FROM " + nombre + " " + resto);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        demo_ = dir_.filePath("demo");
        const ResumenDemo r = generar_demo(demo_, OpcionesDemo{});
        QCOMPARE(r.facturas, 150);
    }

    void misma_semilla_misma_instalacion()
    {
        OpcionesDemo o;
        o.facturas = 80;
        o.semilla = 42;
        generar_demo(dir_.filePath("a"), o);
        generar_demo(dir_.filePath("b"), o);
        o.semilla = 43;
        generar_demo(dir_.filePath("c"), o);
        const QStringList a = volcado(dir_.filePath("a"));
        QVERIFY(a.size() > 400);
        QCOMPARE(volcado(dir_.filePath("b")), a);
        QVERIFY(volcado(dir_.filePath("c")) != a);
    }

    void no_sobrescribe_una_carpeta_con_datos()
    {
        QVERIFY_THROWS_EXCEPTION(Fallo, generar_demo(demo_, OpcionesDemo{}));
        QVERIFY(QFile::exists(demo_ + "/C/quelmira/emi.MDB"));
    }

    void facturas_cuadradas()
    {
        int con_21 = 0, con_4 = 0, tasa_nula = 0, nif_nulo = 0, con_deposito = 0, serie_b = 0;
        const auto facturas = tabla("emi");
        QCOMPARE(facturas.size(), 150);
        for (const QVariantMap& f : facturas) {
            const double tasa = f["TasaImporte"].isValid() ? f["TasaImporte"].toDouble() : 0.0;
            QVERIFY2(casi(f["EmiTot"].toDouble(), suma(f, "EmiB") + suma(f, "EmiI") + tasa),
                     qPrintable(f["EmiNum"].toString()));
            for (int k = 1; k <= 4; ++k) {
                const double tipo = f["EmiC" + QString::number(k)].toDouble();
                const double base = f["EmiB" + QString::number(k)].toDouble();
                QVERIFY(QList<double>({0, 4, 10, 21}).contains(tipo));
                QVERIFY(casi(f["EmiI" + QString::number(k)].toDouble(), std::round(base * tipo) / 100.0));
                if (tipo == 21) ++con_21;
                if (tipo == 4) ++con_4;
            }
            QCOMPARE(f["EmiC2"].toDouble(), 10.0);
            QVERIFY(f["EmiDep"].toDouble() < f["EmiTot"].toDouble());
            QVERIFY(f["EmiFec"].toString().startsWith(f["EmiAno"].toString()));
            tasa_nula += !f["TasaImporte"].isValid();
            nif_nulo += !f["EmiNif"].isValid();
            con_deposito += f["EmiDep"].toDouble() > 0;
            serie_b += f["EmiN"].toString() == "B";
        }
        QVERIFY(con_21 > 10 && con_4 > 0);
        QVERIFY(tasa_nula > 0 && nif_nulo > 0 && con_deposito > 5 && serie_b > 0);
        // Invoices are dated within the 30 days from 01/11/2026.
        QCOMPARE(tabla("emi", "WHERE EmiFec < '20261101' OR EmiFec > '20261130'").size(), 0);
    }

    void servicios_y_bases()
    {
        QMap<QString, double> servicios;
        int abonos = 0, cuenta_larga = 0;
        for (const QVariantMap& s : tabla("Hiscadia")) {
            const double importe = std::round(s["HCadiaCan"].toDouble() * s["HCadiaPre"].toDouble() * 100) / 100;
            const bool cargo = s["HCadiaCA"].toString() == "+";
            servicios[s["HCadiaFraAno"].toString() + "/" + s["HCadiaFra"].toString()] += cargo ? importe : -importe;
            abonos += !cargo;
            cuenta_larga += s["HCadiaCta"].toString().size() > 9;
        }
        int cuadran = 0, descuadran = 0, sin_servicios = 0;
        for (const QVariantMap& f : tabla("emi")) {
            const QString clave = f["EmiAno"].toString() + "/" + f["EmiNum"].toString();
            if (!servicios.contains(clave))
                ++sin_servicios;
            else if (casi(servicios[clave], suma(f, "EmiB")))
                ++cuadran;
            else
                ++descuadran;
        }
        QVERIFY2(cuadran > 100, qPrintable(QString::number(cuadran)));
        QVERIFY(descuadran > 0 && sin_servicios > 0 && abonos > 0 && cuenta_larga > 0);
    }

    void cobros_y_depositos()
    {
        const auto caja = tabla("caja", "ORDER BY CajaFec, CajaOrd");
        QSet<QString> facturas;
        for (const QVariantMap& f : tabla("emi")) facturas << f["EmiAno"].toString() + "/" + f["EmiNum"].toString();
        int depositos = 0, pagos = 0, sin_factura = 0, importe_cero = 0, no_pago = 0, tur_nulo = 0, tur_vacio = 0;
        QString dia;
        int orden = 0;
        for (const QVariantMap& c : caja) {
            // CajaOrd numbers the movements of each day from 1.
            if (c["CajaFec"].toString() != dia) {
                dia = c["CajaFec"].toString();
                orden = 0;
            }
            QCOMPARE(c["CajaOrd"].toInt(), ++orden);
            const QString concepto = c["CajaCon"].toString();
            if (concepto.startsWith("Deposito")) {
                ++depositos;
                QCOMPARE(concepto.left(12), QString("Deposito N. "));
                bool numero = false;
                concepto.mid(12, 6).toInt(&numero);
                QVERIFY(numero);
                QCOMPARE(c["CajaFra"].toString(), QString(""));
            } else if (c["CajaPago"].toString() == "1" && c["CajaImp"].toDouble() != 0) {
                ++pagos;
                sin_factura += !facturas.contains(c["CajaAnoF"].toString() + "/" + c["CajaFra"].toString());
            }
            importe_cero += c["CajaImp"].toDouble() == 0;
            no_pago += c["CajaPago"].toString() != "1";
            tur_nulo += !c["CajaTur"].isValid();
            tur_vacio += c["CajaTur"].toString() == "" && c["CajaTur"].isValid();
        }
        QVERIFY(depositos > 5 && pagos > 100);
        QCOMPARE(sin_factura, 1);
        QVERIFY(importe_cero > 0 && no_pago > 0 && tur_nulo > 0 && tur_vacio > 0);
    }

    void facturas_abiertas()
    {
        QSet<QString> en_cab;
        bool por_num1 = false, por_num2 = false;
        for (const QVariantMap& c : tabla("cab")) {
            if (!c["CabNum1"].toString().isEmpty()) {
                en_cab << c["CabNum1"].toString();
                por_num1 = true;
            }
            if (!c["CabNum2"].toString().isEmpty()) {
                en_cab << c["CabNum2"].toString();
                por_num2 = true;
            }
        }
        int con_cuenta = 0, sin_cuenta = 0;
        for (const QVariantMap& f : tabla("emi", "WHERE EmiCie = '0'"))
            en_cab.contains(f["EmiNum"].toString()) ? ++con_cuenta : ++sin_cuenta;
        QVERIFY(con_cuenta > 0 && sin_cuenta > 0 && por_num1 && por_num2);
    }

    void clientes_y_formas_de_pago()
    {
        const auto cli = tabla("cli");
        int apostrofos = 0, con_cta = 0, sin_cta = 0;
        for (const QVariantMap& c : cli) {
            apostrofos += c["CliNom"].toString().contains('\'');
            c["CliCta"].toString().isEmpty() ? ++sin_cta : ++con_cta;
        }
        QVERIFY(apostrofos > 0 && con_cta > 0 && sin_cta > 0);

        int agencias_con = 0, agencias_sin = 0;
        for (const QVariantMap& a : tabla("agen")) a["AgenCta"].toString().isEmpty() ? ++agencias_sin : ++agencias_con;
        QVERIFY(agencias_con > 0 && agencias_sin > 0);
        QVERIFY(!tabla("na", "WHERE NaCta = '' AND NaVin = 1 AND NaAge <> ''").isEmpty());
        QVERIFY(!tabla("na", "WHERE NaCta IS NULL AND NaVin = 1").isEmpty());
        QVERIFY(!tabla("na", "WHERE NaCta <> ''").isEmpty());

        bool larga = false, sin_cuenta = false, vacia = false;
        for (const QVariantMap& f : tabla("formas")) {
            larga |= f["ForDes"].toString().size() > 15;
            sin_cuenta |= !f["ForCta"].isValid();
            vacia |= f["ForCta"].isValid() && f["ForCta"].toString().isEmpty();
        }
        QVERIFY(larga && sin_cuenta && vacia);
        QCOMPARE(tabla("formas", "WHERE ForDes = 'EFECTIVO'").size(), 1);
    }

    void archivos_de_la_instalacion()
    {
        for (const QString& f : esquema::familias()) QVERIFY(QFile::exists(demo_ + "/C/quelmira/" + f + ".MDB"));
        QVERIFY(QFile::exists(demo_ + "/C/quelmira.MDB"));
        QVERIFY(QFile::exists(demo_ + "/C/quelmira/VTRHSYS.MDB"));
        QVERIFY(QDir(demo_ + "/C/ContaEli/TMP").exists());
        ArchivoSqlite enlace(demo_ + "/C/quelmira/enlace.MDB", false);
        for (const char* t : {"cajj", "edep", "fac", "fal"})
            QCOMPARE(enlace.consultar(QString("SELECT * FROM ") + t).size(), 0);
        // fac keeps its columns in the order the hotel product reads them by.
        const QStringList fac = esquema::columnas("fac");
        QCOMPARE(fac.mid(5, 4), QStringList({"FacB1", "FacB2", "FacB3", "FacB4"}));
        QCOMPARE(fac.mid(9, 4), QStringList({"FacC1", "FacC2", "FacC3", "FacC4"}));
        QCOMPARE(fac.mid(13, 4), QStringList({"FacI1", "FacI2", "FacI3", "FacI4"}));
        QCOMPARE(fac.last(), QString("ImporteTasa"));
        QVERIFY(!esquema::columnas("fac", {esquema::VarianteCc::Completa, false}).contains("ImporteTasa"));
        const auto fila = enlace.consultar("SELECT cid, name FROM pragma_table_info('fac') WHERE name = 'FacB1'");
        QCOMPARE(fila[0]["cid"].toInt(), 5);
    }

    void ajustes_de_una_demo()
    {
        const QString raiz = dir_.filePath("cli-demo");
        const Proceso demo = enlace({"demo", raiz, "--facturas", "20", "--semilla", "3"});
        QCOMPARE(demo.codigo, 0);
        QVERIFY(QFile::exists(raiz + "/C/quelmira/sp1/diario.dbf"));
        QVERIFY(QFile::exists(raiz + "/C/quelmira/sp1/subcuent.dbf"));
        QVERIFY(QFile::exists(raiz + "/C/ContaEli/EMP0001/SubCta.dbf"));

        const Proceso p = enlace({"--unidades", raiz, "ajustes"});
        QCOMPARE(p.codigo, 0);
        const QStringList esperado = {"versión 5.04.001",
                                      "Conectado: C:\\",
                                      "empresa=1",
                                      "diario=1",
                                      "ruta_contaplus=C:\\ContaEli",
                                      "digitos=9",
                                      "cuenta_pasantes=430000000",
                                      "subcuenta_agencias=4300",
                                      "subcuenta_empresas=4310",
                                      "cuenta_depositos=438000000",
                                      "cuenta_iva=477000000",
                                      "cuenta_ventas=700000000",
                                      "cuenta_caja=570000000",
                                      "todos_pasantes=false",
                                      "separar_ventas=false",
                                      "sin_caja=false",
                                      "separar_depositos=false",
                                      "separar_iva=false",
                                      "externa=false",
                                      "pasantes_aaaamm=false",
                                      "cuenta_tasa=475300000"};
        QCOMPARE(p.salida.split('\n', Qt::SkipEmptyParts), esperado);

        // Without formas.MDB the start-up stops with its message.
        QVERIFY(QFile::remove(raiz + "/C/quelmira/formas.MDB"));
        const Proceso sin = enlace({"--unidades", raiz, "ajustes"});
        QCOMPARE(sin.codigo, 1);
        QCOMPARE(sin.salida,
                 QString("Atención NO conexion BD: Ha ocurrido un fallo de conexión con las bases de datos del "
                         "programa de Hotel. La apliación no puede continuar.\n"));
    }

    void ordenes_erroneas_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::newRow("orden desconocida") << QStringList{"contabilizar"};
        QTest::newRow("demo sin carpeta") << QStringList{"demo"};
        QTest::newRow("demo fecha mala") << QStringList{"demo", "x", "--desde", "31022026"};
        QTest::newRow("demo facturas malas") << QStringList{"demo", "x", "--facturas", "muchas"};
        QTest::newRow("--unidades sin carpeta") << QStringList{"--unidades"};
    }
    void ordenes_erroneas()
    {
        QFETCH(QStringList, argumentos);
        const Proceso p = enlace(argumentos);
        QCOMPARE(p.codigo, 1);
        QVERIFY(p.errores.contains("Uso:"));
        QVERIFY(!QFile::exists("x"));
    }

    void demo_sobre_una_carpeta_ocupada()
    {
        const Proceso p = enlace({"demo", demo_});
        QCOMPARE(p.codigo, 1);
        QVERIFY(p.errores.contains("no está vacía"));
        QCOMPARE(tabla("emi").size(), 150);
    }

    void plantillas()
    {
        const QString carpeta = dir_.filePath("sp1");
        QCOMPARE(enlace({"plantillas", carpeta}).codigo, 0);
        QVERIFY(QFile::exists(carpeta + "/diario.dbf"));
        QVERIFY(QFile::exists(carpeta + "/subcuent.dbf"));
    }
};

QTEST_GUILESS_MAIN(TstDemo)
#include "tst_demo.moc"
