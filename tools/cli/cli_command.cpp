#include "cli_command.h"

#include <algorithm>

namespace {

// Filled during static initialisation by the command files; a function-local static
// so it exists before the first registration whatever the link order.
std::vector<const CliCommand*>& CommandList()
{
    static std::vector<const CliCommand*> commands;
    return commands;
}

} // namespace

CliCommandRegistration::CliCommandRegistration(const CliCommand& command)
{
    CommandList().push_back(&command);
}

std::vector<const CliCommand*> RegisteredCliCommands()
{
    std::vector<const CliCommand*> commands = CommandList();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    return commands;
}

const CliCommand* FindCliCommand(std::string_view name)
{
    for (const CliCommand* command : CommandList())
        if (command->name == name)
            return command;
    return nullptr;
}
