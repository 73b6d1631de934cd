#pragma once
// Checks that a call fails with a Fallo. fallo_de runs the call and returns
// the Fallo it threw (nothing when it returned); the macros fail the calling
// test when there was none, or when its number or text is not the one
// expected. Anything else thrown goes up to QtTest as before.
#include "platform/sistema/Fallo.h"

#include <QTest>
#include <optional>

template <class Accion>
std::optional<Fallo> fallo_de(Accion&& accion)
{
    try {
        accion();
    } catch (const Fallo& f) {
        return f;
    }
    return std::nullopt;
}

// `expresion` throws a Fallo numbered `numero_esperado`.
#define ESPERAR_FALLO(expresion, numero_esperado)                                                                      \
    do {                                                                                                               \
        const std::optional<Fallo> f_ = fallo_de([&] { (void)(expresion); });                                          \
        if (!f_) QFAIL("no ha fallado: " #expresion);                                                                  \
        if (f_->numero() != (numero_esperado)) qWarning() << f_->descripcion();                                        \
        QCOMPARE(f_->numero(), qint32(numero_esperado));                                                               \
    } while (0)

// `expresion` throws a Fallo whose text contains `texto`.
#define ESPERAR_FALLO_TEXTO(expresion, texto)                                                                          \
    do {                                                                                                               \
        const std::optional<Fallo> f_ = fallo_de([&] { (void)(expresion); });                                          \
        if (!f_) QFAIL("no ha fallado: " #expresion);                                                                  \
        QVERIFY2(f_->descripcion().contains(texto), qPrintable(f_->descripcion()));                                    \
    } while (0)
