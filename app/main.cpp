// enlace: the link from the hotel's databases to ContaPlus.
//   enlace [--unidades DIR]                      the main menu window
//   enlace [--unidades DIR] ajustes              start-up and the link settings
//   enlace [--unidades DIR] traspaso ...         a transfer (or a dry run) without windows
//   enlace demo DIR [--facturas N] [--semilla S] [--desde DDMMAAAA] [--dias D]
//   enlace plantillas DIR                        the two ContaPlus templates
#include "app/ComandoTraspaso.h"
#include "app/InterlocutorConsola.h"
#include "app/Ventanas.h"
#include "contaplus/Plantillas.h"
#include "demo/GeneradorDemo.h"
#include "platform/sistema/CarpetaTemporal.h"
#include "platform/sistema/Fallo.h"
#include "platform/sistema/Unidades.h"
#include "startup/Module1.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

namespace {

const char* const USO = "Uso:\n"
                        "  enlace [--unidades DIR]                   ventana del menú\n"
                        "  enlace [--unidades DIR] ajustes           arranque y ajustes del enlace\n"
                        "  enlace [--unidades DIR] traspaso [--simular] --desde DDMMAAAA --hasta DDMMAAAA [--si]\n"
                        "  enlace demo DIR [--facturas N] [--semilla S] [--desde DDMMAAAA] [--dias D]\n"
                        "  enlace plantillas DIR\n"
                        "DIR de --unidades: cada unidad X: es la carpeta DIR/X.\n";

void escribir(FILE* f, const QString& s)
{
    const QByteArray b = s.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}

int uso(const QString& motivo = {})
{
    if (!motivo.isEmpty()) escribir(stderr, "enlace: " + motivo + "\n");
    escribir(stderr, QString::fromUtf8(USO));
    return 1;
}

QString si_no(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

int comando_ajustes(const Unidades& unidades)
{
    InterlocutorConsola consola;
    Module1 m(unidades, consola);
    try {
        m.cargar();
        m.activar();
    } catch (const FinPrograma&) {
        return 1;
    } catch (const Fallo& f) {
        consola.mensaje(f.descripcion(), QStringLiteral("Error"), Icono::Critico, Botones::Aceptar);
        return 1;
    }
    QStringList lineas{
        m.panel1,
        m.panel2,
        "empresa=" + m.empresa,
        "diario=" + m.diario,
        "ruta_contaplus=" + m.ruta_contaplus,
        "digitos=" + QString::number(m.digitos),
        "cuenta_pasantes=" + m.cuenta_pasantes,
        "subcuenta_agencias=" + m.subcuenta_agencias,
        "subcuenta_empresas=" + m.subcuenta_empresas,
        "cuenta_depositos=" + m.cuenta_depositos,
        "cuenta_iva=" + m.cuenta_iva,
        "cuenta_ventas=" + m.cuenta_ventas,
        "cuenta_caja=" + m.cuenta_caja,
        "todos_pasantes=" + si_no(m.todos_pasantes),
        "separar_ventas=" + si_no(m.separar_ventas),
        "sin_caja=" + si_no(m.sin_caja),
        "separar_depositos=" + si_no(m.separar_depositos),
        "separar_iva=" + si_no(m.separar_iva),
        "externa=" + si_no(m.externa),
        "pasantes_aaaamm=" + si_no(m.pasantes_aaaamm),
        "cuenta_tasa=" + m.cuenta_tasa,
    };
    escribir(stdout, lineas.join('\n') + '\n');
    return 0;
}

bool entero(const QString& texto, qint64 minimo, qint64& valor)
{
    bool ok = false;
    valor = texto.toLongLong(&ok);
    return ok && valor >= minimo;
}

int comando_demo(const QStringList& a)
{
    if (a.isEmpty() || a[0].startsWith("--")) return uso("falta la carpeta de la demostración");
    OpcionesDemo o;
    const QString carpeta = QFileInfo(a[0]).absoluteFilePath();
    for (int i = 1; i < a.size(); i += 2) {
        if (i + 1 >= a.size()) return uso("falta el valor de " + a[i]);
        const QString& v = a[i + 1];
        qint64 n = 0;
        if (a[i] == "--facturas" && entero(v, 0, n) && n <= 10000000) {
            o.facturas = int(n);
        } else if (a[i] == "--semilla") {
            bool ok = false;
            o.semilla = v.toULongLong(&ok);
            if (!ok) return uso("semilla no válida: " + v);
        } else if (a[i] == "--desde") {
            o.desde = QDate::fromString(v, QStringLiteral("ddMMyyyy"));
            if (v.size() != 8 || !o.desde.isValid()) return uso("fecha no válida (DDMMAAAA): " + v);
        } else if (a[i] == "--dias" && entero(v, 1, n) && n <= 3660) {
            o.dias = int(n);
        } else {
            return uso("opción o valor no válido: " + a[i] + " " + v);
        }
    }
    try {
        const ResumenDemo r = generar_demo(carpeta, o);
        const Unidades unidades(carpeta);
        escribir_plantillas(unidades.local("C:\\quelmira\\sp1"));
        escribir_subcta(unidades.local("C:\\ContaEli\\EMP0001\\SubCta.dbf"));
        escribir(stdout, QString("Demostración creada en %1: %2 facturas, %3 servicios, %4 movimientos de caja, "
                                 "%5 clientes, %6 agencias, %7 empresas.\n")
                             .arg(carpeta)
                             .arg(r.facturas)
                             .arg(r.servicios)
                             .arg(r.cajas)
                             .arg(r.clientes)
                             .arg(r.agencias)
                             .arg(r.empresas));
    } catch (const Fallo& f) {
        escribir(stderr, "enlace: no se ha podido crear la demostración: " + f.descripcion() + "\n");
        return 1;
    }
    return 0;
}

int comando_plantillas(const QStringList& a)
{
    if (a.size() != 1) return uso("indique la carpeta de las plantillas");
    try {
        escribir_plantillas(QFileInfo(a[0]).absoluteFilePath());
    } catch (const Fallo& f) {
        escribir(stderr, "enlace: no se han podido escribir las plantillas: " + f.descripcion() + "\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    QString raiz = Unidades::raiz_por_defecto();
    if (!args.isEmpty() && args[0] == QLatin1String("--unidades")) {
        if (args.size() < 2) return uso("falta la carpeta de --unidades");
        raiz = QFileInfo(args[1]).absoluteFilePath();
        args = args.mid(2);
    }
    const Unidades unidades(raiz);
    // The scratch folders of dry runs that were killed.
    CarpetaTemporal::limpiar_restos();

    // The windows make their own QApplication.
    if (args.isEmpty()) return abrir_menu(argc, argv, unidades);

    QCoreApplication app(argc, argv);
    const QString orden = args.takeFirst();
    if (orden == QLatin1String("ajustes")) return args.isEmpty() ? comando_ajustes(unidades) : uso();
    if (orden == QLatin1String("demo")) return comando_demo(args);
    if (orden == QLatin1String("plantillas")) return comando_plantillas(args);
    if (orden == QLatin1String("traspaso")) return comando_traspaso(unidades, args);
    return uso("orden desconocida: " + orden);
}
