// `enlace traspaso`: the start-up of the main menu, the transfer window's
// activation, the two date boxes and the driver, with the clerk at a terminal.
#include "app/ComandoTraspaso.h"

#include "app/InterlocutorConsola.h"
#include "app/VistaConsola.h"
#include "platform/sistema/Fallo.h"
#include "platform/sistema/Interrupcion.h"
#include "startup/Module1.h"
#include "transfer/FechasTraspaso.h"
#include "transfer/Simulacion.h"
#include "transfer/Traspaso.h"

#include <QDate>
#include <QDir>
#include <optional>

#include <cstdio>

namespace {

const char USO[] = "Uso: enlace [--unidades DIR] traspaso [--simular] --desde DDMMAAAA --hasta DDMMAAAA [--si]\n";

int uso(const QString& motivo)
{
    std::fprintf(stderr, "%s\n%s", motivo.toLocal8Bit().constData(), USO);
    return 1;
}

void avisar_fallo(Interlocutor& i, const Fallo& f)
{
    i.mensaje(QStringLiteral("No se puede preparar el traspaso: %1 (error %2).")
                  .arg(f.descripcion(), QString::number(f.numero())),
              QStringLiteral("Traspaso a CONTAPLUS"), Icono::Critico);
}

// A date on the command line: exactly eight digits DDMMAAAA naming a real
// day from 01/01/1980 to 31/12/2099. The date boxes cut a typed text by
// position, so 1112026 would read as 11/12/2026 and 011120260 as the year
// 0260; here such a text is refused before anything is opened or written.
bool fecha_de_orden(const QString& texto)
{
    if (texto.size() != 8) return false;
    for (const QChar c : texto)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    const QDate d(texto.mid(4, 4).toInt(), texto.mid(2, 2).toInt(), texto.left(2).toInt());
    return d.isValid() && d >= QDate(1980, 1, 1) && d <= QDate(2099, 12, 31);
}

}  // namespace

int comando_traspaso(const Unidades& unidades, const QStringList& argumentos)
{
    QString desde, hasta;
    bool si = false, simulacion = false, hay_desde = false, hay_hasta = false;
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString& a = argumentos[i];
        if (a == QLatin1String("--si")) {
            si = true;
        } else if (a == QLatin1String("--simular")) {
            simulacion = true;
        } else if (a == QLatin1String("--desde") || a == QLatin1String("--hasta")) {
            if (i + 1 >= argumentos.size()) return uso(QStringLiteral("Falta la fecha de ") + a);
            (a == QLatin1String("--desde") ? desde : hasta) = argumentos[++i];
            (a == QLatin1String("--desde") ? hay_desde : hay_hasta) = true;
        } else {
            return uso(QStringLiteral("Argumento desconocido: ") + a);
        }
    }
    if (!hay_desde || !hay_hasta) return uso(QStringLiteral("Faltan las fechas del traspaso"));

    InterlocutorConsola interlocutor(si);
    // A first Ctrl+C from here on stops the command at its next safe point:
    // during the start-up, before anything is written; during the run, at
    // its next durable point.
    interrupcion::capturar();
    struct Soltar {
        ~Soltar() { interrupcion::soltar(); }
    } soltar;
    auto detenido = [&] {
        if (!interrupcion::pedida()) return false;
        interlocutor.mensaje(QStringLiteral("Traspaso detenido por el usuario antes de empezar: no se ha "
                                            "traspasado nada."),
                             QStringLiteral("Traspaso a CONTAPLUS"), Icono::Informacion, Botones::Aceptar);
        return true;
    };
    for (const auto& [opcion, texto] : {std::pair{"--desde", desde}, std::pair{"--hasta", hasta}}) {
        if (!fecha_de_orden(texto)) {
            interlocutor.mensaje(QStringLiteral("Fecha incorrecta en %1: \"%2\" (ocho cifras DDMMAAAA, del "
                                                "01011980 al 31122099)")
                                     .arg(QLatin1String(opcion), texto),
                                 QStringLiteral("Error usuario"), Icono::Informacion, Botones::Aceptar);
            return 1;
        }
    }
    VistaConsola vista;
    Module1 m(unidades, interlocutor);
    try {
        m.cargar();
        m.activar();
    } catch (const FinPrograma&) {
        return detenido() ? 3 : 1;
    } catch (const Fallo& f) {
        if (detenido()) return 3;
        avisar_fallo(interlocutor, f);
        return 1;
    }
    if (detenido()) return 3;

    Traspaso t(m, vista);
    // The command holds the installation from its set-up to its end; a dry
    // run prepares and locks only its copies.
    std::optional<ReservaInstalacion> reserva;
    if (!simulacion) {
        reserva.emplace(t);
        if (!reserva->tomada()) return detenido() ? 3 : 1;
        if (detenido()) return 3;
        try {
            if (!t.activar()) return detenido() ? 3 : 1;
        } catch (const Fallo& f) {
            if (detenido()) return 3;
            avisar_fallo(interlocutor, f);
            return 1;
        }
    }

    // The two boxes, as typed and confirmed with Enter.
    if (confirmar_desde(t, desde) != ResultadoFecha::Aceptada) return detenido() ? 3 : 1;
    vista.de = desde;
    if (confirmar_hasta(t, hasta) != ResultadoFecha::Aceptada) return detenido() ? 3 : 1;
    vista.hasta = hasta;
    if (detenido()) return 3;

    t.pedir_detencion = [] { return interrupcion::pedida(); };
    FinTraspaso fin = FinTraspaso::SinPreparar;
    QString informe;
    if (simulacion) {
        Simulacion s;
        try {
            s = simular(t);
        } catch (const Fallo& f) {
            avisar_fallo(interlocutor, f);
        }
        fin = s.fin;
        informe = s.informe;
        if (!s.csv.isEmpty())
            std::printf("Simulación: no se ha escrito nada; los únicos ficheros nuevos son el informe y su CSV.\n"
                        "Apuntes de la simulación: %s\n",
                        QDir::toNativeSeparators(s.csv).toLocal8Bit().constData());
    } else {
        fin = t.iniciar2();
        informe = t.informe;
    }
    // The report's local path, last, for the clerk or a script to open.
    if (!informe.isEmpty()) {
        std::fflush(stdout);
        std::printf("Informe del traspaso: %s\n", QDir::toNativeSeparators(informe).toLocal8Bit().constData());
    }
    std::fflush(stdout);

    switch (fin) {
    case FinTraspaso::Correcto:
    case FinTraspaso::SinFacturas: return 0;
    case FinTraspaso::Detenido: return 3;
    case FinTraspaso::Cancelado: return detenido() ? 3 : 1;  // Ctrl+C at the question
    case FinTraspaso::Bloqueado:
    case FinTraspaso::SinPreparar: return 1;
    case FinTraspaso::Fallido: break;
    }
    return 2;
}
