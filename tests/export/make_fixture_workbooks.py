#!/usr/bin/python3
"""Writes the workbooks the reader and loader tests read, into the folder given:
protocol.xls (xlwt) and protocol.xlsx (openpyxl) with the same small protocol sheet,
values.xls / values.xlsx with numbers stored as integers and as floats, and
handmade.xlsx, a package built by hand with inline strings, booleans, rich and
phonetic shared strings, cells without references and stored (uncompressed) parts."""
import os
import sys
import zipfile

import openpyxl
import xlwt

MARKER = "Hourly -120"

# (row, column, value), 1-based: a two-parameter block, the marker, and sections of
# kinds 51 (two fields), 52, 53 and 54 (one field each).
PROTOCOL = [
    (1, 1, "Name"),
    (2, 1, "Serial"), (2, 4, "表号"), (2, 8, 0), (2, 9, "S16"), (2, 10, 8), (2, 11, 4002),
    (3, 1, "Temp"), (3, 4, "温度"), (3, 8, 2), (3, 9, "FLT"), (3, 10, 2),
    (4, 1, MARKER),
    (5, 1, "T"), (5, 4, "记录时间"), (5, 8, 0), (5, 9, "DT2"), (5, 10, 3), (5, 11, 5001),
    (6, 1, "V"), (6, 4, "累积量"), (6, 8, 2), (6, 9, "DBL"), (6, 10, 4),
    (8, 1, "Daily -120"),
    (9, 1, "D"), (9, 4, "日期"), (9, 8, 0), (9, 9, "DT2"), (9, 10, 3), (9, 11, 8001),
    (11, 1, "Monthly -25"),
    (12, 1, "M"), (12, 4, "月份"), (12, 8, 0), (12, 9, "DT2"), (12, 10, 3), (12, 11, 11001),
    (14, 1, "Alarm -100"),
    (15, 1, "A"), (15, 4, "报警代码"), (15, 8, 0), (15, 9, "BYTE"), (15, 10, 1), (15, 11, 12001),
]

VALUES = [
    (1, 1, 100), (1, 2, 1.5), (1, 3, -7), (1, 4, 4002.0), (1, 5, 0.1), (1, 6, 123456789),
    (2, 1, "0012"), (2, 2, "中文文本"), (2, 3, 1e20), (2, 4, -2.25),
]


def write_xls(path, cells):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Protocol")
    book.add_sheet("Second").write(0, 0, "not read")
    for row, column, value in cells:
        sheet.write(row - 1, column - 1, value)
    book.save(path)


def write_xlsx(path, cells):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Protocol"
    book.create_sheet("Second")["A1"] = "not read"
    for row, column, value in cells:
        sheet.cell(row=row, column=column, value=value)
    book.save(path)


HANDMADE_PARTS = {
    "[Content_Types].xml": """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
</Types>""",
    "_rels/.rels": """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>""",
    "xl/workbook.xml": """<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="Chart" sheetId="3" r:id="rId3"/><sheet name="Data" sheetId="1" r:id="rId1"/><sheet name="Other" sheetId="2" r:id="rId2"/></sheets>
</workbook>""",
    "xl/_rels/workbook.xml.rels": """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/other.xml"/>
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/data.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet" Target="chartsheets/sheet1.xml"/>
<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>
</Relationships>""",
    "xl/sharedStrings.xml": """<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="2" uniqueCount="2">
<si><t>plain</t></si>
<si><r><t>ri</t></r><r><rPr><b/></rPr><t>ch</t></r><rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si>
</sst>""",
    "xl/worksheets/data.xml": """<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>inline &amp; text</t></is></c></row>
<row r="3"><c r="A3" t="b"><v>1</v></c><c r="B3" t="b"><v>0</v></c><c r="D3"><v>2.50</v></c><c r="E3" s="1"/></row>
<row><c><v>7</v></c><c><v>8</v></c><c r="AA4" t="str"><v>formula text</v></c></row>
</sheetData></worksheet>""",
    "xl/worksheets/other.xml": """<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>other sheet</t></is></c></row></sheetData></worksheet>""",
}


# The handmade parts under other names, found only through the relationships: the
# workbook part in book/, its worksheets one folder up, the shared strings beside it.
RELOCATED_NAMES = {
    "xl/workbook.xml": "book/main.xml",
    "xl/_rels/workbook.xml.rels": "book/_rels/main.xml.rels",
    "xl/sharedStrings.xml": "book/text.xml",
    "xl/worksheets/data.xml": "sheets/data.xml",
    "xl/worksheets/other.xml": "sheets/other.xml",
}
RELOCATED_TEXTS = {
    "_rels/.rels": [('Target="xl/workbook.xml"', 'Target="/book/main.xml"')],
    "xl/_rels/workbook.xml.rels": [
        ('Target="worksheets/other.xml"', 'Target="../sheets/other.xml"'),
        ('Target="/xl/worksheets/data.xml"', 'Target="./../sheets/data.xml"'),
        ('Target="sharedStrings.xml"', 'Target="text.xml"'),
    ],
}


def relocated_parts():
    parts = {}
    for name, text in HANDMADE_PARTS.items():
        for old, new in RELOCATED_TEXTS.get(name, []):
            text = text.replace(old, new)
        parts[RELOCATED_NAMES.get(name, name)] = text
    return parts


def write_parts(path, parts):
    with zipfile.ZipFile(path, "w") as package:
        for index, (name, text) in enumerate(parts.items()):
            method = zipfile.ZIP_STORED if index % 2 else zipfile.ZIP_DEFLATED
            package.writestr(name, text.encode("utf-8"), compress_type=method)


def write_handmade(path):
    write_parts(path, HANDMADE_PARTS)


def main(folder):
    write_xls(os.path.join(folder, "protocol.xls"), PROTOCOL)
    write_xlsx(os.path.join(folder, "protocol.xlsx"), PROTOCOL)
    write_xls(os.path.join(folder, "values.xls"), VALUES)
    write_xlsx(os.path.join(folder, "values.xlsx"), VALUES)
    write_handmade(os.path.join(folder, "handmade.xlsx"))
    write_parts(os.path.join(folder, "relocated.xlsx"), relocated_parts())
    write_parts(os.path.join(folder, "norels.xlsx"),
                {name: text for name, text in HANDMADE_PARTS.items() if name != "_rels/.rels"})


if __name__ == "__main__":
    main(sys.argv[1])
