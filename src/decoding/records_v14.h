// Record layouts of device type 4 (volume corrector, Modbus V1.4). One reply carries
// a block of records (record_block.h); each non-blank record becomes one row,
// captioned with its stored record number (the meter counts them from 1).
#pragma once

#include "decoding/record_block.h"

extern const RecordBlockLayout kDailyV14;
extern const RecordBlockLayout kCurrentHourV14;
extern const RecordBlockLayout kPrevHourV14;
extern const RecordBlockLayout kParamChangeV14;
extern const RecordBlockLayout kAlarmEventV14;
extern const RecordBlockLayout kAlarmEvent2V14;
extern const RecordBlockLayout kStartStopV14;
extern const RecordBlockLayout kTamperV14;
