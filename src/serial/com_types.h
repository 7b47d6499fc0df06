// Line-setting enumerations and settings objects of the serial port. The
// ordinals are stored in the settings file and computed with by the port
// dialog, so members must never be reordered.
#pragma once

#include <cstdint>

enum TBaudRate : int {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TDataBits : int { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits : int { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits : int { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : int { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : int { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TComEvent : int {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TSyncMethod : int { smThreadSync, smWindowSync, smNone };

constexpr int kBaudRateCount = br256000 + 1;
constexpr int kDataBitsCount = dbEight + 1;
constexpr int kStopBitsCount = sbTwoStopBits + 1;
constexpr int kParityBitsCount = prSpace + 1;

// Baud of an ordinal; 0 for brCustom (the port then uses CustomBaudRate) and for
// ordinals outside the enumeration.
int BaudRateValue(TBaudRate baudRate);
// 5 to 8; 8 for ordinals outside the enumeration.
int DataBitsValue(TDataBits dataBits);

// Set of TComEvent as bits (1 << event).
using TComEvents = uint16_t;
constexpr TComEvents kAllComEvents = (1u << (evRx80Full + 1)) - 1;

class TComPort;

// Parity settings. `Bits` is a line setting: changing it on an open port
// reopens the port with the new value (see TComPort::SetParityBits).
class TComParity {
public:
    explicit TComParity(TComPort& port) : FPort(port) {}
    TParityBits Bits() const;
    void SetBits(TParityBits bits);

    // Input parity checking and replacement of bytes with parity errors. The
    // serial layer underneath cannot check parity on input, so opening refuses
    // Check = true as a failed line setting rather than pretend to check.
    bool Check = false;
    bool Replace = false;
    uint8_t ReplaceChar = 0;

private:
    TComPort& FPort;
};

// Flow control, applied at the next opening. Only the combinations the serial
// layer can realise are accepted (see TComPort::OpenPort): none, RTS/CTS
// hardware handshake, XON/XOFF in both directions, DTR and RTS held on or off.
struct TComFlowControl {
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    TDTRFlowControl ControlDTR = dtrDisable;
    TRTSFlowControl ControlRTS = rtsDisable;
    bool XonXoffOut = false;
    bool XonXoffIn = false;
    bool DSRSensitivity = false;
    bool TxContinueOnXoff = false;
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;
};

// Milliseconds; ReadInterval all bits set with zero read multiplier and constant
// means a read returns at once with what has arrived. A write may take
// WriteTotalConstant + WriteTotalMultiplier per byte before it counts as failed.
struct TComTimeouts {
    int32_t ReadInterval = -1;
    int32_t ReadTotalMultiplier = 0;
    int32_t ReadTotalConstant = 0;
    int32_t WriteTotalMultiplier = 100;
    int32_t WriteTotalConstant = 1000;
};

// Driver buffer sizes in bytes. The operating system sizes its own tty buffers
// outside Windows; the values are kept for the settings and the XON/XOFF limits.
struct TComBuffer {
    int InputSize = 1024;
    int OutputSize = 1024;
};
