#include "serial/line_settings.h"

#include <algorithm>
#include <cmath>

double LineSettings::BitsPerCharacter() const
{
    const double stop = stopBits == sbTwoStopBits ? 2 : stopBits == sbOne5StopBits ? 1.5 : 1;
    return 1 + dataBits + (parity == prNone ? 0 : 1) + stop;
}

int LineSettings::WireTimeMs(size_t byteCount) const
{
    if (baudRate <= 0)
        return 0;
    return static_cast<int>(std::ceil(double(byteCount) * BitsPerCharacter() * 1000.0 / baudRate));
}

int LineSettings::SilenceGapMs() const
{
    if (baudRate <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::ceil(3.5 * BitsPerCharacter() * 1000.0 / baudRate)));
}
