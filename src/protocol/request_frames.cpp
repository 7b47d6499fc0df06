#include "protocol/request_frames.h"

#include "catalogue/device_registry.h"

Bytes baseRequestOfKind(const RecordKind& kind, uint8_t address, RegisterWindow registers)
{
    return kind.dialect->recordRequest(address, kind.selector, registers);
}

Bytes blockRequestFrame(const RecordKind& kind, ByteView baseRequest, int block)
{
    return kind.dialect->blockRequest(baseRequest, block, kind.recordsPerBlock, kind.firstRecord);
}
