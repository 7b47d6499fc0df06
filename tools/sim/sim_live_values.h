// Live values of the simulated meter: what its parameter and identification
// answers report. Plain data with plausible defaults; units as the meters send
// them (m3, m3/h, ℃, kPa, money in the meter's own units).
#pragma once

#include <array>
#include <cstdint>

struct SimLiveValues {
    double workVolume = 12345.6789;
    double stdVolume = 11876.5432;
    double workFlow = 35.25;
    double stdFlow = 33.5;
    double temperature = 21.5;
    double pressure = 101.32;
    double compressFactor = 0.9978;
    double errStdVolume = 0.0;
    // Six BCD bytes YY MM DD hh mm ss of the meter clock.
    std::array<uint8_t, 6> clock = {0x24, 0x03, 0x15, 0x10, 0x30, 0x00};

    // Device type 1 status byte (bit 0: external power present).
    uint8_t statusV12 = 0x01;
    // Device type 3 status bytes at reply offsets 5 and 6.
    uint8_t customStatus1 = 0x10;
    uint8_t customStatus2 = 0x00;
    // Device type 6 alarm bytes at reply offsets 43 and 44.
    uint8_t alarmV20Hi = 0x00;
    uint8_t alarmV20Lo = 0x00;
    // Device type 7 status and alarm words (low byte of the status word: bits 1-0
    // valve state, 1 = open).
    uint16_t statusWordMoney = 0x0001;
    uint16_t alarmWordMoney = 0x0000;

    // Device type 2 card parameters.
    std::array<uint8_t, 5> userNumberBcd = {0x20, 0x24, 0x00, 0x12, 0x34};
    uint8_t meterTypeBcd = 0x25;
    std::array<uint8_t, 2> meterState = {0x05, 0x00};
    int32_t remainingGas = 150;
    uint16_t buyCount = 7;
    int32_t totalBought = 1400;
    int32_t lastBought = 200;
    int32_t emergencyTotal = 20;
    int32_t emergencyLast = 10;
    uint16_t emergencyCount = 2;
    double alarmGas = 10.0;
    double rechargeLimit = 999.5;
    uint16_t overdraftLimit = 5;
    int32_t zeroCrossGas = 0;
    uint16_t removalCount = 1;
    uint16_t valveCount = 12;
    std::array<uint8_t, 2> lowVoltageCount = {0x00, 0x03};
};
