#pragma once
// Cancels a statement that runs past its time. A row another program holds
// locked makes the server wait for it, for ever on SQL Server; SQLCancel,
// called from another thread, is how ODBC stops a statement in course. One
// thread per connection sleeps until the running statement's deadline and
// is woken only when it had nothing to watch, so a statement costs two
// mutex operations, not a thread switch.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class Vigilante {
public:
    explicit Vigilante(std::chrono::milliseconds limite) : limite_(limite) {}
    ~Vigilante();
    Vigilante(const Vigilante&) = delete;
    Vigilante& operator=(const Vigilante&) = delete;

    std::chrono::milliseconds limite() const { return limite_; }

    // Watches the statement handle `hstmt` from now until terminar().
    void empezar(void* hstmt);
    // True when the statement was cancelled for running past its time.
    bool terminar();

private:
    void vigilar();

    const std::chrono::milliseconds limite_;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread hilo_;
    void* h_ = nullptr;
    std::chrono::steady_clock::time_point plazo_;
    bool cancelada_ = false;
    bool ocioso_ = false;  // the thread waits with no deadline
    bool fin_ = false;
};
