#include "transfer/PuntoDurable.h"

#include "platform/Fallo.h"
#include "platform/Recordset.h"
#include "platform/Vb.h"

namespace {

const QString DIARIO = QStringLiteral("Xdiario");
const QString SUBCUENTAS = QStringLiteral("XSubCta");

}  // namespace

Durabilidad::Durabilidad(Conexion& enlace, Conexion& diario, Conexion& subcuentas, QString carpeta)
    : enlace_(enlace), diario_(diario), subcuentas_(subcuentas), carpeta_(std::move(carpeta))
{
    // Made once per link database. Asked first: a schema statement makes the
    // engine forget every statement it had prepared.
    try {
        enlace_.backend().columnas(QStringLiteral("punto_diario"));
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TABLA_INEXISTENTE)
            throw;
        enlace_.ejecutar(QStringLiteral("CREATE TABLE IF NOT EXISTS punto_diario (Carpeta TEXT COLLATE NOCASE "
                                        "PRIMARY KEY, Diario INTEGER, HuellaDiario TEXT, Subcuentas INTEGER, "
                                        "HuellaSubcuentas TEXT, EnCurso INTEGER)"));
    }
}

Durabilidad::~Durabilidad()
{
    try {
        agrupar(false);
    } catch (...) {
    }
}

std::optional<PuntoDurable> Durabilidad::leer()
{
    Recordset rs;
    rs.abrir(QStringLiteral("SELECT * FROM punto_diario WHERE Carpeta = ?"), enlace_, Cursor::Dinamico,
             Bloqueo::SoloLectura, {carpeta_});
    if (rs.eof())
        return std::nullopt;
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
    p.diario = diario_.registros(DIARIO);
    p.huella_diario = diario_.huella(DIARIO, p.diario);
    try {
        p.subcuentas = subcuentas_.registros(SUBCUENTAS);
        p.huella_subcuentas = subcuentas_.huella(SUBCUENTAS, p.subcuentas);
    } catch (const Fallo& f) {
        // The journal goes on without a subaccount file until a row needs it.
        if (f.numero() != codigo_error::TABLA_INEXISTENTE)
            throw;
    }
    return p;
}

void Durabilidad::escribir(const PuntoDurable& p)
{
    enlace_.ejecutar(QStringLiteral("DELETE FROM punto_diario WHERE Carpeta = ?"), {carpeta_});
    enlace_.ejecutar(QStringLiteral("INSERT INTO punto_diario (Carpeta, Diario, HuellaDiario, Subcuentas, "
                                    "HuellaSubcuentas, EnCurso) VALUES (?, ?, ?, ?, ?, ?)"),
                     {carpeta_, p.diario, p.huella_diario, p.subcuentas, p.huella_subcuentas,
                      p.en_curso ? 1 : 0});
}

QString Durabilidad::cortar(Conexion& c, const QString& tabla, qint64 registros, const QString& huella,
                            QStringList* lineas, QStringList* avisos)
{
    qint64 hay = 0;
    try {
        hay = c.registros(tabla);
    } catch (const Fallo& f) {
        if (f.numero() == codigo_error::TABLA_INEXISTENTE)
            return {};
        throw;
    }
    if (hay <= registros)
        return {};   // emptied or replaced since: nothing of ours to take away
    if (c.huella(tabla, registros) != huella) {
        const QString aviso =
            QStringLiteral("El fichero %1.dbf de %2 ha cambiado desde el traspaso que se interrumpió; "
                           "no se ha quitado nada de él. Compruebe en ContaPlus que no haya asientos repetidos.")
                .arg(tabla, carpeta_);
        if (lineas)
            lineas->append(aviso);
        if (avisos)
            avisos->append(aviso);
        return aviso;
    }
    c.recortar(tabla, registros);
    c.sincronizar(tabla);
    const QString linea =
        QStringLiteral("Reparado: se han quitado de %1.dbf %2 registros que un traspaso interrumpido dejó sin "
                       "marcar como traspasados; quedan %3.")
            .arg(tabla)
            .arg(hay - registros)
            .arg(registros);
    if (lineas)
        lineas->append(linea);
    return linea;
}

QStringList Durabilidad::reparar(QStringList* avisos)
{
    QStringList lineas;
    agrupar(false);
    const std::optional<PuntoDurable> p = leer();
    if (p && p->en_curso) {
        cortar(diario_, DIARIO, p->diario, p->huella_diario, &lineas, avisos);
        cortar(subcuentas_, SUBCUENTAS, p->subcuentas, p->huella_subcuentas, &lineas, avisos);
    }
    fijar(false);
    return lineas;
}

qint64 Durabilidad::registros_subcuentas()
{
    try {
        return subcuentas_.registros(SUBCUENTAS);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TABLA_INEXISTENTE)
            throw;
        return 0;
    }
}

void Durabilidad::abrir_unidad()
{
    enlace_.comenzar_unidad();
    diario_unidad_ = diario_.registros(DIARIO);
    subcuentas_unidad_ = registros_subcuentas();
}

void Durabilidad::volcar()
{
    if (diario_.abierta())
        diario_.backend().volcar();
    if (subcuentas_.abierta())
        subcuentas_.backend().volcar();
}

void Durabilidad::agrupar(bool si)
{
    if (diario_.abierta())
        diario_.backend().agrupar(si);
    if (subcuentas_.abierta())
        subcuentas_.backend().agrupar(si);
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

void Durabilidad::confirmar(bool en_curso)
{
    // The group's writes are over: the files are checked on every use again.
    agrupar(false);
    // The records first, then the marks that say they are there.
    diario_.sincronizar(DIARIO);
    try {
        subcuentas_.sincronizar(SUBCUENTAS);
    } catch (const Fallo& f) {
        if (f.numero() != codigo_error::TABLA_INEXISTENTE)
            throw;
    }
    escribir(actual(en_curso));
    enlace_.confirmar();
    en_grupo_ = false;
    if (al_confirmar)
        al_confirmar();
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
    fijar(true);
    abrir_grupo();
}

bool Durabilidad::unidad(const std::function<void()>& despues)
{
    volcar();
    enlace_.confirmar_unidad();
    ++unidades_;
    if (reloj_.elapsed() < milisegundos_grupo) {
        abrir_unidad();
        return false;
    }
    confirmar(true);
    if (despues)
        despues();
    abrir_grupo();
    return true;
}

void Durabilidad::cerrar_grupo()
{
    if (en_grupo_) {
        volcar();
        enlace_.confirmar_unidad();
        confirmar(true);
    }
    abrir_grupo();
}

void Durabilidad::terminar()
{
    if (!en_grupo_)
        abrir_grupo();
    volcar();
    enlace_.confirmar_unidad();
    confirmar(false);
}

void Durabilidad::descartar_unidad()
{
    enlace_.deshacer_unidad();
    // The new unit starts where the dropped one did, so a failure while the
    // files are cut back is undone by abandonar() as any other unit.
    enlace_.comenzar_unidad();
    if (diario_.registros(DIARIO) > diario_unidad_)
        diario_.recortar(DIARIO, diario_unidad_);
    if (registros_subcuentas() > subcuentas_unidad_)
        subcuentas_.recortar(SUBCUENTAS, subcuentas_unidad_);
}

QString Durabilidad::abandonar()
{
    if (!en_grupo_)
        return {};
    // The unit in course goes; the units before it in the group stay, as
    // they would have had the group closed just before the failure.
    try {
        enlace_.deshacer_unidad();
        QString texto;
        const qint64 hay = diario_.registros(DIARIO);
        if (hay > diario_unidad_) {
            diario_.recortar(DIARIO, diario_unidad_);
            const qint64 n = hay - diario_unidad_;
            texto = QStringLiteral(" El asiento que quedó a medias se ha quitado del diario (%1 %2).")
                        .arg(QString::number(n), n == 1 ? QStringLiteral("línea") : QStringLiteral("líneas"));
        }
        if (registros_subcuentas() > subcuentas_unidad_)
            subcuentas_.recortar(SUBCUENTAS, subcuentas_unidad_);
        confirmar(false);
        return texto;
    } catch (const Fallo& f) {
        // Not even that: the whole group goes back to the last durable point,
        // here or at the next activation.
        agrupar(false);
        QString texto = QStringLiteral(" No se ha podido dejar el diario en orden: %1 (%2).")
                            .arg(f.descripcion(), QString::number(f.numero()));
        try {
            if (enlace_.en_transaccion())
                enlace_.deshacer();
            en_grupo_ = false;
            if (const std::optional<PuntoDurable> p = leer()) {
                cortar(diario_, DIARIO, p->diario, p->huella_diario, nullptr, nullptr);
                cortar(subcuentas_, SUBCUENTAS, p->subcuentas, p->huella_subcuentas, nullptr, nullptr);
                texto += QStringLiteral(" Se ha vuelto al último punto seguro; lo que faltó se traspasará en el "
                                        "próximo traspaso.");
            }
        } catch (const Fallo& g) {
            texto += QStringLiteral(" Se arreglará al abrir de nuevo la ventana de traspaso (%1).").arg(g.descripcion());
        }
        en_grupo_ = false;
        return texto;
    }
}
