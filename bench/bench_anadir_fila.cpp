// What adding one row through a recordset costs on a table of 100, 10,000
// and 1,000,000 rows: open "SELECT * FROM cajj", add, set the fields, save,
// close, as the cash pass does for every movement. The cost must not grow
// with the table.
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <sqlite3.h>

namespace {

void crear_tabla(const QString& archivo, int filas)
{
    sqlite3* db = nullptr;
    sqlite3_open(archivo.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE cajj (CajFec TEXT, CajOrd INTEGER, CajFra TEXT, CajImp DOUBLE, CajCli TEXT, "
                 "CajDep TEXT, CajAnoF TEXT, CajCobroc TEXT, CajCre BIT, CajEstado TEXT);"
                 "BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO cajj VALUES (?, ?, ?, ?, '430000123', '', '2024', '01', 0, '1')", -1, &st,
                       nullptr);
    for (int i = 0; i < filas; ++i) {
        const QByteArray fecha = QByteArray::number(20000101 + i % 1000);
        sqlite3_bind_text(st, 1, fecha.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, i % 500);
        const QByteArray fra = QByteArray::number(i);
        sqlite3_bind_text(st, 3, fra.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 4, (i % 10000) / 100.0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double microsegundos_por_fila(Conexion& c, int veces)
{
    Recordset rs;
    QElapsedTimer reloj;
    reloj.start();
    for (int i = 0; i < veces; ++i) {
        rs.abrir(QStringLiteral("SELECT * FROM cajj"), c, Cursor::Dinamico, Bloqueo::Optimista);
        rs.nuevo();
        rs.asignar(QStringLiteral("CajFec"), QStringLiteral("20240315"));
        rs.asignar(QStringLiteral("CajOrd"), i);
        rs.asignar(QStringLiteral("CajFra"), QStringLiteral("F%1").arg(i));
        rs.asignar(QStringLiteral("CajImp"), 150.5);
        rs.asignar(QStringLiteral("CajCli"), QStringLiteral("430000123"));
        rs.asignar(QStringLiteral("CajDep"), QStringLiteral(""));
        rs.asignar(QStringLiteral("CajAnoF"), QStringLiteral("2024"));
        rs.asignar(QStringLiteral("CajCobroc"), QStringLiteral("01"));
        rs.asignar(QStringLiteral("CajEstado"), QStringLiteral("0"));
        rs.guardar();
        rs.cerrar();
    }
    return reloj.nsecsElapsed() / 1000.0 / veces;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int veces = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 2000;
    QTextStream salida(stdout);
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + QStringLiteral("/C/quelmira"));
    const Unidades unidades(dir.path());

    salida << "Añadir una fila a cajj (" << veces << " veces por tabla)\n";
    for (int filas : {100, 10000, 1000000}) {
        const QString nombre = QStringLiteral("enlace%1.MDB").arg(filas);
        crear_tabla(dir.path() + QStringLiteral("/C/quelmira/") + nombre, filas);
        Conexion c;
        c.abrir(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= C:\\quelmira\\") + nombre, unidades);
        microsegundos_por_fila(c, 20);  // statements prepared, pages cached
        const double us = microsegundos_por_fila(c, veces);
        salida << QStringLiteral("%1 filas: %2 µs por fila añadida\n").arg(filas, 9).arg(us, 0, 'f', 1);
        salida.flush();
    }
    return 0;
}
