// A receipt whose invoice is not found is marked in the hotel and left for
// the clerk: killed at any write of the cash pass, the next run that ends
// well still tells the clerk about it, and the run after that no more.
#include "tests/support/Convergencia.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QString DESDE = QStringLiteral("01112026");
const QString HASTA = QStringLiteral("03112026");
const QString AVISO = QStringLiteral("1 cobro cuya factura no se encuentra (contabilícelo a mano)");

}  // namespace

class TstCobrosSinFactura : public QObject {
    Q_OBJECT

private slots:
    void no_se_olvida_tras_matar();
};

void TstCobrosSinFactura::no_se_olvida_tras_matar()
{
    QTemporaryDir dir;
    const QString demo = dir.filePath(QStringLiteral("demo"));
    crear_demo(demo, {"--facturas", "8", "--semilla", "1", "--desde", DESDE, "--dias", "3"});

    // The unbroken run tells it once; it counts the writes of every file.
    const QString entera = dir.filePath(QStringLiteral("entera"));
    copiar_arbol(demo, entera);
    const Ejecucion e = traspasar(entera, DESDE, HASTA);
    QCOMPARE(e.estado, 0);
    QVERIFY2(e.salida.contains(AVISO), qPrintable(e.salida));
    QVERIFY(!traspasar(entera, DESDE, HASTA).salida.contains(AVISO));
    // A kill at every third of them, and at the last: during the cash pass,
    // and after its marks.
    qint64 escrituras = 0;
    for (const qint64 n : e.escrituras) escrituras += n;
    QVERIFY(escrituras > e.escrituras.value(QStringLiteral("caja.mdb")));

    for (qint64 n = 1; n <= escrituras; n = n == escrituras ? n + 1 : qMin(n + 3, escrituras)) {
        const QString raiz = dir.filePath(QStringLiteral("p%1").arg(n));
        copiar_arbol(demo, raiz);
        const Ejecucion matada =
            traspasar(raiz, DESDE, HASTA, {{QStringLiteral("ENLACE_AVERIA"), QStringLiteral("*:%1:matar").arg(n)}});
        QVERIFY2(matada.matada, qPrintable(QStringLiteral("escritura %1: %2").arg(n).arg(matada.salida)));
        const Ejecucion otra = traspasar(raiz, DESDE, HASTA);
        QCOMPARE(otra.estado, 0);
        // Killed after it told the clerk (writing the log or the report),
        // it has nothing left to tell.
        if (!matada.salida.contains(AVISO))
            QVERIFY2(otra.salida.contains(AVISO),
                     qPrintable(QStringLiteral("escritura %1:\n%2").arg(n).arg(otra.salida)));
        QVERIFY2(!traspasar(raiz, DESDE, HASTA).salida.contains(AVISO),
                 qPrintable(QStringLiteral("escritura %1").arg(n)));
        QCOMPARE(diferencias(leer_resultado(entera), leer_resultado(raiz)), QStringList());
    }
}

QTEST_GUILESS_MAIN(TstCobrosSinFactura)
#include "tst_cobros_sin_factura.moc"
