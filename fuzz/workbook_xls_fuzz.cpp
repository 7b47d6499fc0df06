// The workbook reader over raw .xls bytes (an OLE2 compound file): each input goes
// through the helper ql-rs485-xls-reader (FreeXL) found in the build's bin/, and
// back through the decoding of its output. Whatever the helper does with the
// input, the reader must end in cells or an error.
#include "workbook_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    readWorkbookBytes(data, size, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "xls");
    return 0;
}
