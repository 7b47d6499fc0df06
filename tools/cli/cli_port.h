// The serial port of the commands that talk to a meter (identify, read): a Qt
// core application for the port's events, and the port opened from --port and
// the LINE options.
#pragma once

#include "cli_args.h"

#include <QCoreApplication>

#include <memory>
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

// Applies --port and the LINE options to `port` and opens it. Returns an
// empty text on success, else the message for stderr.
std::string OpenCliPort(TComPort& port, const CliOptions& options);

// Turns echo removal on for --echo; a request whose echo differs is told on
// stderr, prefixed with "ql-rs485-cli COMMAND: ".
void SetUpEchoRemoval(EchoRemovingLink& link, const CliOptions& options, const char* command);

struct LineOptions;
// Bits on the line per character (start, data, parity, stop): the character
// time that ends a reply in the fast collection.
double BitsPerCharacter(const LineOptions& line);
