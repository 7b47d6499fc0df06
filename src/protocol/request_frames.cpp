#include "protocol/request_frames.h"

#include "catalogue/catalogue.h"

Bytes BaseRequestOfKind(int kindCode, uint8_t address, RegisterWindow registers)
{
    const RecordKind* kind = FindRecordKind(kindCode);
    if (!kind)
        return {};
    return kind->dialect->recordRequest(address, kind->selector, registers);
}

Bytes BlockRequestFrame(int kindCode, ByteView baseRequest, int block)
{
    if (const RecordKind* kind = FindRecordKind(kindCode))
        return kind->dialect->blockRequest(baseRequest, block, kind->recordsPerBlock, kind->firstRecord);
    const DeviceTypeDescription* type = DeviceRegistry::instance().deviceType(DeviceTypeOfKind(kindCode));
    const FramingDialect& dialect = type ? *type->dialect : FramingDialect::recordByIndex();
    return dialect.blockRequest(baseRequest, block, 0, 0);
}
