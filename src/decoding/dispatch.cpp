#include "decoding/dispatch.h"

#include "decoding/records_money.h"
#include "decoding/records_v12.h"
#include "decoding/records_v14.h"
#include "decoding/records_v20.h"
#include "decoding/typed_fields.h"

RecordDecoder FindRecordDecoder(int kindCode)
{
    switch (kindCode) {
    case 11:
    case 21:
        return DecodeRealtimeV12;
    case 12:
    case 22:
        return DecodeMonthV12;
    case 13:
    case 23:
        return DecodeStartStopV12;
    case 14:
    case 24:
        return DecodeAntiCutV12;
    case 31:
        return DecodeRealtimeCustom;
    case 32:
        return DecodeMonthCustom;
    case 33:
        return DecodeStartStopCustom;

    case 41:
        return DecodeDailyV14;
    case 42:
        return DecodeCurrentHourV14;
    case 43:
        return DecodePrevHourV14;
    case 44:
        return DecodeParamChangeV14;
    case 45:
    case 47:
    case 48:
        return DecodeAlarmEventV14;
    case 46:
        return DecodeAlarmEvent2V14;
    case 49:
        return DecodeStartStopV14;
    case 410:
    case 411:
        return DecodeTamperV14;

    // Device type 7 shares these kinds with type 6; its own kinds follow below.
    case 61:
    case 71:
        return DecodeDailyV20;
    case 62:
    case 72:
        return DecodeCurrentHourV20;
    case 63:
    case 73:
        return DecodePrevHourV20;
    case 64:
        return DecodeParamChangeV20;
    case 65:
    case 75:
        return DecodeSensorAlarmV20;
    case 66:
    case 76:
        return DecodeLimitAlarmV20;
    case 67:
    case 77:
        return DecodePowerLossV20;
    case 68:
    case 78:
        return DecodeStartStopV20;
    case 69:
        return DecodeAntiCutV20;
    case 610:
        return DecodeAntiRemovalV20;
    case 611:
    case 711:
        return DecodeMonthV20;
    case 612:
        return DecodeRealtimeV20;
    case 613:
        return DecodeStdVolumeChangeV20;
    case 614:
        return DecodeWorkVolumeChangeV20;
    case 615:
        return DecodeMeterFactorChangeV20;
    case 616:
        return DecodeBadStdVolumeChangeV20;
    case 617:
        return DecodeBadWorkVolumeChangeV20;

    case 74:
        return DecodeParamChangeMoney;
    case 79:
        return DecodeAntiCutMoney;
    case 710:
        return DecodeAntiRemovalMoney;
    case 712:
        return DecodeConsumptionMoney;
    case 713:
        return DecodeRechargeMoney;

    default:
        return nullptr;
    }
}

int DecodeRecord(int blockNumber, int kindCode, ByteView reply, RecordTable& table)
{
    const RecordDecoder decoder = FindRecordDecoder(kindCode);
    return decoder ? decoder(blockNumber, reply, table) : DecodeResult::Stop;
}

int DecodeTypedRecord(int blockNumber, int kindCode, ByteView reply, RecordTable& table,
                      const FieldTypeList& fieldTypes, const FieldDigitsArray& fieldDigits)
{
    const FieldDigitsArray digits = fieldDigits;
    switch (kindCode) {
    case 51:
    case 52:
    case 53:
        return DecodeTypedFields(blockNumber, reply, table, fieldTypes, digits);
    case 54:
        return DecodeTypedAlarmFields(blockNumber, reply, table, fieldTypes, digits);
    default:
        return DecodeResult::Stop;
    }
}
