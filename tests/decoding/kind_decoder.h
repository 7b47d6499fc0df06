// A record kind's decoder as the decoder tests call it: block number, reply,
// table, and the result as its number.
#pragma once

#include "catalogue/catalogue.h"
#include "support/built_in_registry.h"

struct Decoder {
    int kindCode = 0;
    int operator()(int blockNumber, ByteView reply, RecordTable& table) const
    {
        return static_cast<int>(decodeKindReply(builtIn(), kindCode, {blockNumber}, reply, table));
    }
};
