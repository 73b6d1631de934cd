#pragma once
// The four VAT slots of a staged invoice (fac): base, rate and VAT of each,
// by column name. Texts made once: a recordset finds a name it was given
// before by the text's address.
#include <QString>

inline const QString FAC_BASES[4] = {QStringLiteral("FacB1"), QStringLiteral("FacB2"), QStringLiteral("FacB3"),
                                     QStringLiteral("FacB4")};
inline const QString FAC_TIPOS[4] = {QStringLiteral("FacC1"), QStringLiteral("FacC2"), QStringLiteral("FacC3"),
                                     QStringLiteral("FacC4")};
inline const QString FAC_CUOTAS[4] = {QStringLiteral("FacI1"), QStringLiteral("FacI2"), QStringLiteral("FacI3"),
                                      QStringLiteral("FacI4")};
