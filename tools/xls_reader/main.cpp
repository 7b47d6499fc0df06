// ql-rs485-xls-reader FILE: reads the first worksheet of an .xls workbook with
// FreeXL and writes the cells to standard output in the form DecodeXlsCells reads.
// The program starts it for every .xls file, so that a crash or hang inside FreeXL
// on a damaged file ends this process and not the program. Exit status 0 when the
// output is complete (also when it carries an error text), 2 for bad arguments.
#include "export/xls_reading.h"

#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

// The file name as UTF-8 from the wide command line: main() gets it in the ANSI
// code page, which may lack its characters.
std::string utf8Argument(int index)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::string out;
    if (wide && index < count) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            out.resize(size_t(size));
            WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, out.data(), size, nullptr, nullptr);
            out.resize(size_t(size) - 1);
        }
    }
    LocalFree(wide);
    return out;
}
#endif

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
#ifdef _WIN32
    // The cells go out as bytes: text mode would turn every 0x0A into 0x0D 0x0A.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string path = utf8Argument(1);
#else
    const std::string path = argv[1];
#endif
    const std::string output = encodeXlsCells(readXlsInThisProcess(path));
    const bool written = std::fwrite(output.data(), 1, output.size(), stdout) == output.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
