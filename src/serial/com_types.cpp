#include "serial/com_types.h"

int baudRateValue(BaudRateIndex baudRate)
{
    static const int kBauds[kBaudRateCount] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                               14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    if (baudRate < 0 || baudRate >= kBaudRateCount)
        return 0;
    return kBauds[baudRate];
}

int dataBitsValue(DataBitsIndex dataBits)
{
    if (dataBits < 0 || dataBits >= kDataBitsCount)
        return 8;
    return 5 + dataBits;
}
