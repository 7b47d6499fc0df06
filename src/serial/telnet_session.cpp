#include "serial/telnet_session.h"

using namespace telnet;

namespace {

bool WeSupport(uint8_t option)
{
    return option == kOptionBinary || option == kOptionSuppressGoAhead || option == kOptionComPort;
}

bool ServerMaySupport(uint8_t option)
{
    return option == kOptionBinary || option == kOptionSuppressGoAhead;
}

void AppendCommand(Bytes& out, uint8_t verb, uint8_t option)
{
    // Byte by byte: GCC 12 at -O2 misreads the three-byte insert of an
    // initializer list as an overflowing copy.
    out.push_back(kIac);
    out.push_back(verb);
    out.push_back(option);
}

void AppendSubnegotiation(Bytes& out, uint8_t command, ByteView value)
{
    out.insert(out.end(), {kIac, kSb, kOptionComPort, command});
    const Bytes escaped = TelnetSession::Escape(value);
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.insert(out.end(), {kIac, kSe});
}

} // namespace

Bytes TelnetSession::Start()
{
    Bytes out;
    for (const uint8_t option : {kOptionComPort, kOptionBinary, kOptionSuppressGoAhead}) {
        FLocal[option] = OptionState::Requested;
        AppendCommand(out, kWill, option);
    }
    for (const uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
        FRemote[option] = OptionState::Requested;
        AppendCommand(out, kDo, option);
    }
    FComPortRefused = false;
    FConfirmedMask = 0;
    FServerLine = ComPortLine{0, 0, 0, 0};
    FDroppedSubnegotiations = 0;
    return out;
}

Bytes TelnetSession::ComPortSettings(const ComPortLine& line)
{
    Bytes out;
    // The baud rate goes as four bytes in network order.
    const uint8_t baud[4] = {uint8_t(line.baudRate >> 24), uint8_t(line.baudRate >> 16),
                             uint8_t(line.baudRate >> 8), uint8_t(line.baudRate)};
    AppendSubnegotiation(out, kSetBaudRate, ByteView(baud, 4));
    AppendSubnegotiation(out, kSetDataSize, ByteView(&line.dataSize, 1));
    AppendSubnegotiation(out, kSetParity, ByteView(&line.parity, 1));
    AppendSubnegotiation(out, kSetStopSize, ByteView(&line.stopSize, 1));
    return out;
}

Bytes TelnetSession::Escape(ByteView data)
{
    Bytes out;
    out.reserve(data.size());
    for (const uint8_t byte : data) {
        out.push_back(byte);
        if (byte == kIac)
            out.push_back(kIac);
    }
    return out;
}

void TelnetSession::Receive(ByteView received, Bytes& data, Bytes& answer)
{
    for (const uint8_t byte : received) {
        switch (FState) {
        case ParseState::Data:
            if (byte == kIac)
                FState = ParseState::Iac;
            else
                data.push_back(byte);
            break;
        case ParseState::Iac:
            if (byte == kIac) {
                data.push_back(kIac);
                FState = ParseState::Data;
            } else if (byte >= kWill && byte <= kDont) {
                FVerb = byte;
                FState = ParseState::Verb;
            } else if (byte == kSb) {
                FSub.clear();
                FSubTooLong = false;
                FState = ParseState::Sub;
            } else {
                // NOP, go-ahead, data mark and the other one-byte commands.
                FState = ParseState::Data;
            }
            break;
        case ParseState::Verb:
            HandleVerb(FVerb, byte, answer);
            FState = ParseState::Data;
            break;
        case ParseState::Sub:
            if (byte == kIac)
                FState = ParseState::SubIac;
            else
                AppendToSubnegotiation(byte);
            break;
        case ParseState::SubIac:
            if (byte == kSe) {
                if (!FSubTooLong)
                    HandleSubnegotiation();
                FSub.clear();
                FState = ParseState::Data;
            } else {
                // IAC IAC inside a subnegotiation is a 255 of its value.
                AppendToSubnegotiation(byte);
                FState = ParseState::Sub;
            }
            break;
        }
    }
}

// RFC 1143 in short: answer only what changes an option's state, so two peers
// never answer each other's answers for ever.
void TelnetSession::HandleVerb(uint8_t verb, uint8_t option, Bytes& answer)
{
    switch (verb) {
    case kDo:
        if (FLocal[option] == OptionState::On)
            return;
        if (FLocal[option] == OptionState::Requested || WeSupport(option)) {
            if (FLocal[option] == OptionState::Off)
                AppendCommand(answer, kWill, option);
            FLocal[option] = OptionState::On;
        } else {
            AppendCommand(answer, kWont, option);
        }
        return;
    case kDont:
        if (option == kOptionComPort)
            FComPortRefused = true;
        if (FLocal[option] == OptionState::On)
            AppendCommand(answer, kWont, option);
        FLocal[option] = OptionState::Off;
        return;
    case kWill:
        if (FRemote[option] == OptionState::On)
            return;
        if (FRemote[option] == OptionState::Requested || ServerMaySupport(option)) {
            if (FRemote[option] == OptionState::Off)
                AppendCommand(answer, kDo, option);
            FRemote[option] = OptionState::On;
        } else {
            AppendCommand(answer, kDont, option);
        }
        return;
    case kWont:
        if (FRemote[option] == OptionState::On)
            AppendCommand(answer, kDont, option);
        FRemote[option] = OptionState::Off;
        return;
    }
}

// A server that opens a subnegotiation and never ends it would otherwise grow
// the buffer with everything it sends; the rest of it is skipped instead.
void TelnetSession::AppendToSubnegotiation(uint8_t byte)
{
    if (FSubTooLong)
        return;
    if (FSub.size() >= kMaxSubnegotiationBytes) {
        FSubTooLong = true;
        ++FDroppedSubnegotiations;
        FSub.clear();
        FSub.shrink_to_fit();
        return;
    }
    FSub.push_back(byte);
}

int TelnetSession::ConfirmedSettings() const
{
    int count = 0;
    for (int bit = 0; bit < 4; ++bit)
        count += (FConfirmedMask >> bit) & 1;
    return count;
}

void TelnetSession::HandleSubnegotiation()
{
    if (FSub.size() < 3 || FSub[0] != kOptionComPort)
        return;
    const uint8_t command = FSub[1];
    if (command == kSetBaudRate + kServerReplyOffset && FSub.size() >= 6) {
        FServerLine.baudRate =
            uint32_t(FSub[2]) << 24 | uint32_t(FSub[3]) << 16 | uint32_t(FSub[4]) << 8 | FSub[5];
        FConfirmedMask |= 1;
    } else if (command == kSetDataSize + kServerReplyOffset) {
        FServerLine.dataSize = FSub[2];
        FConfirmedMask |= 2;
    } else if (command == kSetParity + kServerReplyOffset) {
        FServerLine.parity = FSub[2];
        FConfirmedMask |= 4;
    } else if (command == kSetStopSize + kServerReplyOffset) {
        FServerLine.stopSize = FSub[2];
        FConfirmedMask |= 8;
    }
    // Line-state and modem-state notifications and flow-control suspend/resume
    // carry nothing a request/reply exchange of a few bytes acts on.
}
