// One user of the port at a time. Every exchange with the meter (an
// identification, a record run, a parameter read) holds a lease for its whole
// length. Their waits process window events, so without it a handler running
// meanwhile (a timer tick, a menu click) would put its frames between another
// exchange's request and reply and spoil both. The guard never waits: on a
// single thread the holder cannot finish while a newcomer waits on top of it,
// so whoever finds the port taken skips its turn or refuses.
//
// Owned beside the port (by the main window) and handed to every window that
// talks through it.
#pragma once

#include <functional>

class PortGuard {
public:
    // Releases the port when it ends; an empty lease holds nothing.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept : m_guard(other.m_guard) { other.m_guard = nullptr; }
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() { release(); }

        explicit operator bool() const { return m_guard != nullptr; }
        void release();

    private:
        friend class PortGuard;
        explicit Lease(PortGuard* guard) : m_guard(guard) {}
        PortGuard* m_guard = nullptr;
    };

    PortGuard() = default;
    PortGuard(const PortGuard&) = delete;
    PortGuard& operator=(const PortGuard&) = delete;

    // The port for the caller, or an empty lease when another exchange has it.
    [[nodiscard]] Lease tryTake();
    bool busy() const { return m_busy; }
    // Called each time a lease ends, after the port is free again; the owner
    // uses it to report what happened to the port while it was taken.
    void setOnFree(std::function<void()> onFree) { m_onFree = std::move(onFree); }

private:
    void free();

    bool m_busy = false;
    std::function<void()> m_onFree;
};
