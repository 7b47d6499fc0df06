// The one table of record kinds: per kind code its block layout, decoder, record-table
// columns and request shape. The catalogue holds the captions, menus and block
// counts; the windows, the command-line reader and the run ask this table for
// everything else about a kind, so nothing outside it switches over kind codes.
#pragma once

#include "catalogue/catalogue.h"
#include "codec/codec.h"
#include "decoding/decode_result.h"
#include "decoding/record_block.h"
#include "decoding/record_table.h"

#include <cstddef>
#include <span>
#include <vector>

using KindDecoder = DecodeResult (*)(const DecodeContext& context, ByteView reply, RecordTable& table);

// What the reply collection can know of a reply from its length alone.
struct ReplyLengths {
    // The whole lengths the kind's decoder accepts, ascending; empty when the
    // reply says its own length (lengthInByteCount).
    std::vector<size_t> accepted;
    // Byte 2 counts the data bytes that follow (every frame but the custom ones).
    bool hasByteCount = true;
    // The length is byte 2 + 5 (address, function, count, data, CRC).
    bool lengthInByteCount = false;
};

// How the requests of a kind are built and what comes back.
struct RequestShape {
    RequestDialect dialect = RequestDialect::RecordByIndex;
    uint8_t selector = 0;     // the catalogue's request byte of the kind
    int recordsPerBlock = 1;  // records named by one request
    int firstRecord = 0;      // number of the first record that block 1 names
    size_t addressOffset = 0; // where the meter address stands in request and reply
    ReplyLengths reply;
};

struct KindRow {
    int code = 0;
    int deviceType = 0;
    int blockCount = 0;
    // Replies that carry several records; nullptr for one record per reply.
    const RecordBlockLayout* block = nullptr;
    // Decoder of one-record replies; not used when block is set.
    KindDecoder decode = nullptr;
    // "序号" and the rest; empty for a kind whose fields the protocol workbook
    // describes (fieldsFromWorkbook): its columns come with that description.
    std::vector<TableColumn> columns;
    bool fieldsFromWorkbook = false;
    RequestShape request;

    DecodeResult Decode(const DecodeContext& context, ByteView reply, RecordTable& table) const;
};

// Every record kind of the catalogue, in the catalogue's order.
std::span<const KindRow> KindRows();
// nullptr for a code no device type knows.
const KindRow* FindKindRow(int kindCode);

// The kind's decoder's result unchanged, or Stop with the table untouched for an
// unknown code.
DecodeResult DecodeKindReply(int kindCode, const DecodeContext& context, ByteView reply, RecordTable& table);

// Replaces the table's columns (and rows) by the kind's; an unknown code or a
// workbook-described kind leaves no columns.
void SetupKindColumns(int kindCode, RecordTable& table);
