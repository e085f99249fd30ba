#!/usr/bin/python3
"""The competitor of `audimark-cli stats FILE.csv`: the levels of a CSV file
as the graph export writes it (date,time,value), read with numpy.loadtxt, and
their equivalent level and percentile levels.

    LAeq = 10 log10(mean(10^(L/10)))
    L10, L50, L90: the levels exceeded 10 %, 50 % and 90 % of the time

Usage: stats_numpy.py FILE.csv (Debian's python3-numpy)."""

import sys

import numpy


def main():
    if len(sys.argv) != 2:
        print("usage: stats_numpy.py FILE.csv", file=sys.stderr)
        return 2
    levels = numpy.loadtxt(sys.argv[1], delimiter=",", usecols=2, dtype=numpy.float64)
    laeq = 10.0 * numpy.log10(numpy.mean(numpy.power(10.0, levels / 10.0)))
    l10, l50, l90 = numpy.percentile(levels, [90.0, 50.0, 10.0])
    print("samples\t%d" % levels.size)
    print("LAeq\t%.2f dB" % laeq)
    print("L10\t%.2f dB" % l10)
    print("L50\t%.2f dB" % l50)
    print("L90\t%.2f dB" % l90)
    return 0


if __name__ == "__main__":
    sys.exit(main())
