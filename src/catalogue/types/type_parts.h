// What several device-type files build from: column helpers, the column tables
// that more than one type shows, the register-read probe body, and the record
// kinds that types 1 and 2 share.
#pragma once

#include "catalogue/device_registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace type_parts {

using Columns = std::vector<TableColumn>;

// "序号": the record number the decoder writes.
TableColumn index();
TableColumn timeText(std::string caption, int width);
TableColumn number(std::string caption, int width);
// Status and alarm words, flags, marks, hex codes and parameter names: never
// charted, even where a cell happens to look like a number.
TableColumn text(std::string caption, int width);

// The probes and parameter reads of the Modbus-style types are register reads:
// function 3, first register, register count.
Bytes registerReadBody(uint16_t first, uint16_t count);

// One-record kinds of types 1, 2 and 3.
const Columns& monthColumns();
const Columns& startStopRecordColumns();
// Block kinds of types 4, 6 and 7.
const Columns& currentHourColumns();
const Columns& prevHourColumns();
const Columns& alarmEventColumns();
const Columns& startStopColumns();
// Block kinds of types 6 and 7.
const Columns& dailyColumns();
const Columns& paramChangeColumns();
const Columns& limitAlarmColumns();
const Columns& monthBlockColumns();

// Types 1 and 2 differ in identity, probes and parameters, not in their records:
// `type` brings the former, this adds the dialect and the four record kinds, whose
// read log lines name `logName`.
DeviceTypeDescription withRecordByIndexKinds(DeviceTypeDescription type, std::string_view logName);

} // namespace type_parts
