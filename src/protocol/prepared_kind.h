// The first step of every read of a record kind, shared by the main window, the
// archive download and the command-line reader: the kind's columns and, for a
// kind the protocol workbook describes, its field description and register
// window from that workbook's first sheet. Then the request for one meter.
#pragma once

#include "catalogue/device_registry.h"
#include "decoding/decode_result.h"
#include "decoding/protocol_sheet.h"
#include "decoding/record_table.h"
#include "protocol/exchange.h"

#include <string>
#include <vector>

// Why a kind is not ready to be read.
enum class KindProblem {
    None,
    UnknownKind,      // no device type has this kind
    NoProtocolSheet,  // a workbook-described kind, and no workbook was loaded
    BadProtocolSheet, // the sheet breaks its rules; `error` says where
};

// A kind looked up once: its row travels with the read, its code is the label
// of logs and files.
struct PreparedKind {
    int kindCode = 0;
    const RecordKind* kind = nullptr; // nullptr for an unknown code
    // The record table's columns; a workbook-described kind without a sheet
    // has only "序号".
    std::vector<TableColumn> columns;
    // A workbook-described kind: the sheet as far as it loaded. Other kinds
    // leave it empty, so their decoders see no field types and zero digits.
    ProtocolSheet sheet;
    RegisterWindow registers;
    KindProblem problem = KindProblem::None;
    std::string error; // the operator's message when problem is not None

    bool ready() const { return problem == KindProblem::None; }
    DecodeContext context(int blockNumber) const
    {
        return {blockNumber, &sheet.fieldTypes, &sheet.fieldDigits};
    }
};

// Prepares `kindCode` of `registry`. `protocolCells` reads the protocol
// workbook's first sheet and may be empty; only workbook-described kinds need it.
PreparedKind prepareKind(const DeviceRegistry& registry, int kindCode, const CellReader& protocolCells);

// The base request and block count of `kind` at meter `address`, as
// Exchange::composeBaseRequest gives them; an unknown kind gives an empty request.
BaseRequest composeKindRequest(Exchange& exchange, const PreparedKind& kind, int address);
