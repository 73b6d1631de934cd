#include "transfer/PuntoDurable.h"

#include "platform/sistema/Fallo.h"
#include "platform/sql/Recordset.h"
#include "platform/valores/Vb.h"
#include "report/DiarioEscrito.h"

#include <QDateTime>
#include <QDir>
#include <QSet>
#include <QUuid>

#include <limits>

namespace {

const QString DIARIO = QStringLiteral("Xdiario");
const QString SUBCUENTAS = QStringLiteral("XSubCta");

bool tabla_inexistente(const Fallo& f)
{
    return f.numero() == codigo_error::TABLA_INEXISTENTE;
}

// Where the records held for a table stand in the file as it is now.
enum class Situacion {
    Escritos,  // they are in the file
    Faltan,    // they are not, and the file is still the one they go into
    Dudosa,    // the file was emptied or replaced since: they may have been in it
};

Situacion situacion(Conexion& c, const TablaPendiente& t)
{
    MotorDbase& b = c.dbase();
    const qint64 hay = b.registros(t.nombre);
    const qint64 n = t.registros;
    if (hay >= t.base + n && b.crudos(t.nombre, t.base, n) == t.bytes) return Situacion::Escritos;
    // Written at the end after another program's records.
    if (hay - n > t.base && b.crudos(t.nombre, hay - n, n) == t.bytes) return Situacion::Escritos;
    // Their count was never written: no reader can have seen them.
    if (t.estado != 'E') return Situacion::Faltan;
    // Records counted before them are still there: the file was not emptied
    // or replaced (an import takes all), so they were not counted in it.
    if (t.base > 0 && hay >= t.base && b.huella(t.nombre, t.base) == t.huella_base) return Situacion::Faltan;
    if (t.base == 0 && hay == 0) {
        // Untouched since they were kept, or still holding them past the
        // count: their count was never written.
        if (b.identidad(t.nombre) == t.identidad) return Situacion::Faltan;
        // The first record's flag may still be the end mark it was written with.
        QByteArray cola = b.cola(t.nombre);
        if (cola.size() > 1 && cola[0] == '\x1A') cola[0] = t.bytes.isEmpty() ? char(0x1A) : t.bytes[0];
        if (cola.size() > 1 && (t.bytes + QByteArray("\x1A", 1)).startsWith(cola)) return Situacion::Faltan;
    }
    return Situacion::Dudosa;
}

// "los asientos 354 a 360 (21 líneas, 1.234,56 euros; facturas 101, 102)"
QString resumen_asientos(const QString& diario_local, const TablaPendiente& t)
{
    const RegistrosDbf r = recorrer_registros(diario_local, std::numeric_limits<qint64>::max(),
                                              [](const RegistrosDbf&, const char*) { return false; });
    const int asien = r.columna(QStringLiteral("ASIEN"));
    const int debe = r.columna(QStringLiteral("EURODEBE"));
    const int factura = r.columna(QStringLiteral("FACTURA"));
    qint64 primero = std::numeric_limits<qint64>::max(), ultimo = 0;
    double total = 0;
    QStringList facturas;
    QSet<QString> vistas;
    for (qint64 i = 0; i < t.registros; ++i) {
        const char* reg = t.bytes.constData() + i * t.largo;
        const qint64 a = qint64(numero_dbf(r.campo(reg, asien)));
        primero = qMin(primero, a);
        ultimo = qMax(ultimo, a);
        total += numero_dbf(r.campo(reg, debe));
        const QString f = texto_dbf(r.campo(reg, factura));
        if (!f.isEmpty() && f != QLatin1String("0") && !vistas.contains(f)) {
            vistas.insert(f);
            facturas << f;
        }
    }
    QString texto = primero == ultimo ? QStringLiteral("el asiento %1").arg(primero)
                                      : QStringLiteral("los asientos %1 a %2").arg(primero).arg(ultimo);
    texto += QStringLiteral(" (%1 líneas, %2 euros").arg(t.registros).arg(vb::Format(total, "#,##0.00"));
    if (!facturas.isEmpty()) {
        if (facturas.size() > 20) facturas = facturas.mid(0, 20) << QStringLiteral("…");
        texto += QStringLiteral("; facturas ") + facturas.join(QStringLiteral(", "));
    }
    return texto + QLatin1Char(')');
}

}  // namespace

Durabilidad::Durabilidad(Conexion& enlace, Conexion& diario, Conexion& subcuentas, QString carpeta,
                         QString carpeta_local, QuienTraspasa quien)
    : enlace_(enlace), diario_(diario), subcuentas_(subcuentas), carpeta_(std::move(carpeta)),
      carpeta_local_(std::move(carpeta_local)), quien_(std::move(quien))
{
    // Made once per link database. Asked first: a schema statement makes the
    // engine forget every statement it had prepared.
    try {
        enlace_.backend().columnas(QStringLiteral("punto_diario"));
    } catch (const Fallo& f) {
        if (!tabla_inexistente(f)) throw;
        enlace_.ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS punto_diario (Carpeta TEXT COLLATE NOCASE "
                                        "PRIMARY KEY, Diario INTEGER, HuellaDiario TEXT, Subcuentas INTEGER, "
                                        "HuellaSubcuentas TEXT, EnCurso INTEGER)"));
    }
}

Durabilidad::~Durabilidad()
{
    try {
        if (en_grupo_) descartar_retenidos();
        agrupar(false);
    } catch (...) {
    }
}

QString Durabilidad::ruta_pendiente() const
{
    return QDir(carpeta_local_).filePath(pendiente::NOMBRE);
}

QString Durabilidad::nombre_pendiente() const
{
    return QStringLiteral("%1\\%2").arg(carpeta_, pendiente::NOMBRE);
}

// The link database's own id, made on first use: what tells this
// installation's pending file from another's in a shared ContaPlus folder.
QString Durabilidad::id_instalacion()
{
    if (!instalacion_.isEmpty()) return instalacion_;
    try {
        enlace_.backend().columnas(QStringLiteral("instalacion_enlace"));
    } catch (const Fallo& f) {
        if (!tabla_inexistente(f)) throw;
        enlace_.ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS instalacion_enlace (Id TEXT)"));
    }
    {
        Recordset rs;
        rs.abrir(QStringLiteral("SELECT Id FROM instalacion_enlace"), enlace_, Cursor::Dinamico, Bloqueo::SoloLectura);
        if (!rs.eof()) instalacion_ = vb::texto_o_vacio(rs.campo(QStringLiteral("Id")));
    }
    if (instalacion_.isEmpty()) {
        instalacion_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const bool propia = !enlace_.en_transaccion();
        if (propia) enlace_.comenzar();
        enlace_.ejecutar(QStringLiteral("INSERT INTO instalacion_enlace (Id) VALUES (?)"), {instalacion_});
        if (propia) enlace_.confirmar();
    }
    return instalacion_;
}

std::optional<PuntoDurable> Durabilidad::leer()
{
    Recordset rs;
    rs.abrir(QStringLiteral("SELECT * FROM punto_diario WHERE Carpeta = ?"), enlace_, Cursor::Dinamico,
             Bloqueo::SoloLectura, {carpeta_});
    if (rs.eof()) return std::nullopt;
    PuntoDurable p;
    p.diario = qint64(vb::numero(rs.campo(QStringLiteral("Diario"))));
    p.subcuentas = qint64(vb::numero(rs.campo(QStringLiteral("Subcuentas"))));
    p.huella_diario = vb::texto_o_vacio(rs.campo(QStringLiteral("HuellaDiario")));
    p.huella_subcuentas = vb::texto_o_vacio(rs.campo(QStringLiteral("HuellaSubcuentas")));
    p.en_curso = vb::numero(rs.campo(QStringLiteral("EnCurso"))) != 0;
    return p;
}

PuntoDurable Durabilidad::actual(bool en_curso)
{
    PuntoDurable p;
    p.en_curso = en_curso;
    MotorDbase& diario = diario_.dbase();
    p.diario = diario.registros(DIARIO);
    p.huella_diario = diario.huella(DIARIO, p.diario);
    try {
        MotorDbase& subcuentas = subcuentas_.dbase();
        p.subcuentas = subcuentas.registros(SUBCUENTAS);
        p.huella_subcuentas = subcuentas.huella(SUBCUENTAS, p.subcuentas);
    } catch (const Fallo& f) {
        // The journal goes on without a subaccount file until a row needs it.
        if (!tabla_inexistente(f)) throw;
    }
    return p;
}

void Durabilidad::escribir(const PuntoDurable& p)
{
    enlace_.ejecutar(QStringLiteral("DELETE FROM punto_diario WHERE Carpeta = ?"), {carpeta_});
    enlace_.ejecutar(QStringLiteral("INSERT INTO punto_diario (Carpeta, Diario, HuellaDiario, Subcuentas, "
                                    "HuellaSubcuentas, EnCurso) VALUES (?, ?, ?, ?, ?, ?)"),
                     {carpeta_, p.diario, p.huella_diario, p.subcuentas, p.huella_subcuentas, p.en_curso ? 1 : 0});
}

void Durabilidad::resolver_pendiente(QStringList* lineas, QStringList* avisos,
                                     const std::function<std::optional<bool>(const QString&)>& preguntar)
{
    const QString ruta = ruta_pendiente();
    const std::optional<Pendiente> p = pendiente::leer(ruta, nombre_pendiente());
    if (!p) {
        // Nothing, or a write that never finished: no commit followed it.
        pendiente::vaciar(ruta, nombre_pendiente());
        return;
    }
    const QString nombre = nombre_pendiente();
    if (p->instalacion != id_instalacion())
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("La carpeta de ContaPlus %1 tiene asientos de un traspaso de otra instalación "
                                   "del enlace (puesto %2, datos en %3, empezado el %4) que se interrumpió antes de "
                                   "escribirlos en sus ficheros; están guardados en %5. Abra la ventana de traspaso "
                                   "en esa instalación, que los terminará de escribir, y vuelva a intentarlo: "
                                   "hasta entonces no se escribe nada en esa carpeta, para no numerar ni añadir "
                                   "asientos detrás de ellos.")
                        .arg(carpeta_, p->puesto, p->datos, p->desde, nombre));

    // Committed when the durable point is the end of these records.
    const std::optional<PuntoDurable> punto = leer();
    bool confirmado = punto.has_value();
    for (const TablaPendiente& t : p->tablas) {
        const bool es_diario = t.nombre.compare(DIARIO, Qt::CaseInsensitive) == 0;
        const qint64 cuenta = punto ? (es_diario ? punto->diario : punto->subcuentas) : -1;
        const QString huella = punto ? (es_diario ? punto->huella_diario : punto->huella_subcuentas) : QString();
        confirmado = confirmado && cuenta == t.base + t.registros && huella == t.huella_fin;
    }
    if (!confirmado) {
        // Its group rolled back: its units are posted again, once.
        pendiente::vaciar(ruta, nombre_pendiente());
        return;
    }

    auto conexion = [&](const TablaPendiente& t) -> Conexion& {
        return t.nombre.compare(DIARIO, Qt::CaseInsensitive) == 0 ? diario_ : subcuentas_;
    };
    // Only the journal's lines are worth a question: subaccounts that may
    // be in ContaPlus already are written again, as a second import of one
    // changes no amount and a missing one leaves its lines without it.
    QVector<Situacion> situaciones;
    bool dudosa = false;
    for (const TablaPendiente& t : p->tablas) {
        situaciones.append(situacion(conexion(t), t));
        if (situaciones.last() != Situacion::Dudosa) continue;
        if (t.nombre.compare(DIARIO, Qt::CaseInsensitive) == 0)
            dudosa = true;
        else
            situaciones.last() = Situacion::Faltan;
    }
    if (dudosa) {
        const TablaPendiente* d = p->tabla(DIARIO);
        const QString que = resumen_asientos(QDir(carpeta_local_).filePath(DIARIO + ".dbf"), *d);
        const QString pregunta =
            QStringLiteral(
                "Un traspaso que se interrumpió el %1 había marcado como traspasados %2, pero no se sabe "
                "si llegaron a estar en %3\\%4.dbf: el fichero se ha vaciado o sustituido después "
                "(¿se importó en ContaPlus?). ¿Están ya esos asientos en ContaPlus? Sí: se dan por "
                "traspasados y no se escriben de nuevo. No: se escriben ahora en el fichero. Cancelar: no se "
                "escribe nada hasta que se sepa.")
                .arg(p->desde, que, carpeta_, DIARIO);
        const QString hecho = pregunta.left(pregunta.indexOf(QStringLiteral("¿Están")));
        if (!preguntar)
            throw Fallo(codigo_error::FALLO_GENERAL,
                        hecho + QStringLiteral("Abra la ventana de traspaso para decidir qué hacer con ellos."));
        const std::optional<bool> respuesta = preguntar(pregunta);
        if (!respuesta)
            throw Fallo(codigo_error::FALLO_GENERAL,
                        hecho + QStringLiteral("No se ha contestado si están ya en ContaPlus, y no se ha escrito "
                                               "nada: repita el traspaso y conteste la pregunta."));
        const bool ya_estan = *respuesta;
        lineas->append(
            ya_estan ? QStringLiteral("El usuario indica que ContaPlus ya tenía %1: no se escriben de nuevo.").arg(que)
                     : QStringLiteral("El usuario indica que ContaPlus no tenía %1: se escriben ahora.").arg(que));
        for (Situacion& s : situaciones)
            if (s == Situacion::Dudosa) s = ya_estan ? Situacion::Escritos : Situacion::Faltan;
    }
    // A write of ours from here may be interrupted again, its count written
    // or not.
    QByteArray estados;
    for (int i = 0; i < p->tablas.size(); ++i)
        estados += situaciones[i] == Situacion::Faltan ? 'E' : p->tablas[i].estado;
    pendiente::marcar(ruta, estados, nombre_pendiente());
    for (int i = 0; i < p->tablas.size(); ++i) {
        const TablaPendiente& t = p->tablas[i];
        if (situaciones[i] != Situacion::Faltan) continue;
        conexion(t).dbase().reponer(t.nombre, t.bytes);
        lineas->append(QStringLiteral("Completado: se han escrito en %1.dbf los %2 registros que un traspaso "
                                      "interrumpido había marcado como traspasados.")
                           .arg(t.nombre)
                           .arg(t.registros));
    }
    pendiente::vaciar(ruta, nombre_pendiente());
    Q_UNUSED(avisos);
}

QStringList Durabilidad::reparar(QStringList* avisos,
                                 const std::function<std::optional<bool>(const QString&)>& preguntar)
{
    QStringList lineas;
    agrupar(false);
    resolver_pendiente(&lineas, avisos, preguntar);
    fijar(false);
    return lineas;
}

qint64 Durabilidad::registros_subcuentas()
{
    try {
        return subcuentas_.dbase().registros(SUBCUENTAS);
    } catch (const Fallo& f) {
        if (!tabla_inexistente(f)) throw;
        return 0;
    }
}

void Durabilidad::abrir_unidad()
{
    enlace_.comenzar_unidad();
    diario_unidad_ = diario_.dbase().registros(DIARIO);
    subcuentas_unidad_ = registros_subcuentas();
}

void Durabilidad::agrupar(bool si)
{
    if (diario_.abierta()) diario_.dbase().agrupar(si);
    if (subcuentas_.abierta()) subcuentas_.dbase().agrupar(si);
}

void Durabilidad::abrir_grupo()
{
    enlace_.comenzar();
    agrupar(true);
    en_grupo_ = true;
    unidades_ = 0;
    reloj_.start();
    abrir_unidad();
}

Pendiente Durabilidad::retenido()
{
    Pendiente p;
    p.instalacion = id_instalacion();
    p.puesto = quien_.puesto;
    p.datos = quien_.datos;
    p.desde = desde_;
    for (auto [c, tabla] :
         {std::pair<Conexion*, QString>{&diario_, DIARIO}, std::pair<Conexion*, QString>{&subcuentas_, SUBCUENTAS}}) {
        if (!c->abierta()) continue;
        MotorDbase& motor = c->dbase();
        MotorDbase::Retenidos r;
        try {
            r = motor.retenidos(tabla);
        } catch (const Fallo& f) {
            if (!tabla_inexistente(f)) throw;
            continue;
        }
        if (r.registros == 0) continue;
        TablaPendiente t;
        t.nombre = tabla;
        t.base = r.base;
        t.huella_base = motor.huella(tabla, r.base);
        t.huella_fin = motor.huella(tabla, r.base + r.registros);
        t.identidad = motor.identidad(tabla);
        t.largo = r.largo;
        t.registros = r.registros;
        t.bytes = r.bytes;
        p.tablas.append(t);
    }
    return p;
}

void Durabilidad::descartar_retenidos()
{
    for (auto [c, tabla] :
         {std::pair<Conexion*, QString>{&diario_, DIARIO}, std::pair<Conexion*, QString>{&subcuentas_, SUBCUENTAS}}) {
        if (!c->abierta()) continue;
        try {
            MotorDbase& motor = c->dbase();
            const MotorDbase::Retenidos r = motor.retenidos(tabla);
            if (r.registros > 0) motor.recortar(tabla, r.base);
        } catch (const Fallo& f) {
            if (!tabla_inexistente(f)) throw;
        }
    }
    agrupar(false);
}

void Durabilidad::publicar(const Pendiente& p)
{
    const QString ruta = ruta_pendiente();
    auto fallo = [&](const Fallo& f) {
        return Fallo(f.numero(),
                     f.descripcion() + QStringLiteral(". Lo ya marcado como traspasado está guardado en %1 y se "
                                                      "escribirá en los ficheros de ContaPlus al abrir de nuevo la "
                                                      "ventana de traspaso")
                                           .arg(nombre_pendiente()));
    };
    // The records past the counts, synced, where no reader sees them;
    // then, once the pending file says so, the counts.
    try {
        diario_.dbase().preparar_volcado();
        if (subcuentas_.abierta()) subcuentas_.dbase().preparar_volcado();
        pendiente::marcar(ruta, QByteArray(p.tablas.size(), 'E'), nombre_pendiente());
    } catch (const Fallo& f) {
        try {
            descartar_retenidos();
            // No count was written: whatever part of the states was.
            pendiente::marcar(ruta, QByteArray(p.tablas.size(), 'P'), nombre_pendiente());
        } catch (const Fallo&) {
        }
        throw fallo(f);
    }
    QByteArray estados(p.tablas.size(), 'E');
    for (auto [c, tabla] :
         {std::pair<Conexion*, QString>{&diario_, DIARIO}, std::pair<Conexion*, QString>{&subcuentas_, SUBCUENTAS}}) {
        int i = -1;
        for (int j = 0; j < p.tablas.size(); ++j)
            if (p.tablas[j].nombre == tabla) i = j;
        if (i < 0) continue;
        bool contado = false;
        try {
            MotorDbase& motor = c->dbase();
            motor.volcar();
            contado = true;
            motor.sincronizar(tabla);
        } catch (const Fallo& f) {
            try {
                descartar_retenidos();
                // A count that failed left the file as it was: the next
                // activation writes these whatever happens to it meanwhile.
                if (!contado) {
                    for (int j = i; j < estados.size(); ++j) estados[j] = 'N';
                    pendiente::marcar(ruta, estados, nombre_pendiente());
                }
            } catch (const Fallo&) {
            }
            throw fallo(f);
        }
    }
    pendiente::vaciar(ruta, nombre_pendiente());
}

void Durabilidad::confirmar(bool en_curso)
{
    // The records first, beside the files; then the marks that say they
    // are posted; then the records into the files.
    const Pendiente p = retenido();
    if (!p.tablas.isEmpty()) pendiente::escribir(ruta_pendiente(), p, nombre_pendiente());
    escribir(actual(en_curso));
    enlace_.confirmar();
    en_grupo_ = false;
    if (!p.tablas.isEmpty()) publicar(p);
    agrupar(false);
    if (al_confirmar) al_confirmar();
}

// The point as the files stand, in a commit of its own: the row is
// replaced whole or not at all.
void Durabilidad::fijar(bool en_curso)
{
    enlace_.comenzar();
    try {
        escribir(actual(en_curso));
        enlace_.confirmar();
    } catch (...) {
        enlace_.deshacer();
        throw;
    }
}

void Durabilidad::empezar()
{
    desde_ = QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    id_instalacion();
    fijar(true);
    abrir_grupo();
}

bool Durabilidad::unidad(const std::function<void()>& despues)
{
    enlace_.confirmar_unidad();
    ++unidades_;
    if (reloj_.elapsed() < milisegundos_grupo) {
        abrir_unidad();
        return false;
    }
    confirmar(true);
    if (despues) despues();
    abrir_grupo();
    return true;
}

void Durabilidad::cerrar_grupo()
{
    if (en_grupo_) {
        enlace_.confirmar_unidad();
        confirmar(true);
    }
    abrir_grupo();
}

void Durabilidad::terminar()
{
    if (!en_grupo_) abrir_grupo();
    enlace_.confirmar_unidad();
    confirmar(false);
}

void Durabilidad::descartar_unidad()
{
    enlace_.deshacer_unidad();
    // The new unit starts where the dropped one did, so a failure while its
    // records are dropped is undone by abandonar() as any other unit.
    enlace_.comenzar_unidad();
    MotorDbase& diario = diario_.dbase();
    if (diario.registros(DIARIO) > diario_unidad_) diario.recortar(DIARIO, diario_unidad_);
    if (registros_subcuentas() > subcuentas_unidad_) subcuentas_.dbase().recortar(SUBCUENTAS, subcuentas_unidad_);
}

QString Durabilidad::abandonar()
{
    if (!en_grupo_) return {};
    // The unit in course goes; the units before it in the group stay, as
    // they would have had the group closed just before the failure.
    try {
        enlace_.deshacer_unidad();
        QString texto;
        MotorDbase& diario = diario_.dbase();
        const qint64 hay = diario.registros(DIARIO);
        if (hay > diario_unidad_) {
            diario.recortar(DIARIO, diario_unidad_);
            const qint64 n = hay - diario_unidad_;
            texto = QStringLiteral(" El asiento que quedó a medias se ha quitado del diario (%1 %2).")
                        .arg(QString::number(n), n == 1 ? QStringLiteral("línea") : QStringLiteral("líneas"));
        }
        if (registros_subcuentas() > subcuentas_unidad_) subcuentas_.dbase().recortar(SUBCUENTAS, subcuentas_unidad_);
        confirmar(false);
        return texto;
    } catch (const Fallo& f) {
        // Not even that: the whole group goes back to the last durable point.
        QString texto = QStringLiteral(" No se ha podido dejar el diario en orden: %1 (%2).")
                            .arg(f.descripcion(), QString::number(f.numero()));
        try {
            if (en_grupo_) {
                descartar_retenidos();
                if (enlace_.en_transaccion()) enlace_.deshacer();
                en_grupo_ = false;
                // What the pending file holds is written, or dropped with
                // its group, as the next activation would do it.
                QStringList lineas;
                resolver_pendiente(&lineas, nullptr, {});
                texto += QStringLiteral(" Se ha vuelto al último punto seguro; lo que faltó se traspasará en el "
                                        "próximo traspaso.");
            }
        } catch (const Fallo& g) {
            texto +=
                QStringLiteral(" Se arreglará al abrir de nuevo la ventana de traspaso (%1).").arg(g.descripcion());
        }
        en_grupo_ = false;
        return texto;
    }
}
