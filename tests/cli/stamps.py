#!/usr/bin/env python3
"""Checks the time stamps of a record file against the wall clock of the sender.

  stamps.py stop FILE.vrd WALLTIME    how far the last record (the stop mark) lies from
                                      WALLTIME (Unix seconds), in milliseconds
  stamps.py spacing FILE.vrd TIMES    the D2 bytes against the send times in TIMES (one
                                      Unix time a line): errors of the recorded spacing
                                      (median, 99th percentile, maximum, ms) and how much
                                      later than the rest the first byte is stamped (ms)
"""
import struct
import sys
import time


def records(path):
    with open(path, "rb") as f:
        data = f.read()
    for i in range(len(data) // 80):
        r = data[80 * i : 80 * i + 80]
        yield struct.unpack_from("<d", r, 8)[0], r[18], r[19], r[75], r[76]


def unix(ole):
    local = (ole - 25569.0) * 86400.0
    return local - time.localtime(local).tm_gmtoff


def main():
    what, path, other = sys.argv[1], sys.argv[2], sys.argv[3]
    recs = list(records(path))
    if what == "stop":
        print("%.3f" % ((unix(recs[-1][0]) - float(other)) * 1000.0))
        return
    sent = [float(line) for line in open(other) if line.strip()]
    got = [unix(r[0]) for r in recs if r[2]]
    if len(got) != len(sent):
        sys.exit("%d bytes sent, %d recorded" % (len(sent), len(got)))
    errors = sorted(abs((got[i] - got[i - 1]) - (sent[i] - sent[i - 1])) * 1000.0 for i in range(1, len(got)))
    offsets = sorted(g - s for g, s in zip(got[1:], sent[1:]))
    first = ((got[0] - sent[0]) - offsets[len(offsets) // 2]) * 1000.0
    pick = lambda q: errors[min(len(errors) - 1, int(q * len(errors)))]
    print("median %.3f p99 %.3f max %.3f first %.3f" % (pick(0.5), pick(0.99), errors[-1], first))


main()
