#include "serial/line_settings.h"

#include <algorithm>
#include <cmath>

double LineSettings::bitsPerCharacter() const
{
    const double stop = stopBits == StopBitsIndex::Two ? 2 : stopBits == StopBitsIndex::OneAndHalf ? 1.5 : 1;
    return 1 + dataBits + (parity == ParityIndex::None ? 0 : 1) + stop;
}

int LineSettings::wireTimeMs(size_t byteCount) const
{
    if (baudRate <= 0)
        return 0;
    return static_cast<int>(std::ceil(double(byteCount) * bitsPerCharacter() * 1000.0 / baudRate));
}

int LineSettings::silenceGapMs() const
{
    if (baudRate <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::ceil(3.5 * bitsPerCharacter() * 1000.0 / baudRate)));
}
