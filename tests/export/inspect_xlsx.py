#!/usr/bin/python3
"""Prints what a spreadsheet reader sees in an .xlsx file, as JSON, for the export tests:
sheets with their state, merged ranges, column widths, row heights, page setup and every
cell that has a value or a style (value, type, font, alignment, borders)."""
import json
import sys

import openpyxl


def side(border_side):
    return border_side.style if border_side is not None else None


def default_one(value):
    return 1 if value is None else int(value)


def main(path):
    book = openpyxl.load_workbook(path)
    sheets = []
    for sheet in book.worksheets:
        cells = {}
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None and not cell.has_style:
                    continue
                cells[cell.coordinate] = {
                    "value": cell.value,
                    "type": cell.data_type,
                    "font": cell.font.name,
                    "size": cell.font.sz,
                    "horizontal": cell.alignment.horizontal,
                    "vertical": cell.alignment.vertical,
                    "borders": [side(cell.border.left), side(cell.border.right),
                                side(cell.border.top), side(cell.border.bottom)],
                }
        sheets.append({
            "name": sheet.title,
            "state": sheet.sheet_state,
            "merged": sorted(str(r) for r in sheet.merged_cells.ranges),
            "widths": {k: d.width for k, d in sheet.column_dimensions.items() if d.customWidth},
            "heights": {str(k): d.height for k, d in sheet.row_dimensions.items() if d.height is not None},
            "cells": cells,
            "print": {
                "orientation": sheet.page_setup.orientation,
                "paper": sheet.page_setup.paperSize,
                "fitToPage": bool(sheet.sheet_properties.pageSetUpPr and
                                  sheet.sheet_properties.pageSetUpPr.fitToPage),
                # An attribute left out of the file has the format's default, 1.
                "fitToWidth": default_one(sheet.page_setup.fitToWidth),
                "fitToHeight": default_one(sheet.page_setup.fitToHeight),
                "titleRows": sheet.print_title_rows,
            },
        })
    json.dump({"sheets": sheets}, sys.stdout, ensure_ascii=False, default=str)


if __name__ == "__main__":
    main(sys.argv[1])
