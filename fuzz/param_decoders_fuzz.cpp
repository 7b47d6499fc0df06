// The parameter decoders of every device type's read. Input: step selector (one
// byte), then the reply.
#include "catalogue/device_registry.h"
#include "decoding/param_decoders.h"
#include "fuzz_input.h"

#include <vector>

namespace {

// The built-in device types, built once for the whole run.
const DeviceRegistry& builtIn()
{
    static const DeviceRegistry registry = builtInRegistry();
    return registry;
}

struct DecoderOfPanel {
    ParamDecoder decode;
    const ParamPanelSpec* panel;
};

std::vector<DecoderOfPanel> decoders()
{
    std::vector<DecoderOfPanel> all;
    for (const DeviceTypeDescription* type : builtIn().deviceTypes())
        for (const ParamStep& step : type->params.steps)
            all.push_back({step.decode, type->params.panel});
    return all;
}

bool panelHasLabel(const ParamPanelSpec& panel, const std::string& name)
{
    for (const ParamGroupSpec& group : panel.groups)
        for (const ParamLabelSpec& label : group.labels)
            if (name == label.name)
                return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    static const std::vector<DecoderOfPanel> kDecoders = decoders();
    const DecoderOfPanel& decoder = kDecoders[input.byte() % kDecoders.size()];
    const ByteView reply = input.rest();

    // A label the decoders never write: it must survive, and a refused reply must
    // leave everything as it was.
    LabelValues values{{"lblUntouched", {"before", LabelState::Alarm}}};
    const LabelValues before = values;
    const int result = decoder.decode(*decoder.panel, reply, values);
    if (result < ParamResult::Decoded || result > ParamResult::BadStart)
        fuzzFailure("parameter result outside 1..4");
    if (result != ParamResult::Decoded && values != before)
        fuzzFailure("labels written from a refused reply");
    if (values.at("lblUntouched") != before.at("lblUntouched"))
        fuzzFailure("a label the decoder does not own was changed");
    for (const auto& [name, value] : values) {
        if (name != "lblUntouched" && !panelHasLabel(*decoder.panel, name))
            fuzzFailure("a value for a label its panel does not have");
        if (!isWellFormedUtf8(value.text))
            fuzzFailure("label text is not UTF-8");
    }
    return 0;
}
