#pragma once
// Date and code routines of the module shared by the settings window and the
// transfer. Pure functions of their arguments.
#include <QDate>
#include <QString>

// Date layouts by number: 0 aaaammdd, 1 ddmmaaaa, 2 dd/mm/aaaa, 3 dd/mm/aa.
QString convertir_fecha(const QString& fecha, qint16 formato_origen, qint16 formato_destino);
// Upper case, then every "/", "-", "." and blank removed; also left in `texto`.
QString limpiar_nif(QString& texto);
// 8: first 3 and last 5 characters; 9: first 3, "0", last 5; else empty.
QString ajustar_subcuenta(const QString& cuenta, qint16 longitud);
// The date an aaaammdd text denotes (day 7-8, month 5-6, year 1-4); a text
// that names no calendar day is TIPOS_NO_COINCIDEN.
QDate dma(const QString& aaaammdd);
// A date as aaaammdd text, with its four-digit year.
QString amd(const QDate& ddmmaa);
