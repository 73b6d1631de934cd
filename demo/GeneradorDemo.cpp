// Generation of the demonstration hotel. The pseudo-random sequence is our
// own (splitmix64) and every choice is made in a fixed order, so a seed
// always gives the same installation on any machine. Rare cases follow the
// invoice number as well as chance, so that even a small demo shows them.
#include "demo/GeneradorDemo.h"

#include "demo/EsquemaHotel.h"
#include "platform/sistema/Fallo.h"
#include "platform/sistema/Unidades.h"

#include <QDir>
#include <QVector>
#include <cmath>

namespace {

class Azar {
public:
    explicit Azar(quint64 semilla) : estado_(semilla) {}
    quint64 siguiente()
    {
        quint64 z = (estado_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A whole number from a to b, both included.
    int entre(int a, int b) { return a + int(siguiente() % quint64(b - a + 1)); }
    bool por_mil(int p) { return entre(0, 999) < p; }
    // Euros with cents between two amounts given in cents.
    double centimos(int desde, int hasta) { return entre(desde, hasta) / 100.0; }
    template <class T>
    const T& uno(const QVector<T>& v)
    {
        return v[entre(0, int(v.size()) - 1)];
    }

private:
    quint64 estado_;
};

double redondear(double v)
{
    return std::round(v * 100.0) / 100.0;
}

QString aaaammdd(const QDate& d)
{
    return d.toString(QStringLiteral("yyyyMMdd"));
}

QString ceros(int n, int ancho)
{
    return QString::number(n).rightJustified(ancho, '0');
}

const QVector<QString> NOMBRES = {"María",  "José",    "Antonio", "Carmen", "Lucía",   "Javier",  "Laura",  "Miguel",
                                  "Ana",    "David",   "Elena",   "Pablo",  "Marta",   "Sergio",  "Isabel", "Jordi",
                                  "Núria",  "Pedro",   "Rocío",   "Íñigo",  "Siobhan", "Patrick", "Giulia", "Hans",
                                  "Claire", "Mª José", "Aitor",   "Chloé",  "Ahmed",   "Olga"};
const QVector<QString> APELLIDOS = {"García",    "Martínez", "López",   "Sánchez",   "Pérez",  "Gómez",
                                    "Fernández", "Ruiz",     "Díaz",    "Moreno",    "Muñoz",  "Álvarez",
                                    "Romero",    "Navarro",  "Torres",  "Ibáñez",    "Peña",   "Castaño",
                                    "O'Donnell", "D'Angelo", "O'Brien", "Dell'Olio", "Müller", "Dupont",
                                    "Rossi",     "Smith",    "Vidal",   "Serra",     "Puig",   "Etxeberria"};
const QVector<QString> AGENCIAS = {"Viajes Mediterráneo", "Tour Iberia Receptivo", "Viajes Sol y Mar",
                                   "Nordic Travel Group", "Turismo Balear",        "Viajes L'Escala",
                                   "Euroviajes Levante",  "Atlántida Tours",       "Costa Dorada Incoming",
                                   "Viajes Albatros",     "Globe Holidays Ltd",    "Viajes Azahar"};
const QVector<QString> EMPRESAS = {"Construcciones Ribera S.L.",     "Laboratorios Delta S.A.",
                                   "Transportes Hermanos Gil S.L.",  "Consultora Norte S.L.",
                                   "Talleres O'Neill S.L.",          "Distribuciones Marín S.A.",
                                   "Ingeniería Cuatro Vientos S.L.", "Farmacéutica Solana S.A.",
                                   "Seguros La Previsora S.A.",      "Eventos y Congresos del Sur S.L."};

// Production services: code, description, sales account, VAT rate.
struct Servicio {
    QString cod, des, cta;
    double iva;
};
const QVector<Servicio> SERVICIOS = {
    {"HAB", "Alojamiento", "700000001", 10},   {"DES", "Desayuno", "700000002", 10},
    {"RES", "Restaurante", "700000002", 10},   {"MIN", "Minibar", "700000003", 21},
    {"TEL", "Teléfono", "700000004", 21},      {"SPA", "Spa y masajes", "700000005", 21},
    {"LAV", "Lavandería", "700000006", 21},    {"PRE", "Prensa y libros", "700000007", 4},
    {"PAR", "Aparcamiento", "7000000081", 21},  // an account one digit too long
    {"DTO", "Descuento", "700000001", 10},
};

// Payment methods: code, description, account (Null when the QVariant is invalid).
struct Forma {
    QString cod, des;
    QVariant cta;
    int peso;
};
const QVector<Forma> FORMAS = {
    {"1", "EFECTIVO", QString("570000000"), 30},
    {"2", "VISA", QString("572000001"), 30},
    {"3", "MASTERCARD", QString("572000002"), 15},
    {"4", "TRANSFERENCIA", QString("572000010"), 8},
    {"5", "AMERICAN EXPRESS", QVariant(), 5},
    {"6", "TALON", QString(""), 2},
    {"7", "TARJETA CREDITO EXTRANJERA", QString("572000003"), 5},
    {"8", "BIZUM", QString("572000004"), 5},
};

QVariant forma_al_azar(Azar& azar)
{
    int total = 0;
    for (const Forma& f : FORMAS) total += f.peso;
    int r = azar.entre(1, total);
    for (const Forma& f : FORMAS) {
        if (r <= f.peso) return f.cod;
        r -= f.peso;
    }
    return FORMAS.first().cod;
}

// A Spanish tax number as clerks type it: with dots, dashes, blanks or in
// lower case, now and then a foreign passport longer than nine characters.
QString nif_persona(Azar& azar)
{
    static const char LETRAS[] = "TRWAGMYFPDXBNJZSQVHLCKE";
    const int tipo = azar.entre(0, 99);
    if (tipo < 10) return "PA" + ceros(azar.entre(0, 99999999), 8) + ceros(azar.entre(0, 99), 2);
    if (tipo < 25) {
        const int n = azar.entre(0, 9999999);
        const QString nie = QChar::fromLatin1("XYZ"[n % 3]) + ceros(n, 7) + QChar::fromLatin1(LETRAS[n % 23]);
        return azar.entre(0, 1) ? nie.toLower() : nie.left(1) + "-" + nie.mid(1, 7) + "-" + nie.right(1);
    }
    const int n = azar.entre(1000000, 99999999);
    const QString numero = ceros(n, 8);
    const QChar letra = QChar::fromLatin1(LETRAS[n % 23]);
    switch (azar.entre(0, 3)) {
    case 0: return numero + letra;
    case 1: return numero.left(2) + "." + numero.mid(2, 3) + "." + numero.mid(5) + "-" + letra;
    case 2: return numero + "-" + QString(letra).toLower();
    default: return " " + numero + " " + letra + " ";
    }
}

QString nif_sociedad(Azar& azar)
{
    const QString numero = ceros(azar.entre(0, 99999999), 8);
    const QString letra = azar.entre(0, 1) ? "B" : "A";
    switch (azar.entre(0, 2)) {
    case 0: return letra + numero;
    case 1: return letra + "-" + numero.left(2) + "." + numero.mid(2, 3) + "." + numero.mid(5);
    default: return letra.toLower() + numero;
    }
}

struct Ficha {
    QString cod, nombre, nif;
};

struct FilaCaja {
    QVariantList valores;  // all but CajaOrd, in the insert's order
};

}  // namespace

ResumenDemo generar_demo(const QString& raiz, const OpcionesDemo& o)
{
    if (o.facturas < 0 || o.dias < 1 || !o.desde.isValid())
        throw Fallo(codigo_error::FALLO_GENERAL, "Opciones de la demostración no válidas.");
    QDir carpeta(raiz);
    if (carpeta.exists() && !carpeta.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        throw Fallo(codigo_error::FALLO_GENERAL,
                    "La carpeta " + raiz + " ya existe y no está vacía: no se sobrescribe una instalación.");

    const Unidades unidades(raiz);
    esquema::crear_instalacion(unidades, esquema::OpcionesInstalacion{});
    for (const char* ruta : {"C:\\quelmira\\sp1", "C:\\ContaEli\\TMP", "C:\\ContaEli\\EMP0001"})
        if (!QDir().mkpath(unidades.local(ruta)))
            throw Fallo(codigo_error::ERROR_DE_ARCHIVO, QStringLiteral("No se puede crear la carpeta ") + ruta);

    Azar azar(o.semilla);
    ResumenDemo resumen;
    auto archivo = [&](const QString& familia) { return unidades.local("C:\\quelmira\\" + familia + ".MDB"); };
    auto abrir = [&](ArchivoSqlite& a) {
        a.ejecutar("PRAGMA journal_mode = MEMORY");
        a.ejecutar("PRAGMA synchronous = OFF");
        a.empezar();
    };

    // --- Customer files -----------------------------------------------------
    const int n_agencias = qBound(8, o.facturas / 20, 60);
    const int n_empresas = qBound(10, o.facturas / 15, 80);
    const int n_clientes = qBound(40, o.facturas / 2, 20000);

    QVector<Ficha> agencias, empresas, clientes;
    {
        ArchivoSqlite a(archivo("agen"), false);
        abrir(a);
        ArchivoSqlite::Sentencia ins(a, "INSERT INTO agen (AgenCod, AgenNom, AgenCta) VALUES (?, ?, ?)");
        for (int i = 0; i < n_agencias; ++i) {
            const QString cod = ceros(i + 1, 5);
            QString nombre = AGENCIAS[i % AGENCIAS.size()];
            if (i >= AGENCIAS.size()) nombre += " " + QString::number(i / AGENCIAS.size() + 1);
            // Three in five with their own account, then one empty, one Null.
            QVariant cta;
            if (i % 5 < 3)
                cta = "4305" + cod;
            else if (i % 5 == 3)
                cta = QString("");
            ins.ejecutar({cod, nombre, cta});
            agencias.push_back({cod, nombre, nif_sociedad(azar)});
        }
        a.confirmar();
    }
    {
        ArchivoSqlite a(archivo("na"), false);
        abrir(a);
        ArchivoSqlite::Sentencia ins(a, "INSERT INTO na (NaCod, NaNom, NaCta, NaVin, NaAge) VALUES (?, ?, ?, ?, ?)");
        for (int i = 0; i < n_empresas; ++i) {
            const QString cod = ceros(i + 1, 5);
            QString nombre = EMPRESAS[i % EMPRESAS.size()];
            if (i >= EMPRESAS.size())
                nombre = nombre.replace(" S.", " " + QString::number(i / EMPRESAS.size() + 1) + " S.");
            // An agency with an account of its own (index multiple of 5) and one without.
            const QString con_cuenta = ceros((i * 5) % n_agencias / 5 * 5 + 1, 5);
            const QString sin_cuenta = ceros(qMin(n_agencias, 4), 5);
            QVariant cta, vin = 0, age = QString("");
            switch (i % 6) {
            case 0:
            case 1: cta = "4310" + cod; break;
            case 2:
                cta = QString("");
                vin = 1;
                age = con_cuenta;
                break;  // linked to an agency with an account
            case 3:
                cta = QString("");
                vin = 1;
                age = sin_cuenta;
                break;  // linked to one without
            case 4:
                vin = 1;
                age = con_cuenta;
                break;  // Null account: the link is not followed
            default:
                cta = QString("");
                vin = 0;
                age = con_cuenta;
                break;  // not linked
            }
            ins.ejecutar({cod, nombre, cta, vin, age});
            empresas.push_back({cod, nombre, nif_sociedad(azar)});
        }
        a.confirmar();
    }
    {
        ArchivoSqlite a(archivo("cli"), false);
        abrir(a);
        ArchivoSqlite::Sentencia ins(a, "INSERT INTO cli (CliCod, CliNom, CliNif, CliCta) VALUES (?, ?, ?, ?)");
        for (int i = 0; i < n_clientes; ++i) {
            const QString cod = ceros(i + 1, 6);
            // The first guest always carries an apostrophe.
            const QString nombre = (i == 0 ? QString("Siobhan") : azar.uno(NOMBRES)) + " " +
                                   (i == 0 ? QString("O'Donnell") : azar.uno(APELLIDOS)) + " " + azar.uno(APELLIDOS);
            const QString nif = nif_persona(azar);
            QVariant cta;
            if (i % 4 == 0)
                cta = "4302" + ceros(i + 1, 5);
            else if (i % 37 == 5)
                cta = QString("430000000");  // the walk-in account itself
            else if (i % 2)
                cta = QString("");
            ins.ejecutar({cod, nombre, nif, cta});
            clientes.push_back({cod, nombre, nif});
        }
        a.confirmar();
    }
    resumen.agencias = n_agencias;
    resumen.empresas = n_empresas;
    resumen.clientes = n_clientes;

    {
        ArchivoSqlite a(archivo("formas"), false);
        abrir(a);
        ArchivoSqlite::Sentencia ins(a, "INSERT INTO formas (ForCod, ForDes, ForCta) VALUES (?, ?, ?)");
        for (const Forma& f : FORMAS) ins.ejecutar({f.cod, f.des, f.cta});
        a.confirmar();
    }
    {
        ArchivoSqlite a(archivo("ser"), false);
        abrir(a);
        ArchivoSqlite::Sentencia ins(a, "INSERT INTO ser (SerCod, SerDes, SerCta, SerIva) VALUES (?, ?, ?, ?)");
        for (const Servicio& s : SERVICIOS) ins.ejecutar({s.cod, s.des, s.cta, s.iva});
        a.confirmar();
    }
    {
        ArchivoSqlite a(archivo("emp"), false);
        a.ejecutar(
            "INSERT INTO emp (EmpCod, EmpNom, EmpNif) VALUES ('1', 'Hotel Mirador del Puerto S.L.', 'B07123456')");
    }

    // --- Invoices, services, bills and receipts -------------------------------
    ArchivoSqlite f_emi(archivo("emi"), false), f_his(archivo("hiscadia"), false), f_cab(archivo("cab"), false),
        f_histocab(archivo("histocab"), false), f_dep(archivo("dep"), false), f_cadia(archivo("cadia"), false),
        f_caja(archivo("caja"), false);
    for (ArchivoSqlite* a : {&f_emi, &f_his, &f_cab, &f_histocab, &f_dep, &f_cadia, &f_caja}) abrir(*a);

    ArchivoSqlite::Sentencia ins_emi(
        f_emi, "INSERT INTO emi (EmiAno, EmiNum, EmiFec, EmiN, EmiCie, EmiC, EmiCli, EmiNom, EmiNif, "
               "EmiB1, EmiB2, EmiB3, EmiB4, EmiC1, EmiC2, EmiC3, EmiC4, EmiI1, EmiI2, EmiI3, EmiI4, "
               "EmiTot, EmiDep, TasaImporte) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
               "?, ?, ?, ?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_his(f_his,
                                     "INSERT INTO Hiscadia (HCadiaFra, HCadiaFraAno, HCadiaFec, HCadiaSer, HCadiaDes, "
                                     "HCadiaCta, HCadiaCan, HCadiaPre, HCadiaCA) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_cab(
        f_cab, "INSERT INTO cab (CabHab, CabFec, CabCli, CabNom, CabNum1, CabNum2) VALUES (?, ?, ?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_histocab(
        f_histocab, "INSERT INTO histocab (HCabHab, HCabFec, HCabNum1, HCabNum2) VALUES (?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_dep(f_dep, "INSERT INTO dep (DepNum, DepFec, DepCli, DepImp) VALUES (?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_cadia(
        f_cadia, "INSERT INTO cadia (CadiaHab, CadiaFec, CadiaSer, CadiaCan, CadiaPre) VALUES (?, ?, ?, ?, ?)");
    ArchivoSqlite::Sentencia ins_caja(
        f_caja, "INSERT INTO caja (CajaFec, CajaOrd, CajaAnoF, CajaFra, CajaCobroc, CajaCon, CajaImp, "
                "CajaPago, CajaTur) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");

    // Receipts are gathered by day first: CajaOrd numbers them within the day.
    QVector<QVector<FilaCaja>> cajas(o.dias + 1);
    auto marca_tur = [&azar]() { return azar.entre(0, 1) ? QVariant() : QVariant(QString("")); };
    auto cobro = [&](int dia, const QString& ano, const QString& fra, const QVariant& forma, const QString& concepto,
                     double importe, const QString& pago) {
        cajas[qBound(0, dia, o.dias)].push_back({{aaaammdd(o.desde.addDays(qBound(0, dia, o.dias))), ano, fra, forma,
                                                  concepto, importe, pago, marca_tur()}});
    };

    int numero_deposito = 1200;
    int siguiente_numero = 0;
    int ano_numero = -1;
    for (int i = 0; i < o.facturas; ++i) {
        const int dia = int(qint64(i) * o.dias / qMax(1, o.facturas));
        const QDate fecha = o.desde.addDays(dia);
        if (fecha.year() != ano_numero) {
            ano_numero = fecha.year();
            siguiente_numero = 1;
        }
        const QString ano = QString::number(fecha.year());
        const QString num = QString::number(siguiente_numero++);
        const QString fec = aaaammdd(fecha);
        const QString hab = QString::number(azar.entre(1, 4) * 100 + azar.entre(1, 20));

        // Customer: individual, agency or company.
        const int t = azar.entre(0, 99);
        const int tipo = t < 60 ? 0 : (t < 85 ? 1 : 2);
        const Ficha& cliente = tipo == 0 ? azar.uno(clientes) : (tipo == 1 ? azar.uno(agencias) : azar.uno(empresas));
        const QVariant nif = (i % 17 == 11) ? QVariant() : QVariant(cliente.nif);

        // Services: the stay, and what the guest took.
        const int noches = azar.entre(1, 7);
        const int personas = azar.entre(1, 3);
        struct Linea {
            const Servicio* s;
            double can, pre;
            bool abono;
        };
        QVector<Linea> lineas;
        static const double TARIFAS[] = {65.00, 72.50, 89.90, 95.00, 110.00, 145.50, 45.125};
        lineas.push_back({&SERVICIOS[0], double(noches), TARIFAS[azar.entre(0, 6)], false});
        if (azar.por_mil(500))
            lineas.push_back({&SERVICIOS[1], double(noches * personas), azar.entre(0, 1) ? 9.50 : 12.00, false});
        if (azar.por_mil(350))
            lineas.push_back({&SERVICIOS[2], double(azar.entre(1, 3)), azar.centimos(1850, 6500), false});
        if (azar.por_mil(300))
            lineas.push_back({&SERVICIOS[3], double(azar.entre(1, 6)), azar.centimos(250, 600), false});
        if (azar.por_mil(80)) lineas.push_back({&SERVICIOS[4], 1, azar.centimos(120, 1500), false});
        if (azar.por_mil(120))
            lineas.push_back({&SERVICIOS[5], double(azar.entre(1, 2)), azar.centimos(2500, 6000), false});
        if (azar.por_mil(60)) lineas.push_back({&SERVICIOS[6], 1, azar.centimos(800, 3500), false});
        if (azar.por_mil(50) || i % 29 == 7)
            lineas.push_back({&SERVICIOS[7], double(azar.entre(1, 3)), azar.centimos(150, 1200), false});
        if (azar.por_mil(30) || i % 53 == 20) lineas.push_back({&SERVICIOS[8], double(noches), 12.00, false});
        if (azar.por_mil(50) || i % 23 == 4) lineas.push_back({&SERVICIOS[9], 1, azar.centimos(500, 3000), true});

        // Bases by rate: slot 1 at 4 %, slot 2 at 10 %, slot 4 at 21 %; slot 3 unused.
        double base[4] = {0, 0, 0, 0};
        for (const Linea& l : lineas) {
            const int hueco = l.s->iva == 4 ? 0 : (l.s->iva == 10 ? 1 : 3);
            const double importe = redondear(l.can * l.pre);
            base[hueco] += l.abono ? -importe : importe;
        }
        for (double& b : base) b = redondear(b);
        // Now and then the invoice's base is a few cents off its services.
        if (azar.por_mil(100) || i % 19 == 2)
            base[1] = redondear(base[1] + azar.entre(1, 3) / 100.0 * (azar.entre(0, 1) ? 1 : -1));
        const double tipos[4] = {4, 10, 0, 21};
        double tasa_iva[4], cuota[4];
        for (int k = 0; k < 4; ++k) {
            tasa_iva[k] = base[k] != 0 ? tipos[k] : 0;
            cuota[k] = redondear(base[k] * tasa_iva[k] / 100.0);
        }
        QVariant tasa;
        const int r_tasa = azar.entre(0, 99);
        if (r_tasa < 70)
            tasa = redondear(noches * personas * (azar.entre(0, 1) ? 1.10 : 2.48));
        else if (r_tasa < 82)
            tasa = QVariant();
        else
            tasa = 0.0;
        double total = tasa.isValid() ? tasa.toDouble() : 0.0;
        for (int k = 0; k < 4; ++k) total += base[k] + cuota[k];
        total = redondear(total);

        // A deposit taken some days before and discounted from the invoice.
        double deposito = 0;
        if (azar.por_mil(120) || i % 31 == 9) {
            static const double DEPOSITOS[] = {50, 100, 150, 200};
            deposito = DEPOSITOS[azar.entre(0, 3)];
            if (deposito >= total) deposito = redondear(total / 2);
            const QString ndep = ceros(++numero_deposito, 6);
            const int dia_dep = dia - azar.entre(1, 10);
            const QString concepto = "Deposito N. " + ndep + (azar.entre(0, 1) ? " Hab. " + hab : QString());
            cobro(dia_dep, "", "", azar.entre(0, 2) ? QVariant("2") : QVariant("4"), concepto, deposito, "1");
            ins_dep.ejecutar({ndep, aaaammdd(o.desde.addDays(qMax(0, dia_dep))), cliente.cod, deposito});
        }

        // Most invoices are closed; a few are still open, some of them with
        // their bill, some without any (their closing is forced).
        const bool abierta = i % 12 == 5;
        const bool con_cuenta_abierta = abierta && (i / 12) % 2 == 0;
        const QString serie = i % 50 == 17 ? "B" : "A";

        ins_emi.ejecutar({ano,
                          num,
                          fec,
                          serie,
                          abierta ? "0" : "1",
                          tipo,
                          cliente.cod,
                          cliente.nombre,
                          nif,
                          base[0],
                          base[1],
                          base[2],
                          base[3],
                          tasa_iva[0],
                          tasa_iva[1],
                          tasa_iva[2],
                          tasa_iva[3],
                          cuota[0],
                          cuota[1],
                          cuota[2],
                          cuota[3],
                          total,
                          deposito,
                          tasa});
        ++resumen.facturas;

        // A few invoices lost their services.
        if (!(azar.por_mil(30) || i % 41 == 13)) {
            for (const Linea& l : lineas) {
                ins_his.ejecutar({num, ano, fec, l.s->cod, l.s->des, l.s->cta, l.can, l.pre, l.abono ? "-" : "+"});
                ++resumen.servicios;
            }
        }

        if (con_cuenta_abierta) {
            const bool primera = (i / 24) % 2 == 0;
            ins_cab.ejecutar({hab, fec, cliente.cod, cliente.nombre, primera ? num : "", primera ? "" : num});
            continue;  // not paid yet
        }
        ins_histocab.ejecutar({hab, fec, num, ""});

        // Payment at check-out, sometimes split, sometimes the next day.
        const double a_pagar = redondear(total - deposito);
        const int dia_pago = dia + (azar.por_mil(150) ? 1 : 0);
        QVariant forma = forma_al_azar(azar);
        if (i % 150 == 77) forma = QString("99");  // a method the hotel has since removed
        if (i % 150 == 121) forma = QVariant();
        const QString concepto = i % 97 == 3 ? "deposito aplicado fra. " + num : "Cobro Fra. " + num + " Hab. " + hab;
        if (azar.por_mil(250) && a_pagar > 1) {
            const double primera = redondear(a_pagar * azar.entre(30, 70) / 100.0);
            cobro(dia_pago, ano, num, forma, concepto, primera, "1");
            cobro(dia_pago, ano, num, forma_al_azar(azar), concepto, redondear(a_pagar - primera), "1");
        } else {
            cobro(dia_pago, ano, num, forma, concepto, a_pagar, "1");
        }
    }

    // Guests still in the house: open bills without an invoice, their charges
    // and deposits not yet discounted.
    const int en_casa = qBound(5, o.facturas / 15, 400);
    for (int k = 0; k < en_casa; ++k) {
        const Ficha& cliente = azar.uno(clientes);
        const int dia = azar.entre(0, o.dias - 1);
        const QString hab = QString::number(azar.entre(1, 4) * 100 + azar.entre(1, 20));
        const QString fec = aaaammdd(o.desde.addDays(dia));
        ins_cab.ejecutar({hab, fec, cliente.cod, cliente.nombre, "", ""});
        ins_cadia.ejecutar({hab, fec, "HAB", double(azar.entre(1, 5)), 89.90});
        if (k % 3 == 0) {
            const QString ndep = ceros(++numero_deposito, 6);
            cobro(dia, "", "", QVariant("2"), "Deposito N. " + ndep, 100.0, "1");
            ins_dep.ejecutar({ndep, fec, cliente.cod, 100.0});
        }
    }

    // Cash-desk movements that are not receipts, receipts of nothing, and
    // one payment of an invoice the hotel no longer has.
    static const QVector<QString> SALIDAS = {"Pago proveedor floristería", "Reposición fondo de caja",
                                             "Compra material oficina", "Propinas personal"};
    const int otros = o.facturas * 6 / 10;
    for (int k = 0; k < otros; ++k) {
        const int dia = azar.entre(0, o.dias - 1);
        if (k % 4 == 3) {
            cobro(dia, QString::number(o.desde.addDays(dia).year()),
                  QString::number(azar.entre(1, qMax(1, o.facturas))), QVariant("1"), "Anulación cobro", 0.0, "1");
        } else {
            cobro(dia, "", "", QVariant("1"), azar.uno(SALIDAS), -azar.centimos(500, 15000), "0");
        }
    }
    cobro(0, QString::number(o.desde.year()), "990001", QVariant("1"), "Cobro Fra. 990001 Hab. 999", 85.40, "1");

    for (int d = 0; d < cajas.size(); ++d) {
        for (int k = 0; k < cajas[d].size(); ++k) {
            QVariantList v = cajas[d][k].valores;
            v.insert(1, k + 1);  // CajaOrd
            ins_caja.ejecutar(v);
            ++resumen.cajas;
        }
    }

    for (ArchivoSqlite* a : {&f_emi, &f_his, &f_cab, &f_histocab, &f_dep, &f_cadia, &f_caja}) a->confirmar();
    return resumen;
}
