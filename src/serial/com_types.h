// Line-setting enumerations of the serial port. The ordinals are stored in the
// settings file and computed with by the port dialog, so members must never be
// reordered.
#pragma once

enum BaudRateIndex : int {
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
enum DataBitsIndex : int { dbFive, dbSix, dbSeven, dbEight };
enum StopBitsIndex : int { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum ParityIndex : int { prNone, prOdd, prEven, prMark, prSpace };

constexpr int kBaudRateCount = br256000 + 1;
constexpr int kDataBitsCount = dbEight + 1;
constexpr int kStopBitsCount = sbTwoStopBits + 1;
constexpr int kParityBitsCount = prSpace + 1;

// Baud of an ordinal; 0 for brCustom (the port then uses CustomBaudRate) and for
// ordinals outside the enumeration.
int baudRateValue(BaudRateIndex baudRate);
// 5 to 8; 8 for ordinals outside the enumeration.
int dataBitsValue(DataBitsIndex dataBits);
