#!/usr/bin/python3
"""Prints what openpyxl (an independent reader) finds in a workbook, as JSON.

Usage: /usr/bin/python3 read_back.py FILE.xlsx
Output: {"sheets": [names in order], "cells": {"Sheet!A1": {"value": ..., "bold": bool,
         "fill": "RRGGBB" or null}}, "tables": {"Sheet!Name": {"ref": "A1:C3", "columns": [...]}}};
formulas appear as their text ("=A2*2").
"""
import json
import sys
import warnings

import openpyxl

warnings.simplefilter('ignore')
wb = openpyxl.load_workbook(sys.argv[1])
cells = {}
for ws in wb.worksheets:
    for row in ws.iter_rows():
        for cell in row:
            if cell.value is None and not cell.has_style:
                continue
            fill = cell.fill.fgColor.rgb if cell.fill and cell.fill.fill_type == 'solid' else None
            cells['%s!%s' % (ws.title, cell.coordinate)] = {
                'value': cell.value, 'bold': bool(cell.font and cell.font.b),
                'fill': fill[-6:] if isinstance(fill, str) else None}
tables = {}
for ws in wb.worksheets:
    for table in ws.tables.values():
        tables['%s!%s' % (ws.title, table.displayName)] = {
            'ref': table.ref, 'columns': [column.name for column in table.tableColumns]}
json.dump({'sheets': wb.sheetnames, 'cells': cells, 'tables': tables}, sys.stdout, ensure_ascii=False)
