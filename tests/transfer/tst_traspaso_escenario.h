#pragma once
// What the transfer tests share: one run of the engine on an installation,
// the small hotel of three days that most tests transfer, and the journal
// read back with dbfread as short lines.
#include "platform/sql/Conexion.h"
#include "platform/sql/Recordset.h"
#include "platform/valores/Vb.h"
#include "tests/support/Dbf.h"
#include "tests/support/Entorno.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <cmath>
#include <memory>

inline FinTraspaso transferir(Instalacion& inst, const QString& desde, const QString& hasta,
                              QStringList* mensajes = nullptr)
{
    Entorno c(inst);
    const FinTraspaso fin = c.correr(desde, hasta);
    if (mensajes) *mensajes = c.clerk.textos();
    return fin;
}

inline QString ruta_diario(const Instalacion& inst, bool externa = false)
{
    return inst.local(externa ? "C:\\ContaEli\\Xdiario.dbf" : "C:\\ContaEli\\TMP\\Xdiario.dbf");
}

inline QString ruta_subcuentas(const Instalacion& inst, bool externa = false)
{
    return inst.local(externa ? "C:\\ContaEli\\XSubCta.dbf" : "C:\\ContaEli\\TMP\\XSubCta.dbf");
}

// Field of a dbfread row by name, whatever the case of the stored name.
inline QVariant col(const QVariantMap& fila, const QString& nombre)
{
    for (auto it = fila.begin(); it != fila.end(); ++it)
        if (it.key().compare(nombre, Qt::CaseInsensitive) == 0) return it.value();
    qFatal("no hay columna %s", qPrintable(nombre));
}

inline QString euros(const QVariant& v)
{
    return QString::number(v.toDouble(), 'f', 2);
}

// "asiento fecha subcuenta debe haber concepto" of every journal line.
inline QStringList lineas(const TablaDbf& diario)
{
    QStringList r;
    for (const QVariantMap& f : diario.filas)
        r << QStringLiteral("%1 %2 %3 %4 %5 %6")
                 .arg(col(f, "Asien").toDouble())
                 .arg(col(f, "Fecha").toDate().toString("dd/MM/yyyy"), col(f, "subcta").toString(),
                      euros(col(f, "EuroDebe")), euros(col(f, "EuroHaber")), col(f, "Concepto").toString());
    return r;
}

inline QStringList lineas(const QString& ruta)
{
    return QFile::exists(ruta) ? lineas(leer_dbf(ruta)) : QStringList();
}

// Entries whose euro debits and credits differ, as "asiento: debe/haber".
inline QStringList descuadres(const TablaDbf& diario)
{
    QMap<double, QPair<double, double>> sumas;
    for (const QVariantMap& f : diario.filas) {
        auto& s = sumas[col(f, "Asien").toDouble()];
        s.first += col(f, "EuroDebe").toDouble();
        s.second += col(f, "EuroHaber").toDouble();
    }
    QStringList r;
    for (auto it = sumas.begin(); it != sumas.end(); ++it)
        if (std::llround(it.value().first * 100) != std::llround(it.value().second * 100))
            r << QStringLiteral("%1: %2/%3").arg(it.key()).arg(it.value().first).arg(it.value().second);
    return r;
}

inline QStringList codigos(const QString& ruta_subcuentas)
{
    QStringList r;
    if (!QFile::exists(ruta_subcuentas)) return r;
    for (const QVariantMap& f : leer_dbf(ruta_subcuentas).filas) r << col(f, "COD").toString();
    return r;
}

// --- The hotel of the tests --------------------------------------------------

inline void forma(Instalacion& inst, const QString& cod, const QString& des, const QVariant& cta)
{
    inst.insertar("formas", {{"ForCod", cod}, {"ForDes", des}, {"ForCta", cta}});
}

struct Factura {
    QString num, fec;
    QString cie = "1";
    int c = 0;  // EmiC: 0 walk-in/customer, 1 agency, 2 company
    QString cli;
    QVariant nom, nif;
    double b[4] = {0, 0, 0, 0}, tipo[4] = {0, 0, 0, 0}, cuota[4] = {0, 0, 0, 0};
    double total = 0;
    QVariant dep = 0.0;
    QVariant tasa = 0.0;
    QString ano;  // EmiAno; the year of fec when empty
    QString n = "A";
};

inline void factura(Instalacion& inst, const Factura& f)
{
    QVariantMap fila{{"EmiAno", f.ano.isEmpty() ? f.fec.left(4) : f.ano},
                     {"EmiNum", f.num},
                     {"EmiFec", f.fec},
                     {"EmiN", f.n},
                     {"EmiCie", f.cie},
                     {"EmiC", f.c},
                     {"EmiCli", f.cli},
                     {"EmiNom", f.nom},
                     {"EmiNif", f.nif},
                     {"EmiTot", f.total},
                     {"EmiDep", f.dep},
                     {"TasaImporte", f.tasa}};
    for (int i = 0; i < 4; ++i) {
        fila.insert(QStringLiteral("EmiB%1").arg(i + 1), f.b[i]);
        fila.insert(QStringLiteral("EmiC%1").arg(i + 1), f.tipo[i]);
        fila.insert(QStringLiteral("EmiI%1").arg(i + 1), f.cuota[i]);
    }
    inst.insertar("emi", fila);
}

inline void cobro(Instalacion& inst, const QString& fec, int ord, const QVariant& fra, const QString& cobroc,
                  const QVariant& con, double imp, const QString& pago = "1", const QString& anof = {})
{
    inst.insertar("caja", {{"CajaFec", fec},
                           {"CajaOrd", ord},
                           {"CajaAnoF", anof.isEmpty() ? fec.left(4) : anof},
                           {"CajaFra", fra},
                           {"CajaCobroc", cobroc},
                           {"CajaCon", con},
                           {"CajaImp", imp},
                           {"CajaPago", pago},
                           {"CajaTur", QVariant()}});
}

// Three days of March 2026: a customer with an account, an agency without
// one (and a deposit and tourist tax on its invoice), a walk-in guest, an
// invoice still on an open bill; receipts by three payment methods, a
// deposit collection, a payment whose concept starts with "deposito" in
// lower case, one of an invoice that does not exist, one not paid, one
// outside the range. Apostrophes in a customer's code and name, Null tax
// numbers, a Null name. The sales account is in the company's own SubCta.
inline void escenario_base(Instalacion& inst)
{
    forma(inst, "1", "EFECTIVO", "570000000");
    forma(inst, "2", "VISA RECEPCION TURNO MAÑANA", "572000001");
    forma(inst, "3", "TRANSFERENCIA", "");
    inst.insertar("cli", {{"CliCod", "C'1"}, {"CliNom", "Juan O'Brien"}, {"CliCta", "430000501"}});
    inst.insertar("agen", {{"AgenCod", "00123"}, {"AgenNom", "Viajes Sol"}, {"AgenCta", QVariant()}});

    Factura f1;
    f1.num = "101", f1.fec = "20260301", f1.c = 0, f1.cli = "C'1", f1.nom = "Juan O'Brien", f1.nif = "12.345.678-z";
    f1.b[0] = 100, f1.tipo[0] = 10, f1.cuota[0] = 10, f1.total = 110;
    factura(inst, f1);

    Factura f2;
    f2.num = "102", f2.fec = "20260301", f2.cie = "0", f2.c = 1, f2.cli = " 00123 ", f2.nom = "Viajes Sol";
    f2.b[0] = 50, f2.tipo[0] = 10, f2.cuota[0] = 5;
    f2.b[1] = 200, f2.tipo[1] = 21, f2.cuota[1] = 42;
    f2.tasa = 3.30, f2.total = 300.30, f2.dep = 100.0;
    factura(inst, f2);

    Factura f3;
    f3.num = "103", f3.fec = "20260302", f3.cie = "0", f3.c = 0, f3.cli = "C'1", f3.nom = "Juan O'Brien";
    f3.b[0] = 10, f3.tipo[0] = 10, f3.cuota[0] = 1, f3.total = 11;
    factura(inst, f3);
    inst.insertar("cab", {{"CabNum1", "77"}, {"CabNum2", "103"}});

    Factura f5;
    f5.num = "105", f5.fec = "20260303", f5.cie = "0", f5.c = 0, f5.cli = "X9", f5.nom = QVariant();
    f5.b[0] = 100, f5.tipo[0] = 21, f5.cuota[0] = 21, f5.total = 121, f5.tasa = QVariant();
    factura(inst, f5);

    cobro(inst, "20260301", 1, "101", "1", "Cobro factura 101", 110);
    cobro(inst, "20260301", 2, "", "2", "Deposito N. 000077 reserva", 100);
    cobro(inst, "20260302", 1, "102", "2", QVariant(), 200.30);
    cobro(inst, "20260302", 2, "102", "3", "deposito aplicado", 100);
    cobro(inst, "20260302", 3, "999", "1", "Cobro", 40);
    cobro(inst, "20260302", 4, "101", "1", "Pendiente", 5, "0");
    cobro(inst, "20260303", 1, "105", "1", "Cobro", 100.5);
    cobro(inst, "20260303", 2, "105", "1", "Cobro", 20.496);
    cobro(inst, "20260304", 1, "105", "1", "Cobro", 7);

    inst.subcuenta_empresa("700000000", "VENTAS");
}

// One more invoice for escenario_base, 104 of the 2nd, whose tourist tax
// overflows the journal's peseta range: refused before it is staged.
inline void factura_desbordada(Instalacion& inst)
{
    Factura f;
    f.num = "104", f.fec = "20260302", f.cli = "X", f.nom = "Tasa enorme";
    f.b[0] = 100, f.tipo[0] = 10, f.cuota[0] = 10, f.tasa = 2.0e7, f.total = 110;
    factura(inst, f);
}

// The journal escenario_base leaves with the installation's settings
// (9 digits, cash transferred, nothing separated, externa off).
inline QStringList diario_base()
{
    return {
        "1 01/03/2026 430000501 110.00 0.00 Factura Nº101",
        "1 01/03/2026 700000000 0.00 100.00 Factura Nº101",
        "1 01/03/2026 477000010 0.00 10.00 Factura N.101",
        "2 01/03/2026 430000123 300.30 0.00 Factura Nº102",
        "2 01/03/2026 475300000 0.00 3.30 Factura Nº102",
        "2 01/03/2026 700000000 0.00 250.00 Factura Nº102",
        "2 01/03/2026 477000010 0.00 5.00 Factura N.102",
        "2 01/03/2026 477000021 0.00 42.00 Factura N.102",
        "3 03/03/2026 430000000 121.00 0.00 Factura Nº105",
        "3 03/03/2026 700000000 0.00 100.00 Factura Nº105",
        "3 03/03/2026 477000021 0.00 21.00 Factura N.105",
        "4 01/03/2026 438000000 100.00 0.00 Deposito Descontado",
        "4 01/03/2026 430000123 0.00 100.00 Deposito Descontado",
        "5 01/03/2026 570000000 110.00 0.00 Total Dia EFECTIVO",
        "5 01/03/2026 572000001 100.00 0.00 Total Dia VISA RECEPCION",
        "5 01/03/2026 430000501 0.00 110.00 Cobro N/Factura",
        "5 01/03/2026 438000000 0.00 100.00 Cobro Deposito N. 000077",
        "6 02/03/2026 572000001 200.30 0.00 Total Dia VISA RECEPCION",
        "6 02/03/2026 570000000 100.00 0.00 Total Dia TRANSFERENCIA",
        "6 02/03/2026 430000123 0.00 200.30 Cobro N/Factura",
        "6 02/03/2026 430000123 0.00 100.00 Cobro N/Factura",
        "7 03/03/2026 570000000 121.00 0.00 Total Dia EFECTIVO",
        "7 03/03/2026 430000000 0.00 100.50 Cobro N/Factura",
        "7 03/03/2026 430000000 0.00 20.50 Cobro N/Factura",
    };
}

// A 9-digit code in its 8-digit form: first three and last five characters.
inline QString a8(const QString& c)
{
    return c.size() == 9 ? c.left(3) + c.right(5) : c;
}
