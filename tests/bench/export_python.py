#!/usr/bin/python3
"""The competitor of `audimark-cli export FILE.rec --set 1 --format csv`: a
plain Python writer of the same bytes for the set that bench_cli_export_data
makes (31,992 samples one second apart from 14 April 2010 23:00, levels of
450 + (i * 37) % 500 tenths of a dB), in the C locale's short date format:

    14 Apr 2010,23:00:00.000,45.0<CR><LF>

Usage: export_python.py OUT.csv"""

import datetime
import sys

SAMPLES = 31992
START = datetime.datetime(2010, 4, 14, 23, 0, 0)
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun",
          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def main():
    if len(sys.argv) != 2:
        print("usage: export_python.py OUT.csv", file=sys.stderr)
        return 2
    second = datetime.timedelta(seconds=1)
    lines = []
    for i in range(SAMPLES):
        t = START + i * second
        tenths = 450 + (i * 37) % 500
        lines.append("%d %s %d,%02d:%02d:%02d.%03d,%d.%d\r\n" % (
            t.day, MONTHS[t.month - 1], t.year, t.hour, t.minute, t.second,
            t.microsecond // 1000, tenths // 10, tenths % 10))
    with open(sys.argv[1], "w", encoding="utf-8", newline="") as out:
        out.write("".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
