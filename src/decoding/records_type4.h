// Record layouts of device type 4 (volume corrector, Modbus V1.4). One reply carries
// a block of records (record_block.h); each non-blank record becomes one row,
// captioned with its stored record number (the meter counts them from 1).
#pragma once

#include "decoding/record_block.h"

extern const RecordBlockLayout kDailyType4;
extern const RecordBlockLayout kCurrentHourType4;
extern const RecordBlockLayout kPrevHourType4;
extern const RecordBlockLayout kParamChangeType4;
extern const RecordBlockLayout kAlarmEventType4;
extern const RecordBlockLayout kAlarmEvent2Type4;
extern const RecordBlockLayout kStartStopType4;
extern const RecordBlockLayout kTamperType4;
