#include "protocol/port_guard.h"

PortGuard::Lease& PortGuard::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        Release();
        m_guard = other.m_guard;
        other.m_guard = nullptr;
    }
    return *this;
}

void PortGuard::Lease::Release()
{
    PortGuard* guard = m_guard;
    m_guard = nullptr;
    if (guard)
        guard->Free();
}

PortGuard::Lease PortGuard::TryTake()
{
    if (m_busy)
        return Lease();
    m_busy = true;
    return Lease(this);
}

void PortGuard::Free()
{
    m_busy = false;
    if (m_onFree)
        m_onFree();
}
