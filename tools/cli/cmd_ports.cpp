// `ports`: the serial ports of this machine, so the operator can tell which
// /dev/tty… is their adapter.
#include "cli_args.h"
#include "cli_command.h"
#include "serial/port_list.h"

#include <cstdio>

namespace {

int runPorts(const DeviceRegistry& /*registry*/, const std::vector<std::string>& args)
{
    const CliOptions options(args, {});
    options.requireNoPositionals();
    QList<SerialPortDetails> ports = availablePorts();
#ifdef Q_OS_LINUX
    ports += stablePortNames(ports, QStringLiteral("/dev/serial/by-id"));
#endif
    for (const SerialPortDetails& port : ports)
        std::printf("%s\n", portDetailsLine(port).toUtf8().constData());
    return kExitOk;
}

const CliCommand kPortsCommand{
    "ports", "list the serial ports of this machine",
    "usage: ql-rs485-cli ports\n"
    "\n"
    "Prints one line per serial port: path, description, manufacturer, serial number and\n"
    "USB vendor:product (hex), TAB-separated, empty where unknown. On Linux the stable\n"
    "names in /dev/serial/by-id follow, each with the details of the port it points to.\n"
    "Pseudo-terminals are not listed.\n",
    runPorts};
QL_CLI_COMMAND(kPortsCommand);

} // namespace
