// The Telnet side of a serial device server that speaks RFC 2217: option
// negotiation, IAC escaping of data both ways, and the COM-PORT-OPTION
// subnegotiations that set the remote line. Plain bytes in, bytes out: the
// socket belongs to Rfc2217Link.
#pragma once

#include "codec/codec.h"

#include <cstddef>
#include <cstdint>

namespace telnet {
// RFC 854 commands and the options used here (RFC 856 binary, RFC 858
// suppress-go-ahead, RFC 2217 com port control).
constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;
constexpr uint8_t kOptionBinary = 0;
constexpr uint8_t kOptionSuppressGoAhead = 3;
constexpr uint8_t kOptionComPort = 44;
// COM-PORT-OPTION subcommands from client to server; the server answers each
// with the same code plus kServerReplyOffset.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kServerReplyOffset = 100;
} // namespace telnet

// Line settings in RFC 2217 codes: parity 1 none, 2 odd, 3 even, 4 mark,
// 5 space; stop size 1 one, 2 two, 3 one and a half.
struct ComPortLine {
    uint32_t baudRate = 9600;
    uint8_t dataSize = 8;
    uint8_t parity = 2;
    uint8_t stopSize = 1;
};

class TelnetSession {
public:
    // What the client says first: it will do COM-PORT-OPTION, and binary
    // transmission and no go-aheads in both directions (without binary mode a
    // Telnet peer may turn a CR byte into CR NUL).
    Bytes start();
    // SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE, in that order.
    static Bytes comPortSettings(const ComPortLine& line);
    // Data with every IAC byte doubled.
    static Bytes escape(ByteView data);

    // Splits received bytes into data (appended to `data`) and Telnet commands,
    // answering option requests into `answer`. Commands may be cut anywhere
    // between calls. Options other than ours are refused; notifications of line
    // and modem state, flow-control requests and unknown subnegotiations are
    // ignored, as nothing here reacts to them.
    void receive(ByteView received, Bytes& data, Bytes& answer);

    // The server agreed to (DO) or refused (DONT) COM-PORT-OPTION.
    bool comPortAccepted() const { return m_local[telnet::kOptionComPort] == OptionState::On; }
    bool comPortRefused() const { return m_comPortRefused; }
    // How many of the four line settings the server has confirmed since Start;
    // a setting confirmed again counts once.
    int confirmedSettings() const;
    // The line as the server last reported it; a field the server has not
    // confirmed yet keeps its zero.
    const ComPortLine& serverLine() const { return m_serverLine; }
    // A subnegotiation longer than this is no COM-PORT-OPTION message (the
    // longest is a few bytes): it is dropped unread, up to its end.
    static constexpr size_t kMaxSubnegotiationBytes = 256;
    // How many subnegotiations were dropped for their length since Start.
    int droppedSubnegotiations() const { return m_droppedSubnegotiations; }

private:
    enum class OptionState : uint8_t { Off, Requested, On };
    enum class ParseState : uint8_t { Data, Iac, Verb, Sub, SubIac };

    void handleVerb(uint8_t verb, uint8_t option, Bytes& answer);
    void handleSubnegotiation();
    void appendToSubnegotiation(uint8_t byte);

    OptionState m_local[256] = {};  // what we do (WILL/WONT)
    OptionState m_remote[256] = {}; // what the server does (DO/DONT)
    bool m_comPortRefused = false;
    uint8_t m_confirmedMask = 0; // bit n: setting n + 1 confirmed
    ComPortLine m_serverLine{0, 0, 0, 0};
    int m_droppedSubnegotiations = 0;
    bool m_subTooLong = false;
    ParseState m_state = ParseState::Data;
    uint8_t m_verb = 0;
    Bytes m_sub;
};
