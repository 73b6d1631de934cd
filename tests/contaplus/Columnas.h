#pragma once
// What the journal tests of contaplus share: a line as the columns it sets,
// the columns of a line at their defaults, and the comparison of a row.
#include "contaplus/FilaDiario.h"
#include <QDate>
#include <QTest>

// The 28 columns after Asien and Fecha that asignar_linea sets, by name.
inline QVariantMap columnas(const LineaDiario& l)
{
    return {{"SUBCTA", l.subcta},
            {"CONTRA", l.contra},
            {"PTADEBE", l.pta_debe},
            {"CONCEPTO", l.concepto},
            {"PTAHABER", l.pta_haber},
            {"FACTURA", l.factura},
            {"BASEIMPO", l.base_impo},
            {"IVA", l.iva},
            {"RECEQUIV", 0},
            {"DOCUMENTO", l.documento},
            {"DEPARTA", ""},
            {"CLAVE", ""},
            {"ESTADO", ""},
            {"NCASADO", 0},
            {"TCASADO", 0},
            {"TRANS", 0},
            {"CAMBIO", 0},
            {"DEBEME", 0},
            {"HABERME", 0},
            {"AUXILIAR", l.auxiliar},
            {"SERIE", l.serie},
            {"SUCURSAL", ""},
            {"CODDIVISA", ""},
            {"IMPAUXME", 0},
            {"MONEDAUSO", l.moneda_uso},
            {"EURODEBE", l.euro_debe},
            {"EUROHABER", l.euro_haber},
            {"BASEEURO", l.base_euro}};
}

// Every column of a cash or deposit line (Auxiliar "", MonedaUso "2") or of
// an invoice line (Auxiliar "*", MonedaUso 2, concept of invoice 1234) at
// the value it takes when the line's own columns do not say otherwise.
inline QVariantMap linea_con(bool factura, const QVariantMap& propias)
{
    QVariantMap l = columnas(LineaDiario{});
    l["SUBCTA"] = "";
    if (factura) {
        l["AUXILIAR"] = "*";
        l["CONCEPTO"] = "Factura Nº1234";
    }
    for (auto it = propias.begin(); it != propias.end(); ++it) l[it.key()] = it.value();
    return l;
}

// Compares every column. `estricto`: a row read back from the file, whose
// texts must be texts (dBASE pads with blanks, so trailing blanks are not
// seen); otherwise the values a builder gives, a text compared as text and
// an expected Null only met by a Null.
inline void comparar(const QVariantMap& leida, const QVariantMap& esperada, bool estricto = false)
{
    QCOMPARE(leida.size(), esperada.size());
    for (auto it = esperada.begin(); it != esperada.end(); ++it) {
        const QString& col = it.key();
        QVERIFY2(leida.contains(col), qPrintable("no column " + col));
        const QVariant v = leida.value(col);
        const QVariant& e = it.value();
        const QByteArray donde = (col + ": " + v.toString() + " / " + e.toString()).toUtf8();
        if (e.isNull() && !estricto) {
            QVERIFY2(v.isNull(), donde);
            continue;
        }
        switch (e.typeId()) {
        case QMetaType::QString:
            QVERIFY2((!estricto || v.typeId() == QMetaType::QString) && !v.isNull() && v.toString() == e.toString(),
                     donde);
            break;
        case QMetaType::QDate: QVERIFY2(v.toDate() == e.toDate(), donde); break;
        default: QVERIFY2(v.isValid() && !v.isNull() && qAbs(v.toDouble() - e.toDouble()) < 1e-6, donde);
        }
    }
}
