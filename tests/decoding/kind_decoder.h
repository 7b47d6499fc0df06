// A record kind's decoder as the decoder tests call it: block number, reply,
// table, and the result as its number.
#pragma once

#include "catalogue/catalogue.h"

struct Decoder {
    int kindCode = 0;
    int operator()(int blockNumber, ByteView reply, RecordTable& table) const
    {
        return static_cast<int>(decodeKindReply(kindCode, {blockNumber}, reply, table));
    }
};
