// Commands of ql-rs485-cli register themselves: a command is one file
// tools/cli/cmd_<name>.cpp that defines a CliCommand and registers it, e.g.
//
//   namespace {
//   int runFrame(const DeviceRegistry& registry, const std::vector<std::string>& args) { ... return kExitOk;
//   } const CliCommand kFrameCommand{"frame", "print the request frame of one block",
//                                  "usage: ql-rs485-cli frame --kind K --block B [--addr A]\n", runFrame};
//   QL_CLI_COMMAND(kFrameCommand);
//   }
//
// `registry` is the one main() built; `args` are the words after the command name. main() answers `<cmd>
// --help` with the usage text itself, so `run` never sees --help. `run` returns the exit status (see the
// kExit… constants); bad arguments may instead throw CliUsageError (cli_args.h), which
// main() turns into a message on stderr and exit status 2.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class DeviceRegistry;

// Exit status of every command.
constexpr int kExitOk = 0;           // the command did its job (also: meter answered "no record")
constexpr int kExitNoAnswer = 1;     // the meter did not answer or the reply was bad
constexpr int kExitBadArguments = 2; // bad arguments or files; message on stderr

struct CliCommand {
    std::string_view name;    // the word after ql-rs485-cli
    std::string_view summary; // one line for the command list of --help
    std::string_view usage;   // full usage text printed by `<cmd> --help`, ends with '\n'
    int (*run)(const DeviceRegistry& registry, const std::vector<std::string>& args);
};

// The registered commands sorted by name. Registration happens during static
// initialisation of the command files, so this is complete once main() runs.
std::vector<const CliCommand*> registeredCliCommands();
// nullptr when no command has this name.
const CliCommand* findCliCommand(std::string_view name);

struct CliCommandRegistration {
    explicit CliCommandRegistration(const CliCommand& command);
};

#define QL_CLI_COMMAND(command) static const CliCommandRegistration command##Registration(command)
