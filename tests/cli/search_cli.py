#!/usr/bin/env python3
"""vorlog-cli search and measure on a record file written here, byte by byte, and on bad input."""
import json, os, struct, subprocess, sys, tempfile
from datetime import datetime, timedelta

CLI = os.environ["VORLOG_CLI"]
failures = []

def record(n, stamp, d1=None, d2=None, signals=(0,) * 6, errors=(0,) * 6, mark=0, mtype=0, trigger=0):
    return struct.pack("<IId4B6B6B5q3B3B2x", n, 0, stamp, d1 or 0, d2 or 0, d1 is not None, d2 is not None,
                       *signals, *errors, 0, 0, 0, 0, 0, 0, 0, 0, mark, mtype, trigger)

def run(*args):
    p = subprocess.run([CLI, "--lang", "en", *args], capture_output=True, text=True)
    return p.returncode, p.stdout.strip(), p.stderr.strip()

def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, wanted {want!r}")

MS = 0.001 / 86400
T0 = 46000.5
OLE_EPOCH = datetime(1899, 12, 30)
events = [dict(mark=0, mtype=99), dict(mark=6, mtype=99), dict(d1=0x41), dict(d1=0x41), dict(d2=0x78),
          dict(signals=(1, 0, 0, 0, 0, 0)), dict(d1=0x42), dict(d2=0x41, errors=(0, 0, 0, 0, 1, 0)),
          dict(d1=0x41, mark=3, trigger=3)]
with tempfile.TemporaryDirectory() as work:
    path = os.path.join(work, "r.vrd")
    with open(path, "wb") as f:
        for i, e in enumerate(events):
            f.write(record(i, T0 + i * MS, **e))
    cases = [
        ("sequence across the other line", ["--data", "4142"], "3"),
        ("every match", ["--data", "41", "--line", "both", "--all"], "2\n3\n7\n8"),
        ("reverse", ["--data", "41 42", "--reverse"], "3"),
        ("reverse from an event", ["--data", "41", "--reverse", "--from", "3"], "2"),
        ("signal", ["--signal", "DTR=high"], "5"),
        ("error on D2", ["--error", "FE=yes,PE=no"], "7"),
        ("time", ["--time", (OLE_EPOCH + timedelta(days=T0) + timedelta(milliseconds=4)).isoformat(" ")], "5"),
        ("trigger", ["--trigger", "3"], "8"),
    ]
    for what, args, want in cases:
        rc, out, err = run("search", path, *args)
        expect(what, (rc, out), (0, want))
    rc, out, err = run("search", path, "--data", "4143")
    expect("not found", (rc, out, "cannot be found" in err), (1, "", True))
    rc, out, _ = run("search", path, "--trigger", "3", "--json")
    expect("json", (rc, json.loads(out)["events"]), (0, [8]))
    rc, out, _ = run("measure", path, "2", "6", "--json")
    expect("measure", (rc, json.loads(out)["microseconds"], json.loads(out)["delta"]), (0, 4000, "0 day(s)  00:00:00,004000"))

    bad_lines = [["--data", "4"], ["--data", ""], ["--data", "41" * 256], ["--data", "zz"], ["--signal", "XX=high"],
                 ["--error", "PE=maybe"], ["--time", "yesterday"], ["--trigger", "0"], [], ["--data", "41", "--trigger", "1"],
                 ["--data", "41", "--line", "d3"], ["--data", "41", "--from", "x"]]
    for args in bad_lines:
        rc, _, err = run("search", path, *args)
        expect(f"bad command line {args}", (rc, bool(err)), (2, True))
    expect("measure with one event", run("measure", path, "1")[0], 2)
    expect("measure beyond the end", run("measure", path, "1", "99")[0], 1)

    empty = os.path.join(work, "empty.vrd")
    open(empty, "wb").close()
    garbage = os.path.join(work, "garbage.vrd")
    with open(garbage, "wb") as f:
        f.write(os.urandom(50))
    for what, target in [("empty file", empty), ("garbage shorter than a record", garbage), ("folder", work),
                         ("missing file", os.path.join(work, "none.vrd"))]:
        rc, _, err = run("search", target, "--data", "41")
        expect(what, (rc, target.split("/")[-1] in err), (1, True))
    # A truncated file: its whole records are searched.
    with open(path, "r+b") as f:
        f.truncate(80 * 8 + 30)
    expect("truncated file", run("search", path, "--trigger", "3")[:2], (1, ""))
    expect("truncated file keeps its whole records", run("search", path, "--error", "FE=yes")[:2], (0, "7"))

for f in failures:
    print("FAILED:", f)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
