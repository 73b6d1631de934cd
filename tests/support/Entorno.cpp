#include "tests/support/Entorno.h"

#include "transfer/FechasTraspaso.h"

Entorno::Entorno(const OpcionesEntorno& o)
    : propia_(std::make_unique<Instalacion>(o.modo_sql, o.unidad)), inst(*propia_), m(inst.unidades(), clerk),
      t(m, vista)
{
    inst.ajustes(o.ajustes);
    if (o.antes) o.antes(inst);
    iniciar(o.inicio);
}

Entorno::Entorno(Instalacion& instalacion, Inicio inicio) : inst(instalacion), m(inst.unidades(), clerk), t(m, vista)
{
    iniciar(inicio);
}

void Entorno::iniciar(Inicio inicio)
{
    if (inicio == Inicio::Nada) return;
    m.cargar();
    if (inicio == Inicio::Activado) m.activar();
}

FinTraspaso Entorno::correr(const QString& desde, const QString& hasta)
{
    if (!t.activar()) qFatal("la ventana de traspaso no se pudo preparar");
    QString de = desde, ha = hasta;
    if (confirmar_desde(t, de) != ResultadoFecha::Aceptada) qFatal("fecha inicial rechazada");
    if (confirmar_hasta(t, ha) != ResultadoFecha::Aceptada) qFatal("fecha final rechazada");
    vista.de = de;
    vista.hasta = ha;
    return t.iniciar2();
}
