// ql-rs485-xls-reader FILE: reads the first worksheet of an .xls workbook with
// FreeXL and writes the cells to standard output in the form DecodeXlsCells reads.
// The program starts it for every .xls file, so that a crash or hang inside FreeXL
// on a damaged file ends this process and not the program. Exit status 0 when the
// output is complete (also when it carries an error text), 2 for bad arguments.
#include "export/xls_reading.h"

#include <cstdio>
#include <cstring>
#include <string>

// FreeXL 1.0.6 keeps some buffers when it gives up on a damaged file: the
// library's memory, not ours, and freed when this short-lived process ends.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfreexl.so\n";
}

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: %s FILE.xls\n", kXlsReaderName);
        return 2;
    }
    const std::string output = EncodeXlsCells(ReadXlsInThisProcess(argv[1]));
    const bool written = std::fwrite(output.data(), 1, output.size(), stdout) == output.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
