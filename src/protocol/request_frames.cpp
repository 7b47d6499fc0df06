#include "protocol/request_frames.h"

#include "catalogue/catalogue.h"

Bytes baseRequestOfKind(int kindCode, uint8_t address, RegisterWindow registers)
{
    const RecordKind* kind = findRecordKind(kindCode);
    if (!kind)
        return {};
    return kind->dialect->recordRequest(address, kind->selector, registers);
}

Bytes blockRequestFrame(int kindCode, ByteView baseRequest, int block)
{
    if (const RecordKind* kind = findRecordKind(kindCode))
        return kind->dialect->blockRequest(baseRequest, block, kind->recordsPerBlock, kind->firstRecord);
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(deviceTypeOfKind(kindCode));
    const FramingDialect& dialect = type ? *type->dialect : FramingDialect::recordByIndex();
    return dialect.blockRequest(baseRequest, block, 0, 0);
}
