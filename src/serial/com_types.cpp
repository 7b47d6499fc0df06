#include "serial/com_types.h"

int baudRateValue(BaudRateIndex baudRate)
{
    static const int kBauds[kBaudRateCount] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                               14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const int ordinal = int(baudRate);
    if (ordinal < 0 || ordinal >= kBaudRateCount)
        return 0;
    return kBauds[ordinal];
}

int dataBitsValue(DataBitsIndex dataBits)
{
    const int ordinal = int(dataBits);
    if (ordinal < 0 || ordinal >= kDataBitsCount)
        return 8;
    return 5 + ordinal;
}
