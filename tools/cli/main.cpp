// ql-rs485-cli: the reader core without windows, one subcommand per cmd_<name>.cpp.
#include "catalogue/device_registry.h"
#include "cli_args.h"
#include "cli_command.h"
#include "ql_version.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#endif

namespace {

constexpr const char* kProgram = "ql-rs485-cli";

void printCommandList(std::FILE* out)
{
    std::fprintf(out, "usage: %s <command> [options]\n       %s <command> --help\n\ncommands:\n", kProgram,
                 kProgram);
    size_t width = 0;
    for (const CliCommand* command : registeredCliCommands())
        width = std::max(width, command->name.size());
    for (const CliCommand* command : registeredCliCommands())
        std::fprintf(out, "  %-*.*s  %.*s\n", static_cast<int>(width), static_cast<int>(command->name.size()),
                     command->name.data(), static_cast<int>(command->summary.size()),
                     command->summary.data());
    std::fprintf(out,
                 "\nLINE: [--baud N] [--data-bits 5|6|7|8] [--parity none|odd|even|mark|space] "
                 "[--stop-bits 1|1.5|2]\n      [--echo] [--timeout MS]\n"
                 "      (default 9600 baud, 8 data bits, odd parity, 1 stop bit; --echo removes the echo\n"
                 "      of each request; --timeout: the fast mode's response timeout, default 1000)\n"
                 "PATH: a serial port, tcp://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (Telnet with\n"
                 "      RFC 2217 port control) of a serial device server\n"
                 "Exit status: 0 done, 1 no or bad answer from the meter, 2 bad arguments or files.\n");
}

bool isHelp(const std::string& word)
{
    return word == "--help" || word == "-h";
}

#ifdef _WIN32
// Windows gives main() its arguments in the ANSI code page, which lacks most
// characters of a file name outside its script; the commands take UTF-8, read
// here from the wide command line.
std::vector<std::string> utf8Words()
{
    std::vector<std::string> words;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string word(size_t(std::max(size, 1)), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, word.data(), size, nullptr, nullptr);
        word.resize(word.size() - 1);
        words.push_back(std::move(word));
    }
    LocalFree(wide);
    return words;
}

// Output is UTF-8 as on Linux: the console is told so, and binary mode keeps
// "\n" as it is, so redirected output has the same bytes as the Linux reader's.
void useUtf8Output()
{
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
#endif

} // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv)
{
#ifdef _WIN32
    useUtf8Output();
    const std::vector<std::string> words = utf8Words();
#else
    const std::vector<std::string> words(argv + 1, argv + argc);
#endif
    if (words.empty()) {
        printCommandList(stderr);
        return kExitBadArguments;
    }
    if (words[0] == "--version") {
        std::printf("%s %s\n", kProgram, kQlVersion);
        return kExitOk;
    }
    if (isHelp(words[0]) || words[0] == "help") {
        printCommandList(stdout);
        return kExitOk;
    }
    const CliCommand* command = findCliCommand(words[0]);
    if (!command) {
        std::fprintf(stderr, "%s: unknown command '%s' (see %s --help)\n", kProgram, words[0].c_str(),
                     kProgram);
        return kExitBadArguments;
    }
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (std::any_of(args.begin(), args.end(), isHelp)) {
        std::fwrite(command->usage.data(), 1, command->usage.size(), stdout);
        return kExitOk;
    }
    try {
        const DeviceRegistry registry = builtInRegistry();
        return command->run(registry, args);
    } catch (const CliUsageError& error) {
        const std::string_view usageLine = command->usage.substr(0, command->usage.find('\n'));
        std::fprintf(stderr, "%s %s: %s\n%.*s\n", kProgram, words[0].c_str(), error.what(),
                     static_cast<int>(usageLine.size()), usageLine.data());
        return kExitBadArguments;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s %s: %s\n", kProgram, words[0].c_str(), error.what());
        return kExitNoAnswer;
    }
}
