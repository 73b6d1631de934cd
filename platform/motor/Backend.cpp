#include "platform/motor/Backend.h"

qint64 Backend::clave_insertada() const
{
    return -1;
}

FilaDirecta* Backend::fila_directa(const QString&, const QVector<Columna>&)
{
    return nullptr;
}

void Backend::actualizar_filas(const QString& tabla, const Resultado& leido, const QVector<int>& filas,
                               const QStringList& columnas, const QVariantList& valores, qsizetype& escritas)
{
    for (int f : filas) {
        actualizar(tabla, leido, f, columnas, valores);
        ++escritas;
    }
}

void Backend::insertar_fila(const QString& tabla, const QVector<Columna>& columnas, const QVariantList& valores,
                            const QVector<bool>& asignada)
{
    QStringList nombres;
    QVariantList puestos;
    for (int i = 0; i < columnas.size(); ++i) {
        if (!asignada[i]) continue;
        nombres << columnas[i].nombre;
        puestos << valores[i];
    }
    insertar(tabla, nombres, puestos);
}

qint64 Consulta::contar()
{
    throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("Esta consulta no se lee por páginas."));
}

Resultado Consulta::pagina(qint64, int)
{
    throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("Esta consulta no se lee por páginas."));
}

namespace {

[[noreturn]] void sin_soporte(const QString& que)
{
    throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("El motor de esta conexión no puede %1.").arg(que));
}

}  // namespace

void Backend::comenzar()
{
    sin_soporte(QStringLiteral("empezar una transacción"));
}

void Backend::confirmar()
{
    sin_soporte(QStringLiteral("confirmar una transacción"));
}

void Backend::deshacer()
{
    sin_soporte(QStringLiteral("deshacer una transacción"));
}

void Backend::comenzar_unidad()
{
    sin_soporte(QStringLiteral("empezar una unidad de una transacción"));
}

void Backend::confirmar_unidad()
{
    sin_soporte(QStringLiteral("confirmar una unidad de una transacción"));
}

void Backend::deshacer_unidad()
{
    sin_soporte(QStringLiteral("deshacer una unidad de una transacción"));
}
