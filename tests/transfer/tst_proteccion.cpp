// What protects the clerk's postings between runs: the previous output kept
// when the external mode replaces it, the installation's lock, and the
// checks and repairs of the ContaPlus files at activation.
#include "platform/sistema/Cerrojo.h"
#include "tests/support/Dbf.h"
#include "tests/support/Entorno.h"
#include "tests/transfer/tst_traspaso_escenario.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTest>
#include <optional>

namespace {

// Writes a lock file as another transfer would leave it.
void cerrojo_ajeno(const QString& carpeta, qint64 proceso)
{
    QFile f(QDir(carpeta).filePath("enlace.lck"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(
        QStringLiteral("enlace\n%1\n%2\n2026-12-01T10:00:00\n").arg(QSysInfo::machineHostName()).arg(proceso).toUtf8());
}

// A process id that is surely not running: one that has just ended.
qint64 proceso_muerto()
{
    QProcess p;
    p.start("true");
    const qint64 pid = p.processId();  // 0 once it has ended
    p.waitForFinished();
    return pid > 0 ? pid : 999999;
}

// A folder nobody may write in, not even root (the immutable attribute),
// for the life of the object.
class SoloLectura {
public:
    explicit SoloLectura(const QString& carpeta) : carpeta_(carpeta)
    {
        if (QProcess::execute("chattr", {"+i", carpeta_}) != 0)
            QFile::setPermissions(carpeta_, QFile::ReadOwner | QFile::ExeOwner);
        QFile prueba(carpeta_ + "/prueba");
        vale_ = !prueba.open(QIODevice::WriteOnly);
        if (!vale_) prueba.remove();
    }
    ~SoloLectura()
    {
        QProcess::execute("chattr", {"-i", carpeta_});
        QFile::setPermissions(carpeta_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool vale() const { return vale_; }

private:
    QString carpeta_;
    bool vale_ = false;
};

void anadir_bytes(const QString& ruta, const QByteArray& bytes)
{
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::Append));
    f.write(bytes);
}

}  // namespace

class TstProteccion : public QObject {
    Q_OBJECT

private slots:
    // With ContaPlus out of reach, a new activation keeps what the last run
    // wrote, under a dated name, and the next log names the copy.
    void externa_guarda_la_salida_anterior()
    {
        Instalacion inst;
        escenario_base(inst);
        inst.ajustes({{"Externa", true}});
        QCOMPARE(transferir(inst, "01032026", "05032026"), FinTraspaso::Correcto);
        const QStringList primero = lineas(ruta_diario(inst, true));
        QVERIFY(!primero.isEmpty());

        Entorno e(inst);
        QCOMPARE(e.correr("01032026", "05032026"), FinTraspaso::Correcto);
        const QStringList copias =
            QDir(inst.local("C:\\ContaEli")).entryList({"Xdiario_*.dbf", "XSubCta_*.dbf"}, QDir::Files);
        QCOMPARE(copias.size(), 2);
        const QString copia_diario = copias.filter("Xdiario_").value(0);
        QVERIFY(QRegularExpression("^Xdiario_\\d{6}_\\d{6}\\.dbf$").match(copia_diario).hasMatch());
        QCOMPARE(lineas(QDir(inst.local("C:\\ContaEli")).filePath(copia_diario)), primero);
        QCOMPARE(leer_dbf(ruta_diario(inst, true)).filas.size(), 0);

        QFile log(QDir(inst.local("C:\\quelmira\\sp1")).filePath(inst.logs().last()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromLatin1(log.readAll()).contains(copia_diario));
    }

    // Who holds the installation decides whether the window may prepare it:
    // only a live transfer's lock of the system keeps it out, not what the
    // lock file says.
    void cerrojo_data()
    {
        QTest::addColumn<QString>("carpeta");
        QTest::addColumn<qint64>("proceso");  // the pid the file names; 0: a live transfer holds it
        QTest::addColumn<QString>("aviso");   // empty: the lock is taken over
        const QString ocupado = "otro traspaso a contabilidad en curso en esta instalación: lo está haciendo el "
                                "puesto " +
                                QSysInfo::machineHostName() + ", proceso " +
                                QString::number(QCoreApplication::applicationPid());
        QTest::newRow("otro traspaso en curso") << "C:\\quelmira" << qint64(0) << ocupado;
        QTest::newRow("otro traspaso en la carpeta de ContaPlus") << "C:\\ContaEli" << qint64(0) << ocupado;
        // Process 1 is always alive, and is no transfer: a pid reused after a crash.
        QTest::newRow("proceso vivo que no es un traspaso") << "C:\\quelmira" << qint64(1) << "";
        QTest::newRow("un traspaso que murió") << "C:\\ContaEli" << proceso_muerto() << "";
        QTest::newRow("proceso enorme") << "C:\\quelmira" << qint64(99999999999) << "";
        QTest::newRow("carpeta de ContaPlus de solo lectura")
            << "C:\\ContaEli" << qint64(-1) << "No se puede escribir en la carpeta C:\\ContaEli: Acceso denegado";
    }
    void cerrojo()
    {
        QFETCH(QString, carpeta);
        QFETCH(qint64, proceso);
        QFETCH(QString, aviso);
        Instalacion inst;
        escenario_base(inst);
        const QString local = inst.local(carpeta);
        Cerrojo otro;
        std::optional<SoloLectura> solo_lectura;
        if (proceso == 0) {
            QString quien;
            QCOMPARE(otro.tomar(local, &quien), Cerrojo::Resultado::Tomado);
        } else if (proceso > 0) {
            cerrojo_ajeno(local, proceso);
        } else {
            solo_lectura.emplace(local);
            if (!solo_lectura->vale()) QSKIP("no se puede quitar el permiso de escritura a la carpeta");
        }
        // What an earlier version left when it died while taking the lock.
        if (proceso > 0) QVERIFY(QFile(local + "/enlace.lck.123456").open(QIODevice::WriteOnly));

        Entorno e(inst);
        const bool preparado = e.t.activar();
        QCOMPARE(preparado, aviso.isEmpty());
        if (!preparado) {
            QCOMPARE(e.vista.cierres, 1);
            const QString texto = e.clerk.textos().join("\n");
            QVERIFY2(texto.contains(aviso), qPrintable(texto));
            QVERIFY(inst.filas("cajj").isEmpty());
            return;
        }
        QVERIFY(!QFile::exists(local + "/enlace.lck.123456"));
        QCOMPARE(e.correr("01032026", "05032026"), FinTraspaso::Correcto);
        // Released at the end of the run.
        QVERIFY(!QFile::exists(inst.local("C:\\quelmira\\enlace.lck")));
        QVERIFY(!QFile::exists(inst.local("C:\\ContaEli\\enlace.lck")));
    }

    // What the activation finds in TMP: repaired when it is what a stopped
    // run left, refused with the file named when it cannot be ours.
    void ficheros_a_la_apertura_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<bool>("preparado");
        QTest::addColumn<QString>("aviso");
        QTest::newRow("falta XSubCta") << "sin_subcuentas" << true << "";
        QTest::newRow("registro a medio escribir") << "cola" << true << "";
        QTest::newRow("cabecera que no cuadra") << "basura" << false << "está dañado";
    }
    void ficheros_a_la_apertura()
    {
        QFETCH(QString, caso);
        QFETCH(bool, preparado);
        QFETCH(QString, aviso);
        Instalacion inst;
        escenario_base(inst);
        QCOMPARE(transferir(inst, "01032026", "01032026"), FinTraspaso::Correcto);
        const QString diario = ruta_diario(inst);
        if (caso == "sin_subcuentas") QVERIFY(QFile::remove(ruta_subcuentas(inst)));
        if (caso == "cola") anadir_bytes(diario, QByteArray(40, 'x'));
        if (caso == "basura") anadir_bytes(diario, QByteArray(100000, '\0'));

        Entorno e(inst);
        QVERIFY(e.t.activar());
        QCOMPARE(e.t.preparado, preparado);
        if (!preparado) {
            const QString texto = e.clerk.textos().join("\n");
            QVERIFY2(texto.contains(aviso) && texto.contains("Xdiario.dbf"), qPrintable(texto));
            const int staged = inst.filas("cajj").size();
            QCOMPARE(e.correr("02032026", "05032026"), FinTraspaso::SinPreparar);
            QCOMPARE(inst.filas("cajj").size(), staged);
            return;
        }
        QCOMPARE(e.correr("02032026", "05032026"), FinTraspaso::Correcto);
        const TablaDbf t = leer_dbf(diario);
        QCOMPARE(t.registros_cabecera, qint64(t.filas.size()));
        QVERIFY(t.marca_fin);
        QVERIFY(descuadres(t).isEmpty());
        QVERIFY(QFile::exists(ruta_subcuentas(inst)));
        if (caso == "cola") {
            QFile log(QDir(inst.local("C:\\quelmira\\sp1")).filePath(inst.logs().last()));
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(QString::fromLatin1(log.readAll()).contains("Reparado"));
        }
        // As the same two runs leave it on an installation left alone.
        Instalacion ref;
        escenario_base(ref);
        QCOMPARE(transferir(ref, "01032026", "01032026"), FinTraspaso::Correcto);
        QCOMPARE(transferir(ref, "02032026", "05032026"), FinTraspaso::Correcto);
        QCOMPARE(lineas(t), lineas(ruta_diario(ref)));
        if (caso != "sin_subcuentas") QCOMPARE(codigos(ruta_subcuentas(inst)), codigos(ruta_subcuentas(ref)));
    }
};

QTEST_GUILESS_MAIN(TstProteccion)
#include "tst_proteccion.moc"
