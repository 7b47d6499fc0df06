#include "cli_port.h"

#include "protocol/exchange.h"
#include "serial/com_port_error.h"
#include "serial/link_factory.h"

#include <cstdio>

#include <clocale>

namespace {

int gArgc = 1;
char gProgramName[] = "ql-rs485-cli";
char* gArgv[] = {gProgramName, nullptr};

} // namespace

CliQtContext::CliQtContext()
{
    if (!QCoreApplication::instance()) {
        m_application = std::make_unique<QCoreApplication>(gArgc, gArgv);
        // The application object adopts the environment's locale for the C library;
        // output and parsing stay the same in every locale.
        std::setlocale(LC_NUMERIC, "C");
    }
}

CliQtContext::~CliQtContext() = default;

std::optional<CliOpenFailure> openCliPort(LinkSlot& link, const CliOptions& options, const char* command,
                                          std::optional<std::string>& lostMessage)
{
    const std::optional<std::string> path = options.valueOf("--port");
    if (!path || path->empty())
        throw CliUsageError("missing --port");
    LinkHooks hooks;
    hooks.lost = [&lostMessage](const QString& message, const LinkReason&) {
        lostMessage = message.toStdString();
    };
    const std::string prefix = std::string("ql-rs485-cli ") + command + ": ";
    hooks.echoMismatch = [prefix](const std::string& line) {
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), line.c_str());
    };
    try {
        link.open(QString::fromStdString(*path), parseLineOptions(options), hooks);
    } catch (const ComPortError& error) {
        // A server that takes the connection and drops it at once is a line
        // that went away, as it would be a moment later.
        if (error.errorNumber == kComErrRead)
            return CliOpenFailure{std::string("port error: ") + error.what(), 1};
        return CliOpenFailure{"cannot open " + *path + ": " + error.what(), 2};
    }
    return std::nullopt;
}

void reportEchoedReplies(const Exchange& exchange, const CliOptions& options, const char* command)
{
    if (exchange.echoedReplies() == 0)
        return;
    if (parseLineOptions(options).echo)
        std::fprintf(stderr,
                     "ql-rs485-cli %s: replies begin with the request even with its echo removed: the line "
                     "echoes every request twice\n",
                     command);
    else
        std::fprintf(stderr,
                     "ql-rs485-cli %s: replies begin with the request: the line echoes what is sent; --echo "
                     "removes the echo\n",
                     command);
}
