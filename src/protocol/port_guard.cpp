#include "protocol/port_guard.h"

PortGuard::Lease& PortGuard::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        Release();
        FGuard = other.FGuard;
        other.FGuard = nullptr;
    }
    return *this;
}

void PortGuard::Lease::Release()
{
    PortGuard* guard = FGuard;
    FGuard = nullptr;
    if (guard)
        guard->Free();
}

PortGuard::Lease PortGuard::TryTake()
{
    if (FBusy)
        return Lease();
    FBusy = true;
    return Lease(this);
}

void PortGuard::Free()
{
    FBusy = false;
    if (FOnFree)
        FOnFree();
}
