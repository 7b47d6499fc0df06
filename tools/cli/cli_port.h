// The serial port of the commands that talk to a meter (identify, read): a Qt
// core application for the port's events, and the port opened from --port and
// the LINE options.
#pragma once

#include "cli_args.h"

#include <QCoreApplication>

#include <memory>
#include <optional>
#include <string>

class EchoRemovingLink;
class TComPort;

// Creates the QCoreApplication the port and the event-processing waits need,
// unless one exists already (tests that call a command in process).
class CliQtContext {
public:
    CliQtContext();
    ~CliQtContext();

private:
    std::unique_ptr<QCoreApplication> FApplication;
};

struct CliOpenFailure {
    std::string message; // for stderr, after "ql-rs485-cli COMMAND: "
    int exitCode = 2;    // 2: the port cannot be opened; 1: the connection was lost at once
};

// Applies --port and the LINE options to `port` and opens it. nullopt on
// success.
std::optional<CliOpenFailure> OpenCliPort(TComPort& port, const CliOptions& options);

// Turns echo removal on for --echo; a request whose echo differs is told on
// stderr, prefixed with "ql-rs485-cli COMMAND: ".
void SetUpEchoRemoval(EchoRemovingLink& link, const CliOptions& options, const char* command);

class Exchange;
// When replies began with their request, says on stderr that the line echoes
// (and that --echo removes it, or that with --echo the request came twice).
void ReportEchoedReplies(const Exchange& exchange, const CliOptions& options, const char* command);

struct LineOptions;
struct LineTiming;
// Bits on the line per character (start, data, parity, stop): the character
// time that ends a reply in the fast collection.
double BitsPerCharacter(const LineOptions& line);
// The line's baud rate and character size, for the wire time of replies.
LineTiming LineTimingOf(const LineOptions& line);
