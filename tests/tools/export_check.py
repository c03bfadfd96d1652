#!/usr/bin/env python3
"""Reads vorlog-cli's exports with programs we did not write: the CSV with Python's csv
module, the Wireshark capture with tshark.  Usage: export_check.py csv|pcapng VORLOG_CLI"""
import calendar
import csv
import math
import os
import struct
import subprocess
import sys
import tempfile

RECORD = struct.Struct("<IId4B6B6B5q6B2x")
assert RECORD.size == 80
OLE_UNIX_EPOCH = 25569.0
HERE = os.path.dirname(os.path.abspath(__file__))


def stamp(unix_local_seconds):
    return unix_local_seconds / 86400.0 + OLE_UNIX_EPOCH


def record(number, t, d1=None, d2=None, signals=(0,) * 6, errors=(0,) * 6, mark=0, mark_type=0, trigger=0):
    return RECORD.pack(number, 0, stamp(t), d1 or 0, d2 or 0, d1 is not None, d2 is not None, *signals, *errors,
                       0, 0, 0, 0, 0, 0, 0, 0, mark, mark_type, trigger)


def unpack(path):
    data = open(path, "rb").read()
    return [RECORD.unpack_from(data, i) for i in range(0, len(data) - 79, 80)]


def export(cli, src, out, *options):
    run = subprocess.run([cli, "export", src, out, "--lang", "en", *options], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"export {options} failed ({run.returncode}): {run.stderr}")


failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def csv_checks(cli, work):
    # Every byte on both lines, a few marks, errors and dropped data flags.
    base = calendar.timegm((2026, 7, 1, 12, 0, 0))
    src = os.path.join(work, "bytes.vrd")
    with open(src, "wb") as f:
        for i in range(256):
            f.write(record(i, base + i * 0.3 + 0.000007, d1=i, d2=(i * 7 + 3) % 256 if i % 5 else None,
                           signals=[(i >> k) & 1 for k in range(6)],
                           errors=[(i >> k) & 1 if i % 3 == 0 else 0 for k in range(6)],
                           mark=5 if i == 10 else 1 if i == 20 else 0, trigger=3 if i == 20 else 0))
    records = unpack(src)
    for sep_name, sep in (("comma", ","), ("semicolon", ";"), ("tab", "\t"), ("space", " ")):
        for quote_name, quote in (("double", '"'), ("single", "'"), ("none", None)):
            out = os.path.join(work, f"{sep_name}-{quote_name}.csv")
            export(cli, src, out, "--separator", sep_name, "--quote", quote_name, "--time", "absolute", "--names", "v24")
            raw = open(out, "rb").read()
            label = f"{sep_name}/{quote_name}"
            check(not raw.startswith(b"\xef\xbb\xbf"), f"{label}: no byte-order mark")
            check(raw.endswith(b"\r\n"), f"{label}: CR LF at the end")
            with open(out, newline="", encoding="utf-8") as f:
                rows = list(csv.reader(f, delimiter=sep, quotechar=quote or '"'))
            check(len(rows) == 257, f"{label}: {len(rows)} rows")
            check(rows[0][0] == "Mark/Trigger" and rows[0][21] == "Description", f"{label}: title {rows[0][:3]}")
            for row, r in zip(rows[1:], records):
                number, d1, d2, d1flag, d2flag = r[0], r[3], r[4], r[5], r[6]
                signals, errors, mark = r[7:13], r[13:19], r[27]
                where = f"{label} event {number}"
                if len(row) != 23 or row[22] != "":
                    check(False, f"{where}: {len(row)} fields {row}")
                    continue
                check(row[0] == {5: "E_0.user stop", 1: "T_3.data.start"}.get(mark, ""), f"{where}: mark {row[0]!r}")
                check(row[1] == str(number), f"{where}: number {row[1]!r}")
                check(row[2].startswith(" ") and row[2].endswith(",%06d" % (math.floor((r[2] - OLE_UNIX_EPOCH) * 86400.0 * 1e6 + 0.5) % 1000000)),
                      f"{where}: time {row[2]!r}")
                for column, byte in ((3, d1), (8, d2)):
                    if quote == "'" and byte == 0x22:
                        expected = '""'  # the established form of a double quote under single quotes
                    else:
                        expected = chr(byte)
                        check(row[column].encode("latin-1") == bytes([byte]), f"{where}: raw byte {byte}")
                    check(row[column] == expected, f"{where}: raw {row[column]!r} for {byte}")
                    check(row[column + 1:column + 5] == ["%02X" % byte, str(byte), "%03o" % byte, "%08d" % int(bin(byte)[2:])],
                          f"{where}: numbers {row[column + 1:column + 5]}")
                check(row[13:19] == [str(s) for s in signals], f"{where}: lines {row[13:19]}")
                for column, side in ((19, errors[0:3]), (20, errors[3:6])):
                    check(row[column] == "".join(l for l, e in zip("PFL", side) if e), f"{where}: errors {row[column]!r}")
                named1, named2 = d1flag and d1 < 0x20, d2flag and d2 < 0x20
                desc = row[21]
                check((desc != "") == (named1 or named2), f"{where}: description {desc!r}")
                if desc:
                    check(desc.startswith(" <---|---> ") != named1, f"{where}: D1 name left {desc!r}")
    # The title line and the first lines byte for byte, relative times.
    src = os.path.join(work, "golden.vrd")
    with open(src, "wb") as f:
        f.write(record(0, base, signals=(1, 0, 1, 0, 0, 0)))
        f.write(record(1, base + 0.000125, mark=6))
        f.write(record(2, base + 0.5, d1=0x0D, d2=0x0A, signals=(1, 1, 1, 1, 0, 0)))
        f.write(record(3, base + 1.25, d1=0x22, d2=0x3B))
        f.write(record(4, base + 90061.000001, d1=0xE4, errors=(1, 0, 1, 0, 1, 0)))
    out = os.path.join(work, "golden.csv")
    export(cli, src, out, "--time", "relative", "--names", "v24", "--from", "2")
    golden = open(os.path.join(HERE, "export_golden.csv"), "rb").read()
    got = open(out, "rb").read()
    check(got == golden, f"golden lines differ:\n{got!r}\n{golden!r}")
    # Delta times: the first exported event from its predecessor, then each from the one before.
    export(cli, src, out, "--time", "delta", "--from", "3", "--columns", "number,time", "--quote", "none", "--no-header")
    check(open(out, "rb").read() == (b"2; 0 day(s)  00:00:00,499875;\r\n"
                                          b"3; 0 day(s)  00:00:00,750000;\r\n4; 1 day(s)  01:00:59,750001;\r\n"),
          f"delta times {open(out, 'rb').read()!r}")
    bad_input_checks(cli, work)


def bad_input_checks(cli, work):
    """Every bad record file or target: a message, a non-zero status, nothing harmed."""
    import resource
    good = os.path.join(work, "golden.vrd")
    kept = open(good, "rb").read()
    files = {"empty.vrd": b"", "truncated.vrd": kept[:40], "garbage.vrd": bytes(range(256)) * 5}
    for name, data in files.items():
        open(os.path.join(work, name), "wb").write(data)
    os.symlink(good, os.path.join(work, "link.vrd"))
    os.makedirs(os.path.join(work, "folder.vrd"))
    out = os.path.join(work, "x.csv")
    cases = [
        (1, ["empty.vrd", out]), (1, ["truncated.vrd", out]), (1, ["garbage.vrd", out]), (1, ["folder.vrd", out]),
        (1, ["golden.vrd", os.path.join(work, "no", "x.csv")]), (1, ["golden.vrd", "/dev/full"]),
        (1, ["golden.vrd", good]), (1, ["golden.vrd", os.path.join(work, "link.vrd")]),
        (1, ["golden.vrd", work + "/./golden.vrd"]), (1, ["golden.vrd", os.path.join(work, "folder.vrd")]),
        (2, ["golden.vrd"]), (2, ["golden.vrd", out, "--format", "xml"]), (2, ["golden.vrd", out, "--columns", "d3"]),
        (2, ["golden.vrd", out, "--from", "0"]), (1, ["golden.vrd", out, "--from", "9"]),
    ]
    for status, args in cases:
        args = [os.path.join(work, a) if a.endswith(".vrd") and "/" not in a else a for a in args]
        run = subprocess.run([cli, "export", *args, "--lang", "en"], capture_output=True, text=True)
        check(run.returncode == status and run.stderr.strip(), f"{args}: status {run.returncode}, {run.stderr!r}")
        check(not os.path.exists(out), f"{args}: nothing written")
    # A full disk, as a file size limit: the file already there stays as it was.
    open(out, "w").write("kept")
    many = os.path.join(work, "many.vrd")
    with open(many, "wb") as f:
        f.write(b"".join(record(i, 1782907200 + i / 1000, d1=65) for i in range(20000)))
    limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (256 * 1024, resource.RLIM_INFINITY))
    run = subprocess.run([cli, "export", many, out, "--lang", "en"], capture_output=True, text=True, preexec_fn=limit)
    check(run.returncode == 1 and out in run.stderr, f"full disk: status {run.returncode}, {run.stderr!r}")
    check(open(out).read() == "kept", "full disk: the old file stays")
    check(open(good, "rb").read() == kept, "the record file stays")
    check(sorted(os.listdir(work)).count(".x.csv") == 0 and not [n for n in os.listdir(work) if ".part" in n],
          "no temporary file left")


def tshark(path, *options, fields=()):
    command = ["tshark", "-r", path, *options]
    if fields:
        command += ["-T", "fields", "-E", "separator=|"] + [x for f in fields for x in ("-e", f)]
    run = subprocess.run(command, capture_output=True, text=True, env=dict(os.environ, LC_ALL="C"))
    if run.returncode != 0:
        sys.exit(f"tshark failed: {run.stderr}")
    return [line.split("|") if fields else line for line in run.stdout.splitlines()]


def pcapng_checks(cli, work):
    # Local times of a summer day in Berlin (UTC+2).
    base = calendar.timegm((2026, 7, 1, 12, 0, 0))
    src = os.path.join(work, "scenario.vrd")
    dtr_rts = (1, 0, 1, 0, 0, 0)
    all_up = (1, 1, 1, 1, 1, 1)
    with open(src, "wb") as f:
        f.write(record(0, base, signals=dtr_rts))                          # status
        for n, c in enumerate(b"ABC"):                                     # one D1 packet
            f.write(record(1 + n, base + 0.010 + n * 0.001, d1=c, signals=dtr_rts))
        f.write(record(4, base + 0.0135, d2=ord("x"), signals=dtr_rts))    # the other line: D2 packet
        f.write(record(5, base + 0.1135, d2=ord("y"), signals=dtr_rts))    # idle 100 ms: a new packet
        f.write(record(6, base + 0.2, mark=5, signals=dtr_rts))            # user stop mark
        f.write(record(7, base + 0.3, d1=ord("Z"), signals=dtr_rts, errors=(1, 0, 0, 0, 0, 0)))
        f.write(record(8, base + 0.4, signals=dtr_rts, errors=(0, 0, 0, 0, 1, 1)))
        f.write(record(9, base + 0.5, signals=all_up))
    out = os.path.join(work, "scenario.pcapng")
    os.environ["TZ"] = "Europe/Berlin"
    export(cli, src, out, "--format", "pcapng")
    rows = tshark(out, fields=("frame.time_epoch", "rtacser.eventtype", "rtacser.cts", "rtacser.dcd", "rtacser.dsr",
                               "rtacser.rts", "rtacser.dtr", "rtacser.ring", "frame.packet_flags_direction",
                               "data", "frame.comment", "rtacser.timestamp"))
    # type, lines (CTS DCD DSR RTS DTR RING), direction, payload, comment
    expected = [
        ("0x00", "000110", "", "", ""),
        ("0x01", "000110", "0x00000002", "414243", ""),
        ("0x02", "000110", "0x00000001", "78", ""),
        ("0x02", "000110", "0x00000001", "79", ""),
        ("0x00", "000110", "", "", "E_0.user stop"),
        ("0x08", "000110", "0x00000002", "", ""),
        ("0x01", "000110", "0x00000002", "5a", ""),
        ("0x07", "000110", "0x00000001", "", ""),
        ("0x0a", "000110", "0x00000001", "", ""),
        ("0x00", "111111", "", "", ""),
    ]
    got = [(r[1], "".join(r[2:8]), r[8], r[9], r[10]) for r in rows]
    check(got == expected, "capture packets:\n" + "\n".join(map(str, got)))
    check(rows and abs(float(rows[0][0]) - (base - 7200)) < 1e-6, f"UTC time {rows[0][0] if rows else None}")
    check(rows and float(rows[1][0]) == float(rows[1][11]), "header time equals packet time")

    # Modbus RTU: a master on D1 asks, slaves answer on D2, 9600 baud, 20 ms between frames.
    def crc(frame):
        value = 0xFFFF
        for b in frame:
            value ^= b
            for _ in range(8):
                value = (value >> 1) ^ 0xA001 if value & 1 else value >> 1
        return frame + bytes([value & 0xFF, value >> 8])
    frames = [("d1", crc(bytes.fromhex("010300000002"))), ("d2", crc(bytes.fromhex("010304000A0014"))),
              ("d1", crc(bytes.fromhex("1110000100020400 0A0102".replace(" ", "")))), ("d2", crc(bytes.fromhex("111000010002"))),
              ("d1", crc(bytes.fromhex("020400100001"))), ("d2", crc(bytes.fromhex("02040204D2")))]
    src = os.path.join(work, "modbus.vrd")
    t, number = base, 0
    with open(src, "wb") as f:
        for line, frame in frames:
            for b in frame:
                f.write(record(number, t, **{line: b}))
                number += 1
                t += 11 / 9600  # one character at 8N1... plus a parity bit's time of slack
            t += 0.020
    out = os.path.join(work, "modbus.pcapng")
    export(cli, src, out, "--format", "pcapng", "--baud", "9600")
    lines = tshark(out, "-d", "rtacser.data,mbrtu")
    info = [l.split("Modbus RTU", 1)[1].split(None, 1)[1] if "Modbus RTU" in l else l for l in lines]
    want = ["Query: Unit:   1, Func:   3: Read Holding Registers",
            "Response: Unit:   1, Func:   3: Read Holding Registers",
            "Query: Unit:  17, Func:  16: Write Multiple Registers",
            "Response: Unit:  17, Func:  16: Write Multiple Registers",
            "Query: Unit:   2, Func:   4: Read Input Registers",
            "Response: Unit:   2, Func:   4: Read Input Registers"]
    check([i.strip() for i in info] == want, "Modbus RTU listing:\n" + "\n".join(lines))
    crcs = tshark(out, "-d", "rtacser.data,mbrtu", "-o", "mbrtu.crc_verification:TRUE", fields=("mbrtu.crc16.status",))
    check([c[0] for c in crcs] == ["1"] * 6, f"CRC status {crcs}")


def main():
    mode, cli = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        os.environ["HOME"] = work
        os.environ["VORLOG_USER_PATH"] = os.path.join(work, "vorlog")
        (csv_checks if mode == "csv" else pcapng_checks)(cli, work)
    for f in failures[:20]:
        print("FAIL:", f)
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
