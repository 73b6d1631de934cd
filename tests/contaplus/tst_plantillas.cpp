// Our ContaPlus templates, as another program's dBASE reader sees them, and
// the widest values the link writes into them.
#include "contaplus/Plantillas.h"
#include "platform/dbase/DbaseBackend.h"
#include "platform/sistema/Fallo.h"
#include "tests/support/Dbf.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList columnas_diario = {"ASIEN",     "FECHA",    "SUBCTA",    "CONTRA",   "PTADEBE",   "CONCEPTO",
                                     "PTAHABER",  "FACTURA",  "BASEIMPO",  "IVA",      "RECEQUIV",  "DOCUMENTO",
                                     "DEPARTA",   "CLAVE",    "ESTADO",    "NCASADO",  "TCASADO",   "TRANS",
                                     "CAMBIO",    "DEBEME",   "HABERME",   "AUXILIAR", "SERIE",     "SUCURSAL",
                                     "CODDIVISA", "IMPAUXME", "MONEDAUSO", "EURODEBE", "EUROHABER", "BASEEURO"};
const QStringList tipos_diario = {"N", "D", "C", "C", "N", "C", "N", "N", "N", "N", "N", "C", "C", "C", "C",
                                  "N", "N", "N", "N", "N", "N", "C", "C", "C", "C", "N", "C", "N", "N", "N"};

const QStringList columnas_subcuentas = {"COD",       "TITULO", "NIF",       "DOMICILIO", "POBLACION", "PROVINCIA",
                                         "CODPOSTAL", "DIVISA", "CODDIVISA", "DOCUMENTO", "AJUSTAME",  "TIPOIVA"};
const QStringList tipos_subcuentas = {"C", "C", "C", "C", "C", "C", "C", "L", "C", "L", "L", "C"};

void comprobar_vacia(const TablaDbf& t, const QStringList& columnas, const QStringList& tipos)
{
    QCOMPARE(t.columnas, columnas);
    QCOMPARE(t.tipos, tipos);
    QCOMPARE(t.codificacion, QString("cp1252"));
    QCOMPARE(t.registros_cabecera, qint64(0));
    QVERIFY(t.marca_fin);
    QVERIFY(t.filas.isEmpty());
}

}  // namespace

class TstPlantillas : public QObject {
    Q_OBJECT

private slots:
    void dos_plantillas_legibles()
    {
        QTemporaryDir dir;
        const QString carpeta = dir.filePath("quelmira/sp1");  // created
        escribir_plantillas(carpeta);
        QCOMPARE(QDir(carpeta).entryList(QDir::Files), (QStringList{"diario.dbf", "subcuent.dbf"}));
        comprobar_vacia(leer_dbf(carpeta + "/diario.dbf"), columnas_diario, tipos_diario);
        comprobar_vacia(leer_dbf(carpeta + "/subcuent.dbf"), columnas_subcuentas, tipos_subcuentas);
    }

    void subcta_de_empresa()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath("ContaEli/EMP0001/SubCta.dbf");
        escribir_subcta(ruta);
        QVERIFY(QFileInfo::exists(ruta));
        comprobar_vacia(leer_dbf(ruta), columnas_subcuentas, tipos_subcuentas);
    }

    // A journal line with the widest values the link writes, column names
    // spelt as the writers spell them.
    void caben_los_valores_del_diario()
    {
        QTemporaryDir dir;
        escribir_plantillas(dir.path());
        QFile::copy(dir.filePath("diario.dbf"), dir.filePath("Xdiario.dbf"));
        DbaseBackend b(dir.path());
        const QString concepto = "Cobro Deposito N. 123456";
        const QString total = "Total Dia " + QString("TARJETA VISA OR");
        b.insertar("Xdiario",
                   {"Asien",     "Fecha",    "subcta",    "Contra",    "PtaDebe",   "Concepto", "PtaHaber", "Factura",
                    "BaseImpo",  "iva",      "Recequiv",  "Documento", "Departa",   "Clave",    "estado",   "Ncasado",
                    "Tcasado",   "Trans",    "Cambio",    "DebeMe",    "HaberMe",   "Auxiliar", "Serie",    "Sucursal",
                    "CodDivisa", "ImpAuxMe", "MonedaUso", "EuroDebe",  "EuroHaber", "BaseEuro"},
                   {40000.0,
                    QDate(2009, 12, 31),
                    "430000123",
                    "477000021",
                    2147483647,
                    "Factura Nº1234567890",
                    -2147483647 - 1,
                    "1234567890",
                    2147483647,
                    21.0,
                    0,
                    "1234567890",
                    "",
                    "",
                    "",
                    0,
                    0,
                    0,
                    0,
                    0,
                    0,
                    "*",
                    "G",
                    "",
                    "",
                    0,
                    2,
                    12906636.99,
                    12906636.99,
                    12906636.99});
        b.insertar("Xdiario", {"Asien", "Concepto", "MonedaUso", "iva"}, {99999999.0, concepto, "2", 7.5});
        b.insertar("Xdiario", {"Concepto"}, {total});
        const TablaDbf t = leer_dbf(dir.filePath("Xdiario.dbf"));
        QCOMPARE(t.filas.size(), 3);
        const QVariantMap f = t.filas[0];
        QCOMPARE(f.value("ASIEN").toDouble(), 40000.0);
        QCOMPARE(f.value("FECHA"), QVariant(QDate(2009, 12, 31)));
        QCOMPARE(f.value("SUBCTA"), QVariant("430000123"));
        QCOMPARE(f.value("PTADEBE").toDouble(), 2147483647.0);
        QCOMPARE(f.value("PTAHABER").toDouble(), -2147483648.0);
        QCOMPARE(f.value("BASEIMPO").toDouble(), 2147483647.0);
        QCOMPARE(f.value("FACTURA").toDouble(), 1234567890.0);
        QCOMPARE(f.value("CONCEPTO"), QVariant("Factura Nº1234567890"));
        QCOMPARE(f.value("DOCUMENTO"), QVariant("1234567890"));
        QCOMPARE(f.value("IVA").toDouble(), 21.0);
        QCOMPARE(f.value("MONEDAUSO"), QVariant("2"));
        QCOMPARE(f.value("EURODEBE").toDouble(), 12906636.99);
        QCOMPARE(f.value("AUXILIAR"), QVariant("*"));
        QCOMPARE(f.value("SERIE"), QVariant("G"));
        QCOMPARE(t.filas[1].value("ASIEN").toDouble(), 99999999.0);
        QCOMPARE(t.filas[1].value("CONCEPTO"), QVariant(concepto));
        QCOMPARE(t.filas[1].value("MONEDAUSO"), QVariant("2"));
        QCOMPARE(t.filas[1].value("IVA").toDouble(), 7.5);
        QCOMPARE(t.filas[2].value("CONCEPTO"), QVariant(total));
    }

    void caben_los_valores_de_subcuentas()
    {
        QTemporaryDir dir;
        escribir_plantillas(dir.path());
        QFile::copy(dir.filePath("subcuent.dbf"), dir.filePath("XSubCta.dbf"));
        DbaseBackend b(dir.path());
        b.insertar("XSubCta",
                   {"COD", "TITULO", "NIF", "DOMICILIO", "POBLACION", "PROVINCIA", "CODPOSTAL", "DIVISA", "CodDivisa",
                    "Documento", "AJUSTAME", "TIPOIVA"},
                   {"475300000", "Tasa Turística EET", "B12345678", "", "", "", "", false, "", false, false, "G"});
        const TablaDbf t = leer_dbf(dir.filePath("XSubCta.dbf"));
        QCOMPARE(t.filas.size(), 1);
        const QVariantMap f = t.filas[0];
        QCOMPARE(f.value("COD"), QVariant("475300000"));
        QCOMPARE(f.value("TITULO"), QVariant("Tasa Turística EET"));
        QCOMPARE(f.value("NIF"), QVariant("B12345678"));
        QCOMPARE(f.value("DIVISA"), QVariant(false));
        QCOMPARE(f.value("DOCUMENTO"), QVariant(false));
        QCOMPARE(f.value("AJUSTAME"), QVariant(false));
        QCOMPARE(f.value("TIPOIVA"), QVariant("G"));
    }

    // Written again, the templates are empty again; a file of the same name
    // in another letter case is the one replaced.
    void reescribir()
    {
        QTemporaryDir dir;
        escribir_plantillas(dir.path());
        QFile::rename(dir.filePath("diario.dbf"), dir.filePath("DIARIO.DBF"));
        {
            DbaseBackend b(dir.path());
            b.insertar("diario", {"ASIEN"}, {1.0});
        }
        QCOMPARE(leer_dbf(dir.filePath("DIARIO.DBF")).filas.size(), 1);
        escribir_plantillas(dir.path());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"DIARIO.DBF", "subcuent.dbf"}));
        comprobar_vacia(leer_dbf(dir.filePath("DIARIO.DBF")), columnas_diario, tipos_diario);
    }

    void carpeta_imposible()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("fichero"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        try {
            escribir_plantillas(dir.filePath("fichero/sp1"));
            QFAIL("no falló");
        } catch (const Fallo& e) {
            QCOMPARE(e.numero(), codigo_error::ERROR_DE_ARCHIVO);
            QVERIFY(e.descripcion().contains("fichero/sp1"));
        }
    }
};

QTEST_GUILESS_MAIN(TstPlantillas)
#include "tst_plantillas.moc"
