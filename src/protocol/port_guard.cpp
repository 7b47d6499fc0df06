#include "protocol/port_guard.h"

PortGuard::Lease& PortGuard::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        release();
        m_guard = other.m_guard;
        other.m_guard = nullptr;
    }
    return *this;
}

void PortGuard::Lease::release()
{
    PortGuard* guard = m_guard;
    m_guard = nullptr;
    if (guard)
        guard->free();
}

PortGuard::Lease PortGuard::tryTake()
{
    if (m_busy)
        return Lease();
    m_busy = true;
    return Lease(this);
}

void PortGuard::free()
{
    m_busy = false;
    if (m_onFree)
        m_onFree();
}
