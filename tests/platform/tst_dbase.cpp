// The dBASE engine on folders of .dbf files, checked against dbfread, a
// reader that is not ours, as well as against its own reading.
#include "platform/dbase/DbaseBackend.h"
#include "platform/dbase/DbaseEscritura.h"
#include "platform/motor/FilaDirecta.h"
#include "platform/sistema/Fallo.h"
#include "platform/sql/Conexion.h"
#include "platform/sql/Motores.h"
#include "platform/sql/Recordset.h"
#include "tests/support/Dbf.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <shapefil.h>

#include <functional>
#include <optional>

using namespace codigo_error;

namespace {

struct Def {
    const char* nombre;
    char tipo;
    int ancho;
    int decimales;
};

// A table written by someone else: shapelib directly, the language driver given.
void crear_tabla(const QString& ruta, const QVector<Def>& defs, int controlador = 0x57)
{
    const QByteArray pagina = "LDID/" + QByteArray::number(controlador);
    DBFHandle h = DBFCreateEx(QFile::encodeName(ruta).constData(), pagina.constData());
    if (!h) qFatal("cannot create %s", qPrintable(ruta));
    for (const Def& d : defs) DBFAddNativeFieldType(h, d.nombre, d.tipo, d.ancho, d.decimales);
    DBFClose(h);
}

// Appends raw field texts with a handle of its own, as another program would.
void otro_escritor_anade(const QString& ruta, const QVector<QByteArray>& campos)
{
    DBFHandle h = DBFOpen(QFile::encodeName(ruta).constData(), "rb+");
    if (!h) qFatal("cannot open %s", qPrintable(ruta));
    const int n = DBFGetRecordCount(h);
    for (int i = 0; i < campos.size(); ++i)
        DBFWriteAttributeDirectly(h, n, i, const_cast<char*>(campos[i].constData()));
    DBFClose(h);
}

std::optional<Fallo> fallo_de(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Fallo& e) {
        return e;
    }
    return std::nullopt;
}

QByteArray contenido(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// Record i of a dBASE file's bytes.
QByteArray registro(const QByteArray& f, int i)
{
    const int cabecera = int(quint8(f[8])) | int(quint8(f[9])) << 8;
    const int largo = int(quint8(f[10])) | int(quint8(f[11])) << 8;
    return f.mid(cabecera + i * largo, largo);
}

const QVector<Def> todos_los_tipos = {
    {"TEXTO", 'C', 20, 0}, {"ENTERO", 'N', 8, 0}, {"IMPORTE", 'N', 12, 2},
    {"FECHA", 'D', 8, 0},  {"LOGICO", 'L', 1, 0}, {"MONEDA", 'C', 1, 0},
};

const QVector<Def> subcuentas = {{"COD", 'C', 12, 0}, {"TITULO", 'C', 40, 0}};

}  // namespace

class TstDbase : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString ruta(const QString& archivo) const { return dir_.filePath(archivo); }
    std::shared_ptr<DbaseBackend> backend() { return abrir_dbase(dir_.path()); }

    static Resultado leer(Backend& b, const QString& sql, const QVariantList& p = {})
    {
        return b.abrir(sql, p, false)->leer();
    }

private slots:
    void init()
    {
        QDir d(dir_.path());
        for (const QString& f : d.entryList(QDir::Files)) d.remove(f);
        crear_tabla(ruta("t.dbf"), todos_los_tipos);
        crear_tabla(ruta("SubCta.dbf"), subcuentas);
    }

    void carpeta_inexistente()
    {
        for (const QString& carpeta : {ruta("no-existe"), ruta("t.dbf")}) {
            const auto f = fallo_de([&] { abrir_dbase(carpeta); });
            QVERIFY(f);
            QCOMPARE(f->numero(), FALLO_GENERAL);
            QVERIFY2(f->descripcion().contains(carpeta), qPrintable(f->descripcion()));
            QVERIFY(fallo_de([&] { DbaseBackend b(carpeta); }));
        }
    }

    void sentencias_admitidas_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("parametros");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QVariant>("primero");  // first column of the first row

        QTest::newRow("todo") << "SELECT * FROM SubCta" << QVariantList{} << 3 << QVariant("430");
        QTest::newRow("todo, minúsculas y blancos")
            << "select\t*\n  from   subcta " << QVariantList{} << 3 << QVariant("430");
        QTest::newRow("donde, parámetro")
            << "SELECT * FROM SubCta WHERE COD = ?" << QVariantList{"O'Brien"} << 1 << QVariant("O'Brien");
        QTest::newRow("donde, columna en minúsculas")
            << "SELECT * FROM xsubcta WHERE cod=?" << QVariantList{"430"} << 1 << QVariant("430");
        QTest::newRow("donde, literal con comilla doblada")
            << "SELECT * FROM SubCta WHERE COD = 'O''Brien'" << QVariantList{} << 1 << QVariant("O'Brien");
        QTest::newRow("donde, sin filas")
            << "SELECT * FROM SubCta WHERE COD = ?" << QVariantList{"43"} << 0 << QVariant();
        QTest::newRow("donde, blancos finales del valor")
            << "SELECT * FROM SubCta WHERE COD = ?" << QVariantList{"430  "} << 1 << QVariant("430");
        QTest::newRow("donde, parámetro Null")
            << "SELECT * FROM SubCta WHERE COD = ?" << QVariantList{QVariant()} << 0 << QVariant();
        QTest::newRow("máximo") << "SELECT MAX(COD) as ultimo FROM SubCta" << QVariantList{} << 1
                                << QVariant("O'Brien");
        QTest::newRow("máximo, sin AS y en minúsculas")
            << "select max( cod )  ultimo from subcta" << QVariantList{} << 1 << QVariant("O'Brien");
    }

    void sentencias_admitidas()
    {
        QFETCH(QString, sql);
        QFETCH(QVariantList, parametros);
        QFETCH(int, filas);
        QFETCH(QVariant, primero);
        QFile::copy(ruta("SubCta.dbf"), ruta("XSUBCTA.DBF"));
        auto b = backend();
        for (const char* cod : {"430", "O'Brien", "4300001"})
            for (const char* tabla : {"SubCta", "xsubcta"}) b->insertar(tabla, {"cod"}, {QString::fromLatin1(cod)});
        const Resultado r = leer(*b, sql, parametros);
        QCOMPARE(r.filas.size(), filas);
        if (filas) QCOMPARE(r.filas[0][0], primero);
    }

    void sentencias_rechazadas_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("columnas") << "SELECT COD FROM SubCta";
        QTest::newRow("otra comparación") << "SELECT * FROM SubCta WHERE COD > '1'";
        QTest::newRow("dos condiciones") << "SELECT * FROM SubCta WHERE COD = '1' AND TITULO = 'x'";
        QTest::newRow("orden") << "SELECT * FROM SubCta ORDER BY COD";
        QTest::newRow("literal sin cerrar") << "SELECT * FROM SubCta WHERE COD = '1";
        QTest::newRow("máximo sin alias") << "SELECT MAX(COD) FROM SubCta";
        QTest::newRow("otra función") << "SELECT MIN(COD) as m FROM SubCta";
        QTest::newRow("dos sentencias") << "SELECT * FROM SubCta; DELETE FROM SubCta";
        QTest::newRow("borrado") << "DELETE FROM SubCta";
        QTest::newRow("alta") << "INSERT INTO SubCta (COD) VALUES ('1')";
        QTest::newRow("ruta en el nombre") << "SELECT * FROM ../SubCta";
        QTest::newRow("vacía") << "";
    }

    void sentencias_rechazadas()
    {
        QFETCH(QString, sql);
        auto b = backend();
        const auto f = fallo_de([&] { b->abrir(sql, {}, false); });
        QVERIFY(f);
        QCOMPARE(f->numero(), FALLO_GENERAL);
        QVERIFY2(f->descripcion().contains("\"" + sql + "\""), qPrintable(f->descripcion()));
        // The driver is only sent queries: nothing is executed.
        const auto g = fallo_de([&] { b->ejecutar(sql, {}); });
        QVERIFY(g);
        QVERIFY(g->descripcion().contains("\"" + sql + "\""));
    }

    void parametros_que_no_cuadran()
    {
        auto b = backend();
        const auto falta = fallo_de([&] { b->abrir("SELECT * FROM SubCta WHERE COD = ?", {}, false); });
        QVERIFY(falta);
        QCOMPARE(falta->numero(), PARAMETRO_SIN_VALOR);
        const auto sobra = fallo_de([&] { b->abrir("SELECT * FROM SubCta", {"430"}, false); });
        QVERIFY(sobra);
    }

    void tabla_o_columna_inexistente()
    {
        auto b = backend();
        for (const QString& sql :
             {QStringLiteral("SELECT * FROM Xdiario"), QStringLiteral("SELECT MAX(ASIEN) as ultimo FROM Xdiario")}) {
            const auto f = fallo_de([&] { b->abrir(sql, {}, true); });
            QVERIFY(f);
            QCOMPARE(f->numero(), TABLA_INEXISTENTE);
            QCOMPARE(f->numero(), qint32(0x80040E37));
            QVERIFY(f->descripcion().contains("Xdiario"));
        }
        const auto alta = fallo_de([&] { b->insertar("Xdiario", {"ASIEN"}, {1.0}); });
        QVERIFY(alta);
        QCOMPARE(alta->numero(), TABLA_INEXISTENTE);
        QVERIFY(!QFile::exists(ruta("Xdiario.dbf")));  // nothing is created

        const auto col = fallo_de([&] { b->abrir("SELECT * FROM SubCta WHERE CODIGO = ?", {"1"}, false); });
        QVERIFY(col);
        QCOMPARE(col->numero(), PARAMETRO_SIN_VALOR);
        QVERIFY(col->descripcion().contains("CODIGO"));
    }

    void tabla_en_cualquier_caja()
    {
        QFile::rename(ruta("t.dbf"), ruta("Xdiario.Dbf"));
        auto b = backend();
        b->insertar("XDIARIO", {"texto"}, {"uno"});
        const Resultado r = leer(*b, "SELECT * FROM xdiario");
        QCOMPARE(r.filas.size(), 1);
        QCOMPARE(QDir(dir_.path()).entryList({"*.dbf", "*.DBF", "*.Dbf"}, QDir::Files),
                 (QStringList{"SubCta.dbf", "Xdiario.Dbf"}));
        QCOMPARE(leer_dbf(ruta("Xdiario.Dbf")).filas.at(0).value("TEXTO"), QVariant("uno"));
    }

    void lee_al_leer_no_al_abrir()
    {
        auto b = backend();
        auto consulta = b->abrir("SELECT * FROM t", {}, true);
        QCOMPARE(consulta->tabla(), QString("t"));
        b->insertar("t", {"TEXTO"}, {"después"});
        QCOMPARE(consulta->leer().filas.size(), 1);
        QCOMPARE(b->abrir("SELECT MAX(ENTERO) as m FROM t", {}, true)->tabla(), QString());
    }

    void numeros_leidos_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("valor");
        QTest::newRow("entero") << QByteArray("       7") << QVariant(7.0);
        QTest::newRow("ceros delante") << QByteArray("00000012") << QVariant(12.0);
        QTest::newRow("negativo") << QByteArray("   -1234") << QVariant(-1234.0);
        QTest::newRow("con decimales") << QByteArray("    -1.5") << QVariant(-1.5);
        QTest::newRow("coma") << QByteArray("     2,5") << QVariant(2.5);
        QTest::newRow("en blanco") << QByteArray("        ") << QVariant();
        QTest::newRow("solo signo") << QByteArray("       -") << QVariant();
        QTest::newRow("cifras partidas") << QByteArray("  12 34 ") << QVariant();
        QTest::newRow("asteriscos") << QByteArray("********") << QVariant();
    }

    void numeros_leidos()
    {
        // As another program left them in a numeric field.
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, valor);
        otro_escritor_anade(ruta("t.dbf"), {"x", bytes});
        const Resultado r = leer(*backend(), "SELECT * FROM t");
        QCOMPARE(r.filas.size(), 1);
        QCOMPARE(r.filas[0][1], valor);
    }

    void tipos_escritos_data()
    {
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QVariant>("leido");

        QTest::newRow("texto con tilde") << "TEXTO" << QVariant("Tasa Turística EET") << QVariant("Tasa Turística EET");
        QTest::newRow("texto con ordinal") << "TEXTO" << QVariant("Factura Nº1234") << QVariant("Factura Nº1234");
        QTest::newRow("texto con blancos") << "TEXTO" << QVariant("  Total Dia  ") << QVariant("  Total Dia");
        QTest::newRow("texto cortado") << "TEXTO" << QVariant("Cobro Deposito N. 123456")
                                       << QVariant("Cobro Deposito N. 12");
        QTest::newRow("texto vacío") << "TEXTO" << QVariant("") << QVariant("");
        QTest::newRow("número en texto") << "MONEDA" << QVariant(2.0) << QVariant("2");
        QTest::newRow("texto en texto") << "MONEDA" << QVariant("2") << QVariant("2");
        QTest::newRow("entero grande") << "ENTERO" << QVariant(40000.0) << QVariant(40000.0);
        QTest::newRow("entero negativo") << "ENTERO" << QVariant(-1234567) << QVariant(-1234567.0);
        QTest::newRow("entero desde texto") << "ENTERO" << QVariant("1234") << QVariant(1234.0);
        QTest::newRow("importe máximo") << "IMPORTE" << QVariant(2147483.64) << QVariant(2147483.64);
        QTest::newRow("importe negativo") << "IMPORTE" << QVariant(-100.4) << QVariant(-100.4);
        QTest::newRow("importe redondeado") << "IMPORTE" << QVariant(3.304) << QVariant(3.30);
        QTest::newRow("fecha") << "FECHA" << QVariant(QDate(2009, 12, 31)) << QVariant(QDate(2009, 12, 31));
        QTest::newRow("verdadero") << "LOGICO" << QVariant(true) << QVariant(true);
        QTest::newRow("falso") << "LOGICO" << QVariant(false) << QVariant(false);
        QTest::newRow("lógico desde texto") << "LOGICO" << QVariant(" Verdadero") << QVariant(true);
        QTest::newRow("lógico desde número en texto") << "LOGICO" << QVariant("0") << QVariant(false);
        QTest::newRow("texto con euro y comillas") << "TEXTO" << QVariant("“5 €”") << QVariant("“5 €”");
        QTest::newRow("acento descompuesto")
            << "TEXTO" << QVariant(QString::fromUtf16(u"Nu\u0301nez")) << QVariant("Núnez");
        QTest::newRow("acento tras el ancho") << "TEXTO" << QVariant(QString(19, 'a') + QString::fromUtf16(u"e\u0301"))
                                              << QVariant(QString(19, 'a') + QStringLiteral("é"));
        QTest::newRow("texto con NUL") << "TEXTO" << QVariant(QString::fromLatin1("ab\0cd", 5)) << QVariant("ab cd");
        QTest::newRow("fecha con ceros") << "FECHA" << QVariant(QDate(2026, 3, 5)) << QVariant(QDate(2026, 3, 5));
        QTest::newRow("fuera de la página") << "TEXTO" << QVariant("ā😀b") << QVariant("??b");
        QTest::newRow("Null en número") << "IMPORTE" << QVariant() << QVariant();
        QTest::newRow("Null en fecha") << "FECHA" << QVariant() << QVariant();
    }

    void tipos_escritos()
    {
        QFETCH(QString, columna);
        QFETCH(QVariant, valor);
        QFETCH(QVariant, leido);
        auto b = backend();
        b->insertar("T", {columna.toLower()}, {valor});

        const TablaDbf ajena = leer_dbf(ruta("t.dbf"));
        QCOMPARE(ajena.tipos, (QStringList{"C", "N", "N", "D", "L", "C"}));
        QCOMPARE(ajena.codificacion, QString("cp1252"));
        QCOMPARE(ajena.filas.size(), 1);
        QVariant visto = ajena.filas[0].value(columna);
        if (leido.typeId() == QMetaType::Double)
            QCOMPARE(visto.toDouble(), leido.toDouble());
        else
            QCOMPARE(visto, leido);

        const Resultado propia = leer(*b, "SELECT * FROM t");
        QCOMPARE(propia.filas.size(), 1);
        int c = 0;
        while (propia.columnas[c].nombre != columna) ++c;
        QCOMPARE(propia.filas[0][c], leido);
        // Columns not named stay blank, which both readers take for Null.
        const int otra = columna == "ENTERO" ? 2 : 1;
        QVERIFY(!propia.filas[0][otra].isValid());
        QVERIFY(!ajena.filas[0].value(propia.columnas[otra].nombre).isValid());
    }

    // The bytes of a field as a recordset's new row writes them: whole
    // amounts and dates are formatted without the general rule, and must
    // give what it gives.
    void bytes_escritos_data()
    {
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("cero con decimales") << "IMPORTE" << QVariant(0.0) << QByteArray("        0.00");
        QTest::newRow("menos cero") << "IMPORTE" << QVariant(-0.0) << QByteArray("        0.00");
        QTest::newRow("entero en importe") << "IMPORTE" << QVariant(-3) << QByteArray("       -3.00");
        QTest::newRow("importe con céntimos") << "IMPORTE" << QVariant(-0.004) << QByteArray("        0.00");
        QTest::newRow("importe a redondear") << "IMPORTE" << QVariant(2.675) << QByteArray("        2.67");
        QTest::newRow("céntimos") << "IMPORTE" << QVariant(-1234.05) << QByteArray("    -1234.05");
        QTest::newRow("céntimos con pelo") << "IMPORTE" << QVariant(0.1 + 0.2) << QByteArray("        0.30");
        QTest::newRow("medio céntimo exacto") << "IMPORTE" << QVariant(0.125) << QByteArray("        0.13");
        QTest::newRow("más de 2^33 céntimos") << "IMPORTE" << QVariant(98765432.1) << QByteArray(" 98765432.10");
        QTest::newRow("entero con pelo") << "ENTERO" << QVariant(7.0000001) << QByteArray("       7");
        QTest::newRow("ancho justo") << "ENTERO" << QVariant(12345678.0) << QByteArray("12345678");
        QTest::newRow("negativo justo") << "ENTERO" << QVariant(-1234567) << QByteArray("-1234567");
        QTest::newRow("entero") << "ENTERO" << QVariant(7) << QByteArray("       7");
        QTest::newRow("fecha") << "FECHA" << QVariant(QDate(2026, 3, 5)) << QByteArray("20260305");
        QTest::newRow("fecha antigua") << "FECHA" << QVariant(QDate(999, 1, 2)) << QByteArray("09990102");
    }

    void bytes_escritos()
    {
        QFETCH(QString, columna);
        QFETCH(QVariant, valor);
        QFETCH(QByteArray, bytes);
        auto b = backend();
        const QVector<Columna> cs = b->columnas("t");
        QVariantList valores(cs.size());
        QVector<bool> asignada(cs.size(), false);
        int desde = 1;  // after the deletion flag
        int c = 0;
        for (; cs[c].nombre != columna; ++c) desde += cs[c].ancho;
        valores[c] = valor;
        asignada[c] = true;
        b->insertar_fila("t", cs, valores, asignada);
        const QByteArray f = contenido(ruta("t.dbf"));
        const int cabecera = int(quint8(f[8])) | int(quint8(f[9])) << 8;
        QCOMPARE(f.mid(cabecera + desde, bytes.size()), bytes);
    }

    void columnas_de_la_tabla()
    {
        auto b = backend();
        const QVector<Columna> c = b->columnas("t");
        QCOMPARE(c.size(), 6);
        QCOMPARE(c[2].nombre, QString("IMPORTE"));
        QCOMPARE(c[2].tipo, TipoColumna::Numero);
        QCOMPARE(c[2].ancho, 12);
        QCOMPARE(c[2].decimales, 2);
        QCOMPARE(c[3].tipo, TipoColumna::Fecha);
        QCOMPARE(c[4].tipo, TipoColumna::Logico);
        QCOMPARE(c[5].tipo, TipoColumna::Texto);
    }

    void valores_que_no_caben_data()
    {
        QTest::addColumn<QString>("columna");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<qint32>("error");
        QTest::newRow("demasiadas cifras") << "ENTERO" << QVariant(123456789.0) << DESBORDAMIENTO;
        QTest::newRow("signo de más") << "ENTERO" << QVariant(-12345678.0) << DESBORDAMIENTO;
        QTest::newRow("por los decimales") << "IMPORTE" << QVariant(1e10) << DESBORDAMIENTO;
        QTest::newRow("infinito") << "IMPORTE" << QVariant(qInf()) << DESBORDAMIENTO;
        QTest::newRow("texto no numérico") << "ENTERO" << QVariant("A123") << TIPOS_NO_COINCIDEN;
        QTest::newRow("texto vacío en número") << "ENTERO" << QVariant("") << TIPOS_NO_COINCIDEN;
        QTest::newRow("texto en fecha") << "FECHA" << QVariant("mañana") << TIPOS_NO_COINCIDEN;
        QTest::newRow("letra en lógico") << "LOGICO" << QVariant("S") << TIPOS_NO_COINCIDEN;
        QTest::newRow("columna desconocida") << "NOEXISTE" << QVariant(1) << ELEMENTO_NO_ENCONTRADO;
    }

    void valores_que_no_caben()
    {
        QFETCH(QString, columna);
        QFETCH(QVariant, valor);
        QFETCH(qint32, error);
        auto b = backend();
        b->insertar("t", {"TEXTO"}, {"antes"});
        const QByteArray antes = contenido(ruta("t.dbf"));
        const auto f = fallo_de([&] { b->insertar("t", {"TEXTO", columna}, {"nunca", valor}); });
        QVERIFY(f);
        QCOMPARE(f->numero(), error);
        QVERIFY2(f->descripcion().contains(columna), qPrintable(f->descripcion()));
        QCOMPARE(contenido(ruta("t.dbf")), antes);
        QCOMPARE(b->registros("t"), qint64(1));
        // The backend goes on as if nothing had been tried.
        b->insertar("t", {"TEXTO"}, {"después"});
        const TablaDbf t = leer_dbf(ruta("t.dbf"));
        QCOMPARE(t.filas.size(), 2);
        QCOMPARE(t.filas[1].value("TEXTO"), QVariant("después"));
        QVERIFY(!contenido(ruta("t.dbf")).contains('*'));
    }

    void cada_fila_como_si_fuera_la_primera()
    {
        // Each row appended after others is the record the same row makes
        // alone in a new table, or fails as it would there.
        const QVector<std::pair<QStringList, QVariantList>> filas = {
            {{"TEXTO", "IMPORTE", "FECHA"}, {"uno", 1.5, QDate(2026, 1, 2)}},
            {{"IMPORTE", "FECHA"}, {1.5, QDate(2026, 1, 2)}},
            {{"FECHA", "TEXTO", "ENTERO"}, {QDate(2026, 1, 3), "dos", "A123"}},
            {{"ENTERO", "IMPORTE", "FECHA"}, {7, -0.0, QDate(2026, 1, 2)}},
            {{"TEXTO", "IMPORTE", "ENTERO"}, {QString(), 0.0, 7.0}},
            {{"TEXTO", "IMPORTE", "TEXTO"}, {"uno", QVariant(), "tres"}},
        };
        auto b = backend();
        QVector<QByteArray> solas;
        for (const auto& [columnas, valores] : filas) {
            const bool falla = fallo_de([&] { b->insertar("t", columnas, valores); }).has_value();
            QTemporaryDir otra;
            crear_tabla(otra.filePath("t.dbf"), todos_los_tipos);
            const bool sola_falla =
                fallo_de([&] { abrir_dbase(otra.path())->insertar("t", columnas, valores); }).has_value();
            QCOMPARE(falla, sola_falla);
            if (!sola_falla) solas << registro(contenido(otra.filePath("t.dbf")), 0);
        }
        const QByteArray f = contenido(ruta("t.dbf"));
        QCOMPARE(b->registros("t"), qint64(solas.size()));
        for (int i = 0; i < solas.size(); ++i) QCOMPARE(registro(f, i), solas[i]);
    }

    // Rows put value by value make the records insertar_fila makes of the
    // same values, and fail where it fails; a row that failed leaves no
    // trace in the next (its fields are formatted again).
    void fila_directa_como_insertar_fila()
    {
        const QVector<QVariantList> filas = {
            // TEXTO, ENTERO, IMPORTE, FECHA, LOGICO, MONEDA
            {"uno", 7, 1.5, QDate(2026, 1, 2), true, "2"},
            {"uno", 7, 1.5, QDate(2026, 1, 2), true, "2"},
            {"Factura Nº1", 7.0000001, 0.1 + 0.2, QDate(2026, 1, 3), QVariant(), 2.0},
            {"dos", "A123", 2.5, QDate(2026, 1, 3), false, "2"},
            {"dos", 8, 1e10, QDate(2026, 1, 3), false, "2"},
            {"dos", 8, 2.5, QDate(2026, 1, 3), false, "2"},
            {QString(19, 'a') + QString::fromUtf16(u"e\u0301"), "1234", -0.0, QVariant(), QVariant(), QVariant()},
            {QVariant(), QVariant(), QVariant(), QDate(999, 1, 2), QVariant(), QVariant()},
        };
        QTemporaryDir otra;
        crear_tabla(otra.filePath("t.dbf"), todos_los_tipos);
        auto directa = backend();
        auto por_filas = abrir_dbase(otra.path());
        const QVector<Columna> cs = directa->columnas("t");
        for (const QVariantList& fila : filas) {
            // Every other row leaves its Nulls out instead of giving them.
            const bool sin_nulos = (&fila - filas.data()) % 2;
            QVector<ValorDirecto> valores;
            QVariantList como_filas(fila.size());
            QVector<bool> asignada(fila.size(), false);
            for (int c = 0; c < fila.size(); ++c) {
                const QVariant& v = fila[c];
                if (sin_nulos && !v.isValid()) continue;
                ValorDirecto& d = valores.emplace_back();
                d.columna = c;
                switch (v.typeId()) {
                case QMetaType::UnknownType: d.tipo = ValorDirecto::Nulo; break;
                case QMetaType::QString:
                    d.tipo = ValorDirecto::Texto;
                    d.texto = static_cast<const QString*>(v.constData());
                    break;
                case QMetaType::Int:
                case QMetaType::Double:
                    d.tipo = ValorDirecto::Numero;
                    d.numero = v.toDouble();
                    break;
                case QMetaType::QDate:
                    d.tipo = ValorDirecto::Fecha;
                    d.fecha = v.toDate();
                    break;
                default: d.tipo = ValorDirecto::Otro; d.otro = &v;
                }
                como_filas[c] = d.variante();
                asignada[c] = true;
            }
            FilaDirecta* f = directa->fila_directa("t", cs);
            QVERIFY(f);
            const auto fallo = fallo_de([&] { f->anadir(valores.constData(), int(valores.size())); });
            const auto otro =
                fallo_de([&] { por_filas->insertar_fila("t", por_filas->columnas("t"), como_filas, asignada); });
            QCOMPARE(fallo.has_value(), otro.has_value());
            if (fallo) QCOMPARE(fallo->numero(), otro->numero());
        }
        QCOMPARE(directa->registros("t"), qint64(6));
        QCOMPARE(contenido(ruta("t.dbf")), contenido(otra.filePath("t.dbf")));
        // Columns given by another table's opening are not taken.
        QVERIFY(!directa->fila_directa("t", por_filas->columnas("t")));
    }

    void cabecera_y_fin_tras_cada_fila()
    {
        auto b = backend();
        QCOMPARE(leer(*b, "SELECT MAX(ENTERO) as ultimo FROM t").filas, (QVector<QVariantList>{{QVariant()}}));
        for (int i = 1; i <= 3; ++i) {
            b->insertar("t", {"ENTERO", "FECHA"}, {40000.0 + i, QDate(2009, 12, i)});
            // Read by another program while our handle stays open.
            const TablaDbf t = leer_dbf(ruta("t.dbf"));
            QCOMPARE(t.registros_cabecera, qint64(i));
            QVERIFY(t.marca_fin);
            QCOMPARE(t.filas.size(), i);
            QCOMPARE(t.filas.last().value("ENTERO").toDouble(), 40000.0 + i);
            QCOMPARE(t.filas.last().value("FECHA"), QVariant(QDate(2009, 12, i)));
            QCOMPARE(QFileInfo(ruta("t.dbf")).size(), qint64(32 + 32 * 6 + 1 + i * (1 + 20 + 8 + 12 + 8 + 1 + 1) + 1));
        }
        QCOMPARE(leer(*b, "SELECT MAX(ENTERO) as ultimo FROM t").filas[0][0], QVariant(40003.0));
    }

    void plantilla_ajena_data()
    {
        QTest::addColumn<int>("controlador");
        QTest::addColumn<QString>("codificacion");
        QTest::newRow("Windows ANSI") << 0x57 << "cp1252";
        QTest::newRow("Windows ANSI, 0x03") << 0x03 << "cp1252";
        QTest::newRow("MS-DOS 437") << 0x01 << "cp437";
        QTest::newRow("MS-DOS 850") << 0x02 << "cp850";
    }

    // Someone else's journal: lower-case names, other widths and order, a
    // column we never write, another code page.
    void plantilla_ajena()
    {
        QFETCH(int, controlador);
        QFETCH(QString, codificacion);
        crear_tabla(ruta("Xdiario.dbf"),
                    {{"extra", 'C', 5, 0},
                     {"concepto", 'C', 12, 0},
                     {"fecha", 'D', 8, 0},
                     {"asien", 'N', 6, 0},
                     {"eurodebe", 'N', 10, 3},
                     {"monedauso", 'N', 1, 0}},
                    controlador);
        auto b = backend();
        b->insertar("Xdiario", {"Asien", "Fecha", "Concepto", "EuroDebe", "MonedaUso"},
                    {40000.0, QDate(2009, 12, 31), "Factura Nº12345", 100.4, "2"});
        const TablaDbf t = leer_dbf(ruta("Xdiario.dbf"));
        QCOMPARE(t.codificacion, codificacion);
        QCOMPARE(t.columnas, (QStringList{"extra", "concepto", "fecha", "asien", "eurodebe", "monedauso"}));
        QCOMPARE(t.filas.size(), 1);
        const QVariantMap f = t.filas[0];
        QCOMPARE(f.value("concepto"), QVariant("Factura Nº12"));
        QCOMPARE(f.value("asien").toDouble(), 40000.0);
        QCOMPARE(f.value("eurodebe").toDouble(), 100.4);
        QCOMPARE(f.value("monedauso").toDouble(), 2.0);
        QCOMPARE(f.value("fecha"), QVariant(QDate(2009, 12, 31)));
        QCOMPARE(f.value("extra"), QVariant(""));

        const Resultado r = leer(*b, "SELECT * FROM XDIARIO WHERE CONCEPTO = ?", {"Factura Nº12"});
        QCOMPARE(r.filas.size(), 1);
        QCOMPARE(r.filas[0][1], QVariant("Factura Nº12"));
    }

    void indice_sigue_las_altas()
    {
        auto b = backend();
        const QString sql = "SELECT * FROM SubCta WHERE COD = ?";
        QCOMPARE(leer(*b, sql, {"430000001"}).filas.size(), 0);
        b->insertar("SubCta", {"COD", "TITULO"}, {"430000001", "Uno"});
        b->insertar("SubCta", {"COD", "TITULO"}, {"430000002", "Dos"});
        b->insertar("SubCta", {"COD", "TITULO"}, {"430000001", "Otra vez"});
        const Resultado r = leer(*b, sql, {"430000001"});
        QCOMPARE(r.filas.size(), 2);
        QCOMPARE(r.filas[1][1], QVariant("Otra vez"));
        QCOMPARE(r.claves, (QVector<qint64>{0, 2}));
        QCOMPARE(leer(*b, sql, {"430000002"}).filas.size(), 1);
        QCOMPARE(leer(*b, sql, {"43000000"}).filas.size(), 0);
    }

    void indice_tras_otro_escritor()
    {
        auto b = backend();
        const QString sql = "SELECT * FROM SubCta WHERE COD = ?";
        b->insertar("SubCta", {"COD"}, {"430000001"});
        QCOMPARE(leer(*b, sql, {"430000002"}).filas.size(), 0);
        QCOMPARE(leer(*b, "SELECT MAX(COD) as m FROM SubCta").filas[0][0], QVariant("430000001"));

        // Another connection of this program.
        auto otra = backend();
        otra->insertar("SubCta", {"COD"}, {"430000002"});
        QCOMPARE(leer(*b, sql, {"430000002"}).filas.size(), 1);
        QCOMPARE(leer(*b, "SELECT MAX(COD) as m FROM SubCta").filas[0][0], QVariant("430000002"));

        // Another program appending with its own handle.
        otro_escritor_anade(ruta("SubCta.dbf"), {"430000003", "Ajena"});
        QCOMPARE(leer(*b, sql, {"430000003"}).filas.size(), 1);
        b->insertar("SubCta", {"COD"}, {"430000004"});
        QCOMPARE(leer_dbf(ruta("SubCta.dbf")).filas.size(), 4);
        QCOMPARE(b->registros("SubCta"), qint64(4));

        // The file replaced by a fresh copy, as a new transfer does.
        crear_tabla(ruta("nueva.dbf"), subcuentas);
        QFile::remove(ruta("SubCta.dbf"));
        QFile::rename(ruta("nueva.dbf"), ruta("SubCta.dbf"));
        QCOMPARE(leer(*b, sql, {"430000001"}).filas.size(), 0);
        QCOMPARE(leer(*b, "SELECT MAX(COD) as m FROM SubCta").filas[0][0], QVariant());
        b->insertar("SubCta", {"COD"}, {"430000009"});
        QCOMPARE(leer_dbf(ruta("SubCta.dbf")).filas.size(), 1);
        QCOMPARE(otra->registros("SubCta"), qint64(1));
    }

    // In a group a file is checked on its first use only: a change made
    // before the group is seen there, one made after it at the next use.
    void altas_en_grupo_se_escriben_juntas()
    {
        // In a group the appends wait, read by this engine and not on the
        // file, until volcar or the group's end writes them together; a
        // cut within them drops held records only.
        auto b = backend();
        const auto en_el_fichero = [&] {
            const TablaDbf t = leer_dbf(ruta("SubCta.dbf"));
            return t.marca_fin ? t.registros_cabecera : qint64(-1);
        };
        b->agrupar(true);
        for (int i = 0; i < 70; ++i) b->insertar("SubCta", {"COD"}, {QString::number(i)});
        QCOMPARE(b->registros("SubCta"), qint64(70));
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"69"}).claves, (QVector<qint64>{69}));
        QCOMPARE(leer(*b, "SELECT MAX(COD) as m FROM SubCta").filas[0][0], QVariant("9"));
        QCOMPARE(en_el_fichero(), qint64(0));
        const MotorDbase::Retenidos r = b->retenidos("SubCta");
        QCOMPARE(r.base, qint64(0));
        QCOMPARE(r.registros, qint64(70));
        QCOMPARE(r.bytes.size(), 70 * r.largo);
        b->recortar("SubCta", 60);
        QCOMPARE(b->registros("SubCta"), qint64(60));
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"65"}).filas.size(), 0);
        b->volcar();
        QCOMPARE(en_el_fichero(), qint64(60));
        b->insertar("SubCta", {"COD"}, {"fin"});
        QCOMPARE(en_el_fichero(), qint64(60));
        b->agrupar(false);
        QCOMPARE(en_el_fichero(), qint64(61));
    }

    // A group's records written by another run of the link over whatever
    // an interrupted write left past the count.
    void reponer_sobre_una_cola()
    {
        auto b = backend();
        b->insertar("SubCta", {"COD"}, {"1"});
        b->agrupar(true);
        b->insertar("SubCta", {"COD"}, {"2"});
        b->insertar("SubCta", {"COD"}, {"3"});
        const MotorDbase::Retenidos r = b->retenidos("SubCta");
        b->recortar("SubCta", 1);
        b->agrupar(false);
        const QString identidad = b->identidad("SubCta");
        QFile f(ruta("SubCta.dbf"));
        QVERIFY(f.open(QIODevice::Append));
        f.write(r.bytes.left(r.largo + 5));
        f.close();
        auto otra = backend();
        QCOMPARE(otra->cola("SubCta"), QByteArray("\x1A", 1) + r.bytes.left(r.largo + 5));
        QVERIFY(otra->identidad("SubCta") != identidad);
        QCOMPARE(otra->registros("SubCta"), qint64(1));
        otra->reponer("SubCta", r.bytes);
        QCOMPARE(otra->cola("SubCta"), QByteArray("\x1A", 1));
        const TablaDbf t = leer_dbf(ruta("SubCta.dbf"));
        QCOMPARE(t.registros_cabecera, qint64(3));
        QCOMPARE(t.filas.size(), 3);
        QCOMPARE(t.filas[2].value("COD").toString(), QString("3"));
    }

    void otro_escritor_entre_grupos()
    {
        auto b = backend();
        b->insertar("SubCta", {"COD"}, {"1"});
        otro_escritor_anade(ruta("SubCta.dbf"), {"2", "Ajena"});
        b->agrupar(true);
        QCOMPARE(b->registros("SubCta"), qint64(2));
        b->insertar("SubCta", {"COD"}, {"3"});
        const Resultado leido = leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"3"});
        b->actualizar("SubCta", leido, 0, {"TITULO"}, {"Tres"});
        b->insertar("SubCta", {"COD"}, {"9"});
        b->recortar("SubCta", 3);
        b->insertar("SubCta", {"COD"}, {"4"});
        b->agrupar(false);
        otro_escritor_anade(ruta("SubCta.dbf"), {"5", "Ajena"});
        b->agrupar(true);
        b->insertar("SubCta", {"COD"}, {"6"});
        b->agrupar(false);
        const TablaDbf t = leer_dbf(ruta("SubCta.dbf"));
        QCOMPARE(t.registros_cabecera, qint64(6));
        QVERIFY(t.marca_fin);
        QStringList cods, titulos;
        for (const auto& f : t.filas) {
            cods << f.value("COD").toString();
            titulos << f.value("TITULO").toString();
        }
        QCOMPARE(cods, (QStringList{"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(titulos, (QStringList{"", "Ajena", "Tres", "", "Ajena", ""}));
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"5"}).claves, (QVector<qint64>{4}));
    }

    void registros_borrados()
    {
        auto b = backend();
        for (const char* cod : {"1", "2", "3"}) b->insertar("SubCta", {"COD"}, {cod});
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"2"}).filas.size(), 1);
        DBFHandle h = DBFOpen(QFile::encodeName(ruta("SubCta.dbf")).constData(), "rb+");
        DBFMarkRecordDeleted(h, 1, 1);
        DBFClose(h);
        const Resultado r = leer(*b, "SELECT * FROM SubCta");
        QCOMPARE(r.filas.size(), 2);
        QCOMPARE(r.claves, (QVector<qint64>{0, 2}));
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"2"}).filas.size(), 0);
        QCOMPARE(leer_dbf(ruta("SubCta.dbf")).filas.size(), 2);
        QCOMPARE(b->registros("SubCta"), qint64(3));
    }

    void recortar()
    {
        auto b = backend();
        for (int i = 1; i <= 5; ++i) b->insertar("t", {"ENTERO"}, {double(i)});
        QCOMPARE(leer(*b, "SELECT * FROM t WHERE ENTERO = ?", {5}).filas.size(), 1);
        QCOMPARE(leer(*b, "SELECT MAX(ENTERO) as ultimo FROM t").filas[0][0], QVariant(5.0));
        b->recortar("t", 3);
        QCOMPARE(b->registros("t"), qint64(3));
        TablaDbf t = leer_dbf(ruta("t.dbf"));
        QCOMPARE(t.registros_cabecera, qint64(3));
        QVERIFY(t.marca_fin);
        QCOMPARE(t.filas.size(), 3);
        QCOMPARE(leer(*b, "SELECT * FROM t WHERE ENTERO = ?", {5}).filas.size(), 0);
        QCOMPARE(leer(*b, "SELECT MAX(ENTERO) as ultimo FROM t").filas[0][0], QVariant(3.0));
        b->insertar("t", {"ENTERO"}, {4.0});
        t = leer_dbf(ruta("t.dbf"));
        QCOMPARE(t.filas.size(), 4);
        QCOMPARE(t.filas.last().value("ENTERO").toDouble(), 4.0);
        QCOMPARE(leer(*b, "SELECT * FROM t WHERE ENTERO = ?", {4.0}).claves, (QVector<qint64>{3}));
        QVERIFY(fallo_de([&] { b->recortar("t", 9); }));
        b->recortar("t", 0);
        QCOMPARE(leer_dbf(ruta("t.dbf")).filas.size(), 0);
        QCOMPARE(QFileInfo(ruta("t.dbf")).size(), qint64(32 + 32 * 6 + 1 + 1));
    }

    void actualizar()
    {
        auto b = backend();
        b->insertar("SubCta", {"COD", "TITULO"}, {"430", "Antes"});
        b->insertar("SubCta", {"COD", "TITULO"}, {"431", "Otra"});
        const Resultado r = leer(*b, "SELECT * FROM SubCta WHERE COD = ?", {"431"});
        b->actualizar("SubCta", r, 0, {"titulo"}, {"Después"});
        const TablaDbf t = leer_dbf(ruta("SubCta.dbf"));
        QCOMPARE(t.filas[0].value("TITULO"), QVariant("Antes"));
        QCOMPARE(t.filas[1].value("TITULO"), QVariant("Después"));
        // The row read before no longer holds what it held.
        const auto f = fallo_de([&] { b->actualizar("SubCta", r, 0, {"TITULO"}, {"Otra vez"}); });
        QVERIFY(f);
        QCOMPARE(f->numero(), FILA_NO_LOCALIZADA);
        QCOMPARE(leer(*b, "SELECT * FROM SubCta WHERE TITULO = ?", {"Después"}).filas.size(), 1);
    }

    // Through the connection strings and recordsets the link uses.
    void por_conexion_data()
    {
        QTest::addColumn<QString>("dbq");
        QTest::newRow("TMP") << "C:\\ContaEli\\TMP;";
        QTest::newRow("otra caja") << "c:\\contaeli\\tmp;";
        QTest::newRow("barra final") << "C:\\ContaEli\\TMP\\;";
    }

    void por_conexion()
    {
        QFETCH(QString, dbq);
        QTemporaryDir raiz;
        const QString tmp = raiz.filePath("C/ContaEli/TMP");
        QVERIFY(QDir().mkpath(tmp));
        crear_tabla(tmp + "/Xdiario.dbf", {{"ASIEN", 'N', 8, 0},
                                           {"FECHA", 'D', 8, 0},
                                           {"SUBCTA", 'C', 12, 0},
                                           {"CONCEPTO", 'C', 25, 0},
                                           {"EURODEBE", 'N', 16, 2},
                                           {"MONEDAUSO", 'C', 1, 0}});
        crear_tabla(tmp + "/XSubCta.dbf", {{"COD", 'C', 12, 0}, {"TITULO", 'C', 40, 0}, {"DIVISA", 'L', 1, 0}});
        Conexion cn;
        cn.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=" + dbq, Unidades(raiz.path()));

        Recordset rs;
        rs.abrir("SELECT MAX(ASIEN) as ultimo FROM Xdiario", cn, Cursor::Dinamico, Bloqueo::Optimista);
        QVERIFY(!rs.eof());
        QVERIFY(!rs.campo("ultimo").isValid());
        rs.cerrar();

        for (int i = 1; i <= 2; ++i) {
            rs.abrir("SELECT * FROM Xdiario", cn, Cursor::Dinamico, Bloqueo::Optimista);
            rs.nuevo();
            rs.asignar("Asien", 40000.0 + i);
            rs.asignar("Fecha", QDate(2009, 12, 31));
            rs.asignar("subcta", "570000000");
            rs.asignar("Concepto", "Total Dia TARJETA VISA ORO");
            rs.asignar("EuroDebe", 150.5);
            rs.asignar("MonedaUso", i == 1 ? QVariant("2") : QVariant(2));
            rs.guardar();
            QVERIFY(!rs.leido());  // adding a row never reads the journal
            rs.cerrar();
        }
        QCOMPARE(cn.dbase().registros("Xdiario"), qint64(2));
        const TablaDbf t = leer_dbf(tmp + "/Xdiario.dbf");
        QCOMPARE(t.filas.size(), 2);
        QCOMPARE(t.filas[1].value("ASIEN").toDouble(), 40002.0);
        QCOMPARE(t.filas[1].value("CONCEPTO"), QVariant("Total Dia TARJETA VISA OR"));
        QCOMPARE(t.filas[1].value("EURODEBE").toDouble(), 150.5);
        QCOMPARE(t.filas[0].value("MONEDAUSO"), QVariant("2"));
        QCOMPARE(t.filas[1].value("MONEDAUSO"), QVariant("2"));

        rs.abrir("SELECT MAX(ASIEN) as ultimo FROM Xdiario", cn, Cursor::Dinamico, Bloqueo::Optimista);
        QCOMPARE(rs.campo("ultimo").toDouble(), 40002.0);
        rs.cerrar();

        // A subaccount added once, found by its code afterwards.
        for (int vez = 0; vez < 2; ++vez) {
            rs.abrir("SELECT * FROM xsubcta WHERE COD = ?", cn, Cursor::Dinamico, Bloqueo::Optimista, {"475300000"});
            if (rs.eof()) {
                QCOMPARE(vez, 0);
                rs.nuevo();
                rs.asignar("COD", "475300000");
                rs.asignar("TITULO", "Tasa Turística EET");
                rs.asignar("DIVISA", false);
                rs.guardar();
            } else {
                QCOMPARE(vez, 1);
                QCOMPARE(rs.campo("titulo"), QVariant("Tasa Turística EET"));
                QCOMPARE(rs.campo("divisa"), QVariant(false));
            }
            rs.cerrar();
        }
        QCOMPARE(leer_dbf(tmp + "/XSubCta.dbf").filas.size(), 1);

        // A row just added and then changed through the same recordset.
        rs.abrir("SELECT * FROM Xdiario", cn, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar("Asien", 3.0);
        rs.asignar("Concepto", "Un concepto demasiado largo para su columna");
        rs.guardar();
        rs.asignar("subcta", "430000123");
        rs.guardar();
        rs.cerrar();
        QCOMPARE(leer_dbf(tmp + "/Xdiario.dbf").filas.last().value("SUBCTA"), QVariant("430000123"));

        cn.dbase().recortar("Xdiario", 2);
        QCOMPARE(leer_dbf(tmp + "/Xdiario.dbf").filas.size(), 2);

        try {
            rs.abrir("SELECT * FROM SubCta WHERE COD = ?", cn, Cursor::Dinamico, Bloqueo::SoloLectura, {"1"});
            QFAIL("opened a table that does not exist");
        } catch (const Fallo& e) {
            QCOMPARE(e.numero(), TABLA_INEXISTENTE);
        }
        try {
            cn.ejecutar("DELETE FROM Xdiario");
            QFAIL("executed a statement");
        } catch (const Fallo& e) {
            QVERIFY(e.descripcion().contains("\"DELETE FROM Xdiario\""));
        }
    }

    void carpeta_de_conexion_inexistente()
    {
        QTemporaryDir raiz;
        Conexion cn;
        try {
            cn.abrir("Driver={Microsoft dBASE Driver (*.dbf)};DriverID=277;dbq=C:\\ContaEli\\EMP0001;",
                     Unidades(raiz.path()));
            QFAIL("opened a folder that does not exist");
        } catch (const Fallo& e) {
            QCOMPARE(e.numero(), FALLO_GENERAL);
            QVERIFY2(e.descripcion().contains("EMP0001"), qPrintable(e.descripcion()));
        }
        QVERIFY(!cn.abierta());
    }
};

QTEST_GUILESS_MAIN(TstDbase)
#include "tst_dbase.moc"
