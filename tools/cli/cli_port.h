// The link of the commands that talk to a meter (identify, read, …): a Qt core
// application for the link's events, and the link opened from --port and the
// LINE options.
#pragma once

#include "cli_args.h"

#include <QCoreApplication>

#include <memory>
#include <optional>
#include <string>

class LinkSlot;

// Creates the QCoreApplication the port and the event-processing waits need,
// unless one exists already (tests that call a command in process).
class CliQtContext {
public:
    CliQtContext();
    ~CliQtContext();

private:
    std::unique_ptr<QCoreApplication> m_application;
};

struct CliOpenFailure {
    std::string message; // for stderr, after "ql-rs485-cli COMMAND: "
    int exitCode = 2;    // 2: the port cannot be opened; 1: the connection was lost at once
};

// Opens the link --port names with the LINE options into `link`. A request
// whose echo differs (with --echo) is told on stderr, prefixed with
// "ql-rs485-cli COMMAND: "; a connection that ends by itself sets `lostMessage`.
// nullopt on success.
std::optional<CliOpenFailure> openCliPort(LinkSlot& link, const CliOptions& options, const char* command,
                                          std::optional<std::string>& lostMessage);

class Exchange;
// When replies began with their request, says on stderr that the line echoes
// (and that --echo removes it, or that with --echo the request came twice).
void reportEchoedReplies(const Exchange& exchange, const CliOptions& options, const char* command);
