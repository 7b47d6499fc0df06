#include "serial/telnet_session.h"

using namespace telnet;

namespace {

bool weSupport(uint8_t option)
{
    return option == kOptionBinary || option == kOptionSuppressGoAhead || option == kOptionComPort;
}

bool serverMaySupport(uint8_t option)
{
    return option == kOptionBinary || option == kOptionSuppressGoAhead;
}

void appendCommand(Bytes& out, uint8_t verb, uint8_t option)
{
    // Byte by byte: GCC 12 at -O2 misreads the three-byte insert of an
    // initializer list as an overflowing copy.
    out.push_back(kIac);
    out.push_back(verb);
    out.push_back(option);
}

void appendSubnegotiation(Bytes& out, uint8_t command, ByteView value)
{
    out.insert(out.end(), {kIac, kSb, kOptionComPort, command});
    const Bytes escaped = TelnetSession::escape(value);
    out.insert(out.end(), escaped.begin(), escaped.end());
    out.insert(out.end(), {kIac, kSe});
}

} // namespace

Bytes TelnetSession::start()
{
    Bytes out;
    for (const uint8_t option : {kOptionComPort, kOptionBinary, kOptionSuppressGoAhead}) {
        m_local[option] = OptionState::Requested;
        appendCommand(out, kWill, option);
    }
    for (const uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
        m_remote[option] = OptionState::Requested;
        appendCommand(out, kDo, option);
    }
    m_comPortRefused = false;
    m_confirmedMask = 0;
    m_serverLine = ComPortLine{0, 0, 0, 0};
    m_droppedSubnegotiations = 0;
    return out;
}

Bytes TelnetSession::comPortSettings(const ComPortLine& line)
{
    Bytes out;
    // The baud rate goes as four bytes in network order.
    const uint8_t baud[4] = {uint8_t(line.baudRate >> 24), uint8_t(line.baudRate >> 16),
                             uint8_t(line.baudRate >> 8), uint8_t(line.baudRate)};
    appendSubnegotiation(out, kSetBaudRate, ByteView(baud, 4));
    appendSubnegotiation(out, kSetDataSize, ByteView(&line.dataSize, 1));
    appendSubnegotiation(out, kSetParity, ByteView(&line.parity, 1));
    appendSubnegotiation(out, kSetStopSize, ByteView(&line.stopSize, 1));
    return out;
}

Bytes TelnetSession::escape(ByteView data)
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

void TelnetSession::receive(ByteView received, Bytes& data, Bytes& answer)
{
    for (const uint8_t byte : received) {
        switch (m_state) {
        case ParseState::Data:
            if (byte == kIac)
                m_state = ParseState::Iac;
            else
                data.push_back(byte);
            break;
        case ParseState::Iac:
            if (byte == kIac) {
                data.push_back(kIac);
                m_state = ParseState::Data;
            } else if (byte >= kWill && byte <= kDont) {
                m_verb = byte;
                m_state = ParseState::Verb;
            } else if (byte == kSb) {
                m_sub.clear();
                m_subTooLong = false;
                m_state = ParseState::Sub;
            } else {
                // NOP, go-ahead, data mark and the other one-byte commands.
                m_state = ParseState::Data;
            }
            break;
        case ParseState::Verb:
            handleVerb(m_verb, byte, answer);
            m_state = ParseState::Data;
            break;
        case ParseState::Sub:
            if (byte == kIac)
                m_state = ParseState::SubIac;
            else
                appendToSubnegotiation(byte);
            break;
        case ParseState::SubIac:
            if (byte == kSe) {
                if (!m_subTooLong)
                    handleSubnegotiation();
                m_sub.clear();
                m_state = ParseState::Data;
            } else {
                // IAC IAC inside a subnegotiation is a 255 of its value.
                appendToSubnegotiation(byte);
                m_state = ParseState::Sub;
            }
            break;
        }
    }
}

// RFC 1143 in short: answer only what changes an option's state, so two peers
// never answer each other's answers for ever.
void TelnetSession::handleVerb(uint8_t verb, uint8_t option, Bytes& answer)
{
    switch (verb) {
    case kDo:
        if (m_local[option] == OptionState::On)
            return;
        if (m_local[option] == OptionState::Requested || weSupport(option)) {
            if (m_local[option] == OptionState::Off)
                appendCommand(answer, kWill, option);
            m_local[option] = OptionState::On;
        } else {
            appendCommand(answer, kWont, option);
        }
        return;
    case kDont:
        if (option == kOptionComPort)
            m_comPortRefused = true;
        if (m_local[option] == OptionState::On)
            appendCommand(answer, kWont, option);
        m_local[option] = OptionState::Off;
        return;
    case kWill:
        if (m_remote[option] == OptionState::On)
            return;
        if (m_remote[option] == OptionState::Requested || serverMaySupport(option)) {
            if (m_remote[option] == OptionState::Off)
                appendCommand(answer, kDo, option);
            m_remote[option] = OptionState::On;
        } else {
            appendCommand(answer, kDont, option);
        }
        return;
    case kWont:
        if (m_remote[option] == OptionState::On)
            appendCommand(answer, kDont, option);
        m_remote[option] = OptionState::Off;
        return;
    }
}

// A server that opens a subnegotiation and never ends it would otherwise grow
// the buffer with everything it sends; the rest of it is skipped instead.
void TelnetSession::appendToSubnegotiation(uint8_t byte)
{
    if (m_subTooLong)
        return;
    if (m_sub.size() >= kMaxSubnegotiationBytes) {
        m_subTooLong = true;
        ++m_droppedSubnegotiations;
        m_sub.clear();
        m_sub.shrink_to_fit();
        return;
    }
    m_sub.push_back(byte);
}

int TelnetSession::confirmedSettings() const
{
    int count = 0;
    for (int bit = 0; bit < 4; ++bit)
        count += (m_confirmedMask >> bit) & 1;
    return count;
}

void TelnetSession::handleSubnegotiation()
{
    if (m_sub.size() < 3 || m_sub[0] != kOptionComPort)
        return;
    const uint8_t command = m_sub[1];
    if (command == kSetBaudRate + kServerReplyOffset && m_sub.size() >= 6) {
        m_serverLine.baudRate =
            uint32_t(m_sub[2]) << 24 | uint32_t(m_sub[3]) << 16 | uint32_t(m_sub[4]) << 8 | m_sub[5];
        m_confirmedMask |= 1;
    } else if (command == kSetDataSize + kServerReplyOffset) {
        m_serverLine.dataSize = m_sub[2];
        m_confirmedMask |= 2;
    } else if (command == kSetParity + kServerReplyOffset) {
        m_serverLine.parity = m_sub[2];
        m_confirmedMask |= 4;
    } else if (command == kSetStopSize + kServerReplyOffset) {
        m_serverLine.stopSize = m_sub[2];
        m_confirmedMask |= 8;
    }
    // Line-state and modem-state notifications and flow-control suspend/resume
    // carry nothing a request/reply exchange of a few bytes acts on.
}
