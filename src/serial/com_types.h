// Line-setting enumerations of the serial port. The ordinals are stored in the
// settings file and computed with by the port dialog, so members must never be
// reordered.
#pragma once

enum class BaudRateIndex : int {
    Custom,
    Baud110,
    Baud300,
    Baud600,
    Baud1200,
    Baud2400,
    Baud4800,
    Baud9600,
    Baud14400,
    Baud19200,
    Baud38400,
    Baud56000,
    Baud57600,
    Baud115200,
    Baud128000,
    Baud256000
};
enum class DataBitsIndex : int { Five, Six, Seven, Eight };
enum class StopBitsIndex : int { One, OneAndHalf, Two };
enum class ParityIndex : int { None, Odd, Even, Mark, Space };

constexpr int kBaudRateCount = int(BaudRateIndex::Baud256000) + 1;
constexpr int kDataBitsCount = int(DataBitsIndex::Eight) + 1;
constexpr int kStopBitsCount = int(StopBitsIndex::Two) + 1;
constexpr int kParityBitsCount = int(ParityIndex::Space) + 1;

// Baud of an ordinal; 0 for BaudRateIndex::Custom (the port then uses CustomBaudRate) and for
// ordinals outside the enumeration.
int baudRateValue(BaudRateIndex baudRate);
// 5 to 8; 8 for ordinals outside the enumeration.
int dataBitsValue(DataBitsIndex dataBits);
