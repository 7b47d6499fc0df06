// The workbook reader over raw .xlsx bytes: our zip reader, inflate, and the XML
// of the shared strings and the first sheet.
#include "workbook_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    readWorkbookBytes(data, size, QByteArray("PK\x03\x04", 4), "xlsx");
    return 0;
}
