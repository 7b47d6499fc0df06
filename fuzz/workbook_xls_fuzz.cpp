// The workbook reader over raw .xls bytes (an OLE2 compound file read by FreeXL).
#include "workbook_fuzz.h"

// FreeXL 1.0.6 loses a buffer of its own when it refuses some corrupt files
// (freexl_open fails and nothing is left to close): a bounded leak inside the
// library that our code cannot free, so leak reports from inside it are ignored.
// Leaks of our own code are still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfreexl.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ReadWorkbookBytes(data, size, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "xls");
    return 0;
}
