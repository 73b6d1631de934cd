#include "platform/sistema/Interrupcion.h"

#include <csignal>
#include <signal.h>

namespace {

// Written by the handler: only a lock-free atomic type is safe there.
volatile std::sig_atomic_t pedida_ = 0;

extern "C" void al_recibir(int senal)
{
    if (pedida_) {
        // The second one: the default action, now.
        ::signal(senal, SIG_DFL);
        ::raise(senal);
        return;
    }
    pedida_ = 1;
}

void instalar(void (*manejador)(int))
{
    struct sigaction a = {};
    a.sa_handler = manejador;
    sigemptyset(&a.sa_mask);
    // A read from the terminal or a write to disk goes on after the handler.
    a.sa_flags = SA_RESTART;
    sigaction(SIGINT, &a, nullptr);
}

}  // namespace

namespace interrupcion {

void capturar()
{
    pedida_ = 0;
    instalar(al_recibir);
}

void soltar()
{
    instalar(SIG_DFL);
}

bool pedida()
{
    return pedida_ != 0;
}

}  // namespace interrupcion
