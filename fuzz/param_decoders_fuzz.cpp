// The six parameter decoders. Input: decoder selector (one byte), then the reply.
#include "fuzz_input.h"
#include "params/param_decoders.h"

#include <array>

namespace {

using ParamDecoder = int (*)(ByteView, LabelValues&);
const std::array<ParamDecoder, 6> kDecoders = {decodeParamsV12, decodeLiveV13,      decodeCardParamsV13,
                                               decodeParamsV20, decodeParamsCustom, decodeParamsMoney};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const ParamDecoder decode = kDecoders[input.byte() % kDecoders.size()];
    const ByteView reply = input.rest();

    // A label the decoders never write: it must survive, and a refused reply must
    // leave everything as it was.
    LabelValues values{{"lblUntouched", {"before", LabelState::Alarm}}};
    const LabelValues before = values;
    const int result = decode(reply, values);
    if (result < ParamResult::Decoded || result > ParamResult::BadStart)
        fuzzFailure("parameter result outside 1..4");
    if (result != ParamResult::Decoded && values != before)
        fuzzFailure("labels written from a refused reply");
    if (values.at("lblUntouched") != before.at("lblUntouched"))
        fuzzFailure("a label the decoder does not own was changed");
    for (const auto& [name, value] : values) {
        if (name != "lblUntouched" && !findLabelSpec(name))
            fuzzFailure("a value for a label no panel has");
        if (!isWellFormedUtf8(value.text))
            fuzzFailure("label text is not UTF-8");
    }
    return 0;
}
