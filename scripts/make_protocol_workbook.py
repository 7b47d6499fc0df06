#!/usr/bin/python3
"""Writes resources/Excel/VarnelModbus.xls, the protocol workbook of device type 5.

Run with Debian's python (it has xlwt):  /usr/bin/python3 scripts/make_protocol_workbook.py

Register map of the corrector (start registers counted from 1, as the sheet holds them):
  parameter block  4002 (0-based 0x0FA1), 38 registers, the block the identification reads
  kind 51 hourly    5001, 21 registers per record, 120 records back to back
  kind 52 daily     8001, 19 registers per record, 120 records
  kind 53 monthly  11001, 17 registers per record, 25 records
  kind 54 alarm    12001, 15 registers per record, 100 records

Sheet columns: 1 name, 2 register (1-based), 3 access, 4 caption, 5 unit, 6 note,
8 digits, 9 type, 10 length in registers, 11 block start register (first row only).
"""
import os
import sys

import xlwt

# (name, caption, unit, digits, type, registers)
PARAMETERS = [
    ("SerialNo", "表号", "", 0, "S16", 8),
    ("Clock", "仪表时间", "", 0, "DT2", 3),
    ("StdTotal", "标况累积量", "m3", 2, "DBL", 4),
    ("WorkTotal", "工况累积量", "m3", 2, "DBL", 4),
    ("StdFlow", "标况瞬时流量", "m3/h", 2, "FLT", 2),
    ("WorkFlow", "工况瞬时流量", "m3/h", 2, "FLT", 2),
    ("Temperature", "温度", "℃", 2, "FLT", 2),
    ("Pressure", "压力", "kPa", 3, "FLT", 2),
    ("Compress", "压缩因子", "", 4, "FLT", 2),
    ("MeterFactor", "仪表系数", "P/m3", 4, "FLT", 2),
    ("Battery", "电池电压", "V", 2, "FLT", 2),
    ("AlarmWord", "报警状态字", "", 8, "S8", 2),
    ("RunDays", "运行天数", "d", 0, "LNG", 2),
    ("Address", "通讯地址", "", 0, "BYTE", 1),
]

# (title row text, start register, fields); the first section follows the marker row.
SECTIONS = [
    ("Hourly -120", 5001, [
        ("RecTime", "记录时间", "", 0, "DT2", 3),
        ("StdTotal", "标况累积量(m3)", "m3", 2, "DBL", 4),
        ("WorkTotal", "工况累积量(m3)", "m3", 2, "DBL", 4),
        ("StdFlow", "标况流量(m3/h)", "m3/h", 2, "FLT", 2),
        ("WorkFlow", "工况流量(m3/h)", "m3/h", 2, "FLT", 2),
        ("Temperature", "温度(℃)", "℃", 2, "FLT", 2),
        ("Pressure", "压力(kPa)", "kPa", 3, "FLT", 2),
        ("Status", "状态字", "", 4, "S8", 2),
    ]),
    ("Daily -120", 8001, [
        ("RecDate", "日期", "", 0, "DT2", 3),
        ("DayStd", "日标况用量(m3)", "m3", 2, "DBL", 4),
        ("DayWork", "日工况用量(m3)", "m3", 2, "DBL", 4),
        ("AvgTemp", "平均温度(℃)", "℃", 2, "FLT", 2),
        ("AvgPress", "平均压力(kPa)", "kPa", 3, "FLT", 2),
        ("StdTotal", "标况累积量(m3)", "m3", 2, "DBL", 4),
    ]),
    ("Monthly -25", 11001, [
        ("RecMonth", "月份", "", 0, "DT2", 3),
        ("MonthStd", "月标况用量(m3)", "m3", 2, "DBL", 4),
        ("MonthWork", "月工况用量(m3)", "m3", 2, "DBL", 4),
        ("StdTotal", "标况累积量(m3)", "m3", 2, "DBL", 4),
        ("RunHours", "运行时间(h)", "h", 0, "LNG", 2),
    ]),
    ("Alarm -100", 12001, [
        ("AlarmTime", "报警时间", "", 0, "DT2", 3),
        ("AlarmCode", "报警代码", "", 0, "BYTE", 1),
        ("AlarmState", "报警状态", "", 0, "BIT", 1),
        ("Temperature", "温度(℃)", "℃", 2, "FLT", 2),
        ("Pressure", "压力(kPa)", "kPa", 3, "FLT", 2),
        ("StdTotal", "标况累积量(m3)", "m3", 2, "DBL", 4),
        ("EventNo", "事件编号", "", 6, "LNG", 2),
    ]),
]

PARAM_START = 4002
PARAM_REGISTERS = 38
RECORD_COUNTS = [120, 120, 25, 100]


def write_field(sheet, row, register, field, start=None):
    name, caption, unit, digits, type_name, length = field
    sheet.write(row, 0, name)
    sheet.write(row, 1, register)
    sheet.write(row, 2, "R")
    sheet.write(row, 3, caption)
    sheet.write(row, 4, unit)
    sheet.write(row, 7, digits)
    sheet.write(row, 8, type_name)
    sheet.write(row, 9, length)
    if start is not None:
        sheet.write(row, 10, start)


def main():
    assert sum(p[5] for p in PARAMETERS) == PARAM_REGISTERS
    for (title, start, fields), count in zip(SECTIONS, RECORD_COUNTS):
        assert start - 1 + count * sum(f[5] for f in fields) <= 0x10000, title

    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Modbus")
    header = ["Name", "Register", "Access", "Caption", "Unit", "Note", "", "Digits", "Type", "Length", "Start"]
    for column, text in enumerate(header):
        if text:
            sheet.write(0, column, text)

    row = 1  # 0-based: sheet row 2
    register = PARAM_START
    for index, field in enumerate(PARAMETERS):
        write_field(sheet, row, register, field, PARAM_START if index == 0 else None)
        register += field[5]
        row += 1

    for index, (title, start, fields) in enumerate(SECTIONS):
        if index > 0:
            row += 1  # the empty row that ends the previous section
        # The first title is the marker row that closes the parameter block.
        sheet.write(row, 0, title)
        row += 1
        register = start
        for number, field in enumerate(fields):
            write_field(sheet, row, register, field, start if number == 0 else None)
            register += field[5]
            row += 1

    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources", "Excel", "VarnelModbus.xls")
    book.save(target)


if __name__ == "__main__":
    main()
