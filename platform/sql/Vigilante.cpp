#include "platform/sql/Vigilante.h"

#include <sql.h>

Vigilante::~Vigilante()
{
    if (!hilo_.joinable()) return;
    {
        std::lock_guard l(m_);
        fin_ = true;
    }
    cv_.notify_one();
    hilo_.join();
}

void Vigilante::empezar(void* hstmt)
{
    std::unique_lock l(m_);
    h_ = hstmt;
    plazo_ = std::chrono::steady_clock::now() + limite_;
    cancelada_ = false;
    if (!hilo_.joinable()) {
        hilo_ = std::thread([this] { vigilar(); });
        return;
    }
    // A thread already waiting for an earlier deadline wakes then and
    // finds this one.
    if (ocioso_) {
        l.unlock();
        cv_.notify_one();
    }
}

bool Vigilante::terminar()
{
    std::lock_guard l(m_);
    h_ = nullptr;
    return cancelada_;
}

void Vigilante::vigilar()
{
    std::unique_lock l(m_);
    while (!fin_) {
        if (!h_) {
            ocioso_ = true;
            cv_.wait(l);
            ocioso_ = false;
            continue;
        }
        if (std::chrono::steady_clock::now() >= plazo_) {
            // Under the lock: terminar() waits for it, so the handle is
            // still the statement's.
            SQLCancel(static_cast<SQLHSTMT>(h_));
            cancelada_ = true;
            h_ = nullptr;
            continue;
        }
        cv_.wait_until(l, plazo_);
    }
}
