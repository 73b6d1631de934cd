#pragma once
// The day phases of the posting: discounted deposits, then the cash desk,
// one pass each over every day of the range. Each phase numbers from the
// highest entry in Xdiario; a day takes a number only when it writes an
// entry, so the days a stopped run already posted leave no gap on the
// next run.
#include "platform/sql/Recordset.h"
#include "transfer/ContaplusAbierto.h"
#include "transfer/ContextoPaso.h"
#include "transfer/CuentasCliente.h"
#include "transfer/PuntoDurable.h"
#include <QString>

class FasesDia {
public:
    // `desde` and `hasta`: the range, aaaammdd.
    FasesDia(ContextoPaso& c, ContaplusAbierto& contaplus, Durabilidad& durabilidad, CuentasCliente& cuentas,
             const QString& desde, const QString& hasta);

    void fase_depositos();
    void fase_caja();

    // The six journal lines of the cash desk and the deposits. Each appends
    // one complete row to Xdiario, numbered n_apunte, while cajj() or edep()
    // stands on its source row, and leaves that cursor on the same row;
    // fecha_dia is the day in course, aaaammdd.
    void APUNTE_DEBE_CAJA_CONTAPLUS(qint32 n_apunte, const QString& fecha_dia);
    void APUNTE_HABER_CAJA_CONTAPLUS(qint32 n_apunte);
    void APUNTE_D_CONTAPLUS_COBRO_DEPOSITOS(qint32 n_apunte, const QString& fecha_dia);
    void APUNTE_H_CONTAPLUS_COBRO_DEPOSITOS(qint32 n_apunte);
    void APUNTE_DEPOSITOS_DESCONTADOS_D(qint32 n_apunte, const QString& fecha_dia);
    void APUNTE_DEPOSITOS_DESCONTADOS_H(qint32 n_apunte, const QString& fecha_dia);

    Recordset& cajj() { return rs_cajj_; }
    Recordset& edep() { return rs_edep_; }
    // The deposits subaccount as the lines use it: the setting, brought to
    // the company's length by the first discounted deposit, for the rest of
    // the run.
    const QString& cuenta_depositos() const { return cuenta_depositos_; }

private:
    ContextoPaso& c_;
    ContaplusAbierto& contaplus_;
    Durabilidad& durabilidad_;
    CuentasCliente& cuentas_;
    const QString desde_, hasta_;
    QString cuenta_depositos_;
    Recordset rs_cajj_, rs_edep_;
};
