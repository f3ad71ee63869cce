#!/usr/bin/python3
"""Makes the workbook fixtures of the workbook tests.

Run with Debian's interpreter (it has openpyxl and xlwt):  /usr/bin/python3 make_fixtures.py
The files are written next to this script. Workbooks come from two independent writers
(openpyxl for .xlsx, xlwt for .xls); a few are put together by hand where a fixture needs
what those writers never produce (shared strings, shared formulas, a prefixed namespace,
a calculation chain) or is deliberately damaged.
"""
import os
import re
import struct
import zipfile

import openpyxl
from openpyxl.styles import Font, PatternFill
import xlwt
from xlwt import BIFFRecords

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


FIXED_TIME = (2022, 5, 18, 12, 0, 0)  # entry times and document dates, so that files come out the same


def entry(name):
    return zipfile.ZipInfo(name, date_time=FIXED_TIME)


def rewrite_zip(name, change=lambda entry, data: data):
    """Rewrites the zip `name`, passing each entry's bytes through change(entry, data), with
    fixed times (in the entries and in the document properties)."""
    with zipfile.ZipFile(path(name)) as source:
        entries = [(info, source.read(info.filename)) for info in source.infolist()]
    with zipfile.ZipFile(path(name), 'w', zipfile.ZIP_DEFLATED) as target:
        for info, data in entries:
            data = change(info.filename, data)
            if info.filename == 'docProps/core.xml':
                data = re.sub(rb'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ', b'2022-05-18T12:00:00Z', data)
            target.writestr(entry(info.filename), data, zipfile.ZIP_DEFLATED)


# Column A of the first sheet, one kind of cell per row: text, number, decimal, boolean,
# formula, blanks only, (row 7 empty), Chinese text, text formula, large and negative numbers.
def column_a_xlsx():
    wb = openpyxl.Workbook()
    other = wb.active
    other.title = 'Other'
    other['A1'] = 'other sheet'
    ws = wb.create_sheet('Addresses')
    ws['A1'] = '10.0.0.1'
    ws['A2'] = 12
    ws['A3'] = 1.5
    ws['A4'] = True
    ws['A5'] = '=A2*2'
    ws['A6'] = '  '
    ws['A8'] = '北京'
    ws['A9'] = '="a"&"b"'
    ws['A10'] = 1e20
    ws['A11'] = -0.25
    ws['A12'] = 0.1 + 0.2
    wb.save(path('column_a.xlsx'))

    def change(entry, data):
        text = data.decode('utf-8')
        if entry == 'xl/workbook.xml':
            # "Addresses" (part sheet2.xml) goes first in the workbook's order.
            sheets = re.findall(r'<sheet [^>]*/>', text)
            text = text.replace(sheets[0] + sheets[1], sheets[1] + sheets[0])
        if entry == 'xl/worksheets/sheet2.xml':
            # openpyxl stores no formula results; put in what a spreadsheet would have cached.
            text = text.replace('<c r="A5"><f>A2*2</f><v></v></c>', '<c r="A5"><f>A2*2</f><v>24</v></c>')
            text = text.replace('<c r="A9"><f>"a"&amp;"b"</f><v></v></c>',
                                '<c r="A9" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>')
            # A value with more digits than a spreadsheet shows.
            text = text.replace('<c r="A12" t="n"><v>0.3</v></c>', '<c r="A12" t="n"><v>0.30000000000000004</v></c>')
        return text.encode('utf-8')

    rewrite_zip('column_a.xlsx', change)
    with open(path('column_a.xlsx'), 'rb') as f:
        data = f.read()
    with open(path('xlsx_inside.xls'), 'wb') as f:  # an .xlsx under an .xls name
        f.write(data)


def formula_record_with_result(result):
    def init(self, row, col, xf, rpn, calc_flags=0):
        self._rec_data = struct.pack('<3HdHL', row, col, xf, result, calc_flags & 3, 0) + rpn
    return init


def column_a_xls():
    wb = xlwt.Workbook(encoding='utf-8')
    ws = wb.add_sheet('Addresses')
    ws.write(0, 0, '10.0.0.1')
    ws.write(1, 0, 12)
    ws.write(2, 0, 1.5)
    ws.write(3, 0, True)
    ws.write(4, 0, xlwt.Formula('A2*2'))
    ws.write(5, 0, '  ')
    ws.write(7, 0, '北京')
    ws.write(9, 0, 1e20)
    ws.write(10, 0, -0.25)
    second = wb.add_sheet('Second')
    second.write(0, 0, 'second sheet')
    second.write(1, 1, 3.25)
    # xlwt stores no formula result either (records are made when saving); this one is stored
    # as a spreadsheet would (24).
    original = BIFFRecords.FormulaRecord.__init__
    BIFFRecords.FormulaRecord.__init__ = formula_record_with_result(24.0)
    try:
        wb.save(path('column_a.xls'))
    finally:
        BIFFRecords.FormulaRecord.__init__ = original


# A workbook to write into: styles, an untouched G1, a formula, a second sheet.
def styled_xlsx():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = 'Data'
    for row in range(1, 4):
        for col in range(1, 7):
            ws.cell(row=row, column=col, value='old %d/%d' % (row, col))
    ws['A1'].font = Font(bold=True)
    ws['B2'].fill = PatternFill('solid', fgColor='FFFF00')
    ws['G1'] = 'keep me'
    ws['H1'] = '=LEN(G1)'
    ws['A5'] = 'row five'
    notes = wb.create_sheet('Notes')
    notes['A1'] = 'notes stay'
    notes['B2'] = 42
    wb.save(path('styled.xlsx'))
    rewrite_zip('styled.xlsx')


# A table over A1:C3 whose header row the export overwrites.
def table_xlsx():
    from openpyxl.worksheet.table import Table, TableStyleInfo
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = 'Hosts'
    for row in (['IP', 'Country', 'City'], ['10.0.0.1', 'CN', 'Beijing'], ['10.0.0.2', 'CN', 'Shanghai']):
        ws.append(row)
    table = Table(displayName='HostTable', ref='A1:C3')
    table.tableStyleInfo = TableStyleInfo(name='TableStyleMedium9', showRowStripes=True)
    ws.add_table(table)
    wb.save(path('table.xlsx'))
    rewrite_zip('table.xlsx')


# styled.xlsx turned into a macro-enabled workbook (.xlsm), with a stand-in macro part.
def macro_xlsm():
    def change(entry, data):
        text = data.decode('utf-8')
        if entry == '[Content_Types].xml':
            text = text.replace('spreadsheetml.sheet.main+xml', 'NOT_PLAIN').replace(
                'application/vnd.openxmlformats-officedocument.NOT_PLAIN',
                'application/vnd.ms-excel.sheet.macroEnabled.main+xml')
            text = text.replace('</Types>', '<Override PartName="/xl/vbaProject.bin" '
                                'ContentType="application/vnd.ms-office.vbaProject"/></Types>')
        if entry == 'xl/_rels/workbook.xml.rels':
            text = text.replace('</Relationships>', '<Relationship Id="rIdVba" Type="http://schemas.microsoft.com/'
                                'office/2006/relationships/vbaProject" Target="vbaProject.bin"/></Relationships>')
        return text.encode('utf-8')

    with open(path('styled.xlsx'), 'rb') as f:
        data = f.read()
    with open(path('macro.xlsm'), 'wb') as f:
        f.write(data)
    rewrite_zip('macro.xlsm', change)
    with zipfile.ZipFile(path('macro.xlsm'), 'a', zipfile.ZIP_DEFLATED) as z:
        z.writestr(entry('xl/vbaProject.bin'), b'\xd0\xcf\x11\xe0 stand-in for a macro project', zipfile.ZIP_DEFLATED)


SPREADSHEET_NS = 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'
REL_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'
PKG_REL_NS = 'http://schemas.openxmlformats.org/package/2006/relationships'


def hand_made(name, sheet_xml, shared_strings=None, calc_chain=None, sheet_part='xl/worksheets/data.xml'):
    """A minimal package with one sheet, its parts named unlike the usual producers name them."""
    sheet_target = sheet_part[len('xl/'):]
    types = ['<Override PartName="/xl/book.xml" ContentType="application/vnd.openxmlformats-officedocument.'
             'spreadsheetml.sheet.main+xml"/>',
             '<Override PartName="/%s" ContentType="application/vnd.openxmlformats-officedocument.'
             'spreadsheetml.worksheet+xml"/>' % sheet_part]
    rels = ['<Relationship Id="rId1" Type="%s/worksheet" Target="%s"/>' % (REL_NS, sheet_target)]
    parts = {sheet_part: sheet_xml}
    if shared_strings is not None:
        parts['xl/strings.xml'] = shared_strings
        types.append('<Override PartName="/xl/strings.xml" ContentType="application/vnd.openxmlformats-'
                     'officedocument.spreadsheetml.sharedStrings+xml"/>')
        rels.append('<Relationship Id="rId2" Type="%s/sharedStrings" Target="strings.xml"/>' % REL_NS)
    if calc_chain is not None:
        parts['xl/calcChain.xml'] = calc_chain
        types.append('<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-'
                     'officedocument.spreadsheetml.calcChain+xml"/>')
        rels.append('<Relationship Id="rId3" Type="%s/calcChain" Target="calcChain.xml"/>' % REL_NS)
    with zipfile.ZipFile(path(name), 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr(entry('[Content_Types].xml'),
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.'
                   'relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>'
                   + ''.join(types) + '</Types>')
        z.writestr(entry('_rels/.rels'),
                   '<?xml version="1.0" encoding="UTF-8"?>\n<Relationships xmlns="%s">'
                   '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/book.xml"/>'
                   '</Relationships>' % (PKG_REL_NS, REL_NS))
        z.writestr(entry('xl/book.xml'),
                   '<?xml version="1.0" encoding="UTF-8"?>\n<x:workbook xmlns:x="%s" xmlns:r="%s">'
                   '<x:sheets><x:sheet name="Main" sheetId="1" r:id="rId1"/></x:sheets>'
                   '<x:calcPr calcId="191029"/></x:workbook>' % (SPREADSHEET_NS, REL_NS))
        z.writestr(entry('xl/_rels/book.xml.rels'),
                   '<?xml version="1.0" encoding="UTF-8"?>\n<Relationships xmlns="%s">%s</Relationships>'
                   % (PKG_REL_NS, ''.join(rels)))
        for part, xml in parts.items():
            z.writestr(entry(part), xml, zipfile.ZIP_DEFLATED)


def sheet(rows, prefix='x', dimension='A1:C3'):
    p = prefix + ':' if prefix else ''
    ns = ('xmlns:%s="%s"' % (prefix, SPREADSHEET_NS)) if prefix else 'xmlns="%s"' % SPREADSHEET_NS
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<{p}worksheet {ns}><{p}dimension ref="{d}"/><{p}sheetData>{rows}</{p}sheetData>'
            '</{p}worksheet>').format(p=p, ns=ns, d=dimension, rows=rows.replace('<', '<' + p)
                                      .replace('<' + p + '/', '</' + p))


# Shared strings with rich text and a phonetic guide, a prefixed namespace, a shared formula
# (master B1, shared by B2 and B3), an array formula over E1:E2, a calculation chain, row spans,
# and a cell holding only blanks.
def shared_parts_xlsx():
    strings = ('<?xml version="1.0" encoding="UTF-8"?>\n<sst xmlns="%s" count="4" uniqueCount="4">'
               '<si><t>plain</t></si>'
               '<si><r><rPr><b/></rPr><t>rich </t></r><r><t xml:space="preserve">text</t></r>'
               '<rPh sb="0" eb="1"><t>phonetic</t></rPh></si>'
               '<si><t xml:space="preserve">   </t></si>'
               '<si><t>line_x000D_break</t></si></sst>' % SPREADSHEET_NS)
    rows = ('<row r="1" spans="1:5"><c r="A1" t="s"><v>0</v></c>'
            '<c r="B1" s="0"><f t="shared" ref="B1:B3" si="0">A1*2</f><v>0</v></c>'
            '<c r="E1"><f t="array" ref="E1:E2">A2:A3*10</f><v>20</v></c></row>'
            '<row r="2" spans="1:5"><c r="A2"><v>2</v></c><c r="B2"><f t="shared" si="0"/><v>4</v></c>'
            '<c r="C2" t="s"><v>1</v></c><c r="E2"><v>30</v></c></row>'
            '<row r="3" spans="1:3"><c r="A3"><v>3</v></c><c r="B3"><f t="shared" si="0"/><v>6</v></c>'
            '<c r="C3" t="s"><v>2</v></c></row>'
            '<row r="4"><c r="A4" t="s"><v>3</v></c><c r="B4" t="inlineStr"><is><t>inline</t></is></c>'
            '<c r="C4" t="e"><v>#N/A</v></c></row>')
    chain = ('<?xml version="1.0" encoding="UTF-8"?>\n<calcChain xmlns="%s"><c r="B1" i="1"/>'
             '<c r="B2"/><c r="B3"/></calcChain>' % SPREADSHEET_NS)
    hand_made('shared_parts.xlsx', sheet(rows, dimension='A1:E4'), strings, chain)


# Cells and rows without addresses: each stands after the one before it.
def implicit_positions_xlsx():
    rows = ('<row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c><c t="inlineStr"><is><t>b</t></is></c>'
            '<c><v>3</v></c></row><row><c t="inlineStr"><is><t>second row</t></is></c></row>')
    hand_made('implicit_positions.xlsx', sheet(rows, prefix='', dimension='A1:C2'))


# Damaged and hostile packages.
def hostile_xlsx():
    hand_made('malformed_xml.xlsx', '<worksheet xmlns="%s"><sheetData><row r="1"><c r="A1"><v>1</v></c>'
              % SPREADSHEET_NS)
    hand_made('huge_reference.xlsx', sheet('<row r="1"><c r="A99999999999"><v>1</v></c></row>', prefix=''))
    hand_made('string_index.xlsx',
              sheet('<row r="1"><c r="A1" t="s"><v>7</v></c></row><row r="2"><c r="A2" t="s">'
                    '<v>18446744073709551617</v></c></row><row r="3"><c r="A3" t="s"><v>0</v></c></row>',
                    prefix=''),
              '<sst xmlns="%s"><si><t>only</t></si></sst>' % SPREADSHEET_NS)
    laughs = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;">]>'
              '<worksheet xmlns="%s"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&lol2;</t>'
              '</is></c></row></sheetData></worksheet>' % SPREADSHEET_NS)
    hand_made('entities.xlsx', laughs)
    deep = '<worksheet xmlns="%s"><sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>%s%s' \
           '</worksheet>' % (SPREADSHEET_NS, '<a>' * 100000, '</a>' * 100000)
    hand_made('deep_nesting.xlsx', deep)
    # Zip bombs: a sheet whose header admits a huge size, and one whose header understates it.
    big = sheet('<row r="1"><c r="A1"><v>1</v></c></row>', prefix='') + ' ' * (8 << 20)
    hand_made('bomb_declared.xlsx', big)
    set_uncompressed_size('bomb_declared.xlsx', 'xl/worksheets/data.xml', 3 << 30)
    hand_made('bomb_understated.xlsx', big)
    set_uncompressed_size('bomb_understated.xlsx', 'xl/worksheets/data.xml', 200)


def set_uncompressed_size(name, entry, size):
    """Overwrites the uncompressed size an entry's headers give (local and central)."""
    with open(path(name), 'rb') as f:
        data = bytearray(f.read())
    encoded = entry.encode()
    local = data.find(b'PK\x03\x04')
    while local >= 0:
        name_len = struct.unpack_from('<H', data, local + 26)[0]
        if data[local + 30:local + 30 + name_len] == encoded:
            struct.pack_into('<I', data, local + 22, size & 0xFFFFFFFF)
        local = data.find(b'PK\x03\x04', local + 4)
    central = data.find(b'PK\x01\x02')
    while central >= 0:
        name_len = struct.unpack_from('<H', data, central + 28)[0]
        if data[central + 46:central + 46 + name_len] == encoded:
            struct.pack_into('<I', data, central + 24, size & 0xFFFFFFFF)
        central = data.find(b'PK\x01\x02', central + 4)
    with open(path(name), 'wb') as f:
        f.write(data)


def hostile_xls():
    """column_a.xls with its allocation table broken in two ways."""
    with open(path('column_a.xls'), 'rb') as f:
        data = bytearray(f.read())
    sector_shift = struct.unpack_from('<H', data, 30)[0]
    first_fat = struct.unpack_from('<I', data, 76)[0]
    fat = (first_fat + 1) << sector_shift
    looped = bytearray(data)
    for i in range(1 << (sector_shift - 2)):  # every chain points back at itself
        struct.pack_into('<I', looped, fat + 4 * i, i)
    with open(path('fat_loop.xls'), 'wb') as f:
        f.write(looped)
    wild = bytearray(data)
    for i in range(1 << (sector_shift - 2)):  # chains lead far past the end of the file
        struct.pack_into('<I', wild, fat + 4 * i, 0x7FFFFF00 + i)
    with open(path('fat_wild.xls'), 'wb') as f:
        f.write(wild)
    with open(path('truncated.xls'), 'wb') as f:
        f.write(data[:len(data) // 3])

    # Formula results no spreadsheet stores: NaN and infinity.
    wb = xlwt.Workbook()
    ws = wb.add_sheet('Odd')
    ws.write(0, 0, xlwt.Formula('1/0'))
    ws.write(1, 0, 'after')
    original = BIFFRecords.FormulaRecord.__init__
    BIFFRecords.FormulaRecord.__init__ = formula_record_with_result(float('nan'))
    try:
        wb.save(path('nan_result.xls'))
    finally:
        BIFFRecords.FormulaRecord.__init__ = original


if __name__ == '__main__':
    column_a_xlsx()
    column_a_xls()
    styled_xlsx()
    table_xlsx()
    macro_xlsm()
    shared_parts_xlsx()
    implicit_positions_xlsx()
    hostile_xlsx()
    hostile_xls()
