#include "cli_command.h"

#include <algorithm>

namespace {

// Filled during static initialisation by the command files; a function-local static
// so it exists before the first registration whatever the link order.
std::vector<const CliCommand*>& commandList()
{
    static std::vector<const CliCommand*> commands;
    return commands;
}

} // namespace

CliCommandRegistration::CliCommandRegistration(const CliCommand& command)
{
    commandList().push_back(&command);
}

std::vector<const CliCommand*> registeredCliCommands()
{
    std::vector<const CliCommand*> commands = commandList();
    std::sort(commands.begin(), commands.end(),
              [](const CliCommand* a, const CliCommand* b) { return a->name < b->name; });
    return commands;
}

const CliCommand* findCliCommand(std::string_view name)
{
    for (const CliCommand* command : commandList())
        if (command->name == name)
            return command;
    return nullptr;
}
