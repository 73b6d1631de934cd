#include "platform/sistema/Interrupcion.h"

#include <cerrno>
#include <csignal>
#include <signal.h>
#include <unistd.h>

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

// Whether a handler was installed by capturar(), so leer_linea() knows
// what to put back.
bool capturando_ = false;

void instalar(void (*manejador)(int), bool reanudar = true)
{
    struct sigaction a = {};
    a.sa_handler = manejador;
    sigemptyset(&a.sa_mask);
    // A write to disk goes on after the handler; only a question's read is
    // cut short by it.
    a.sa_flags = reanudar ? SA_RESTART : 0;
    sigaction(SIGINT, &a, nullptr);
}

}  // namespace

namespace interrupcion {

void capturar()
{
    pedida_ = 0;
    capturando_ = true;
    instalar(al_recibir);
}

void soltar()
{
    capturando_ = false;
    instalar(SIG_DFL);
}

bool pedida()
{
    return pedida_ != 0;
}

bool leer_linea(std::string& linea)
{
    linea.clear();
    if (pedida_) return false;
    // Byte by byte from the descriptor, so nothing of the next answer is
    // held in a buffer when this one ends.
    if (capturando_) instalar(al_recibir, false);
    bool leida = false;
    for (;;) {
        char c;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n == 1) {
            leida = true;
            if (c == '\n') break;
            linea += c;
            continue;
        }
        if (n < 0 && errno == EINTR && !pedida_) continue;
        if (n < 0 || pedida_) leida = false;
        break;
    }
    if (capturando_) instalar(al_recibir);
    if (!linea.empty() && linea.back() == '\r') linea.pop_back();
    return leida && !pedida_;
}

}  // namespace interrupcion
