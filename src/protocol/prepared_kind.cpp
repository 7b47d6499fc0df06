#include "protocol/prepared_kind.h"

#include "serial/byte_link.h"

PreparedKind prepareKind(const DeviceRegistry& registry, int kindCode, const CellReader& protocolCells)
{
    PreparedKind prepared;
    prepared.kindCode = kindCode;
    const RecordKind* kind = registry.recordKind(kindCode);
    prepared.kind = kind;
    if (!kind) {
        prepared.problem = KindProblem::UnknownKind;
        prepared.error = "no column layout for record kind " + std::to_string(kindCode);
        return prepared;
    }
    if (!kind->fieldsFromWorkbook) {
        prepared.columns = kind->columns;
        return prepared;
    }
    if (!protocolCells) {
        // Only the record number: with a record length of 0 no request can be
        // composed for the kind.
        prepared.columns = {{"序号", 45, ColumnType::Number}};
        prepared.problem = KindProblem::NoProtocolSheet;
        prepared.error = "没有协议工作簿";
        return prepared;
    }
    const int section = kind->selector;
    ProtocolLoadResult loaded = loadProtocolSection(section, protocolCells);
    prepared.sheet = std::move(loaded.sheet);
    prepared.columns = prepared.sheet.columns;
    if (section >= 0 && section < kTypedKindCount)
        prepared.registers = {prepared.sheet.recordStart[static_cast<size_t>(section)],
                              prepared.sheet.recordLength[static_cast<size_t>(section)]};
    if (!loaded.ok()) {
        prepared.problem = KindProblem::BadProtocolSheet;
        prepared.error = std::move(loaded.error);
    }
    return prepared;
}

BaseRequest composeKindRequest(Exchange& exchange, const PreparedKind& kind, int address)
{
    if (!kind.kind) {
        BaseRequest none;
        none.portClosed = !exchange.link().connected();
        return none;
    }
    return exchange.composeBaseRequest(*kind.kind, address, kind.registers);
}
