#include "params/param_readout.h"

#include "decoding/record_series.h"

std::vector<ReadoutLine> paramReadout(int deviceType, const ParamReader& reader)
{
    std::vector<ReadoutLine> lines;
    const DeviceTypeDescription* type = reader.registry().deviceType(deviceType);
    if (!type || !type->params.panel)
        return lines;
    if (type->params.fromWorkbook) {
        const ParamGrid& grid = reader.grid();
        for (size_t row = 0; row < grid.size(); ++row) {
            for (size_t column : {size_t{1}, size_t{3}}) {
                if (grid[row][column - 1].empty())
                    continue;
                lines.push_back({"StringGrid1[" + std::to_string(row) + "," + std::to_string(column) + "]",
                                 grid[row][column - 1],
                                 {grid[row][column], LabelState::Normal}});
            }
        }
        return lines;
    }
    for (const ParamGroupSpec& group : type->params.panel->groups) {
        for (const ParamLabelSpec& label : group.labels) {
            const auto found = reader.values().find(label.name);
            lines.push_back({label.name, label.caption,
                             found != reader.values().end() ? found->second : LabelValue{label.resetText}});
        }
    }
    return lines;
}

const char* labelStateName(LabelState state)
{
    return state == LabelState::Alarm ? "alarm" : "normal";
}

std::optional<double> meterClockOffsetS(const DeviceRegistry& registry, int deviceType,
                                        const LabelValues& values, int64_t pcLocalSeconds)
{
    const DeviceTypeDescription* type = registry.deviceType(deviceType);
    if (!type || type->params.clockLabel.empty())
        return std::nullopt;
    const auto clock = values.find(std::string(type->params.clockLabel));
    if (clock == values.end())
        return std::nullopt;
    const std::optional<int64_t> meterSeconds = parseRecordTime(clock->second.text);
    if (!meterSeconds)
        return std::nullopt;
    return static_cast<double>(*meterSeconds - pcLocalSeconds);
}
