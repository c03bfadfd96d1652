#!/usr/bin/env python3
"""Reads vorlog-cli's PDF reports with poppler's pdfinfo, pdftotext and pdftoppm: the page
count, the bands and page numbers on every page, the summary of a chosen range against
the records, sections on new pages, and the refusals of bad ranges and targets.
Usage: report_check.py VORLOG_CLI"""
import calendar
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

RECORD = struct.Struct("<IId4B6B6B5q6B2x")
assert RECORD.size == 80
OLE_UNIX_EPOCH = 25569.0

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def record(number, t, d1=None, d2=None, counters=(0,) * 5, load=0, peak=0, quality=100, mark_type=0):
    return RECORD.pack(number, 0, t / 86400.0 + OLE_UNIX_EPOCH, d1 or 0, d2 or 0, d1 is not None, d2 is not None,
                       *([number % 2] * 6), *([0] * 6), *counters, load, peak, quality, 0, mark_type, 0)


def write_recording(path, events):
    """events bytes alternating on D1 and D2, counters cumulative as a recorder keeps them:
    D1, D2, parity, framing, line errors."""
    base = calendar.timegm((2026, 7, 1, 12, 0, 0))
    counters = [0, 0, 0, 0, 0]
    rows = [record(0, base, mark_type=99)]
    for n in range(1, events + 1):
        d1 = n % 256 if n % 2 else None
        d2 = (n * 3) % 256 if not n % 2 else None
        counters[0] += d1 is not None
        counters[1] += d2 is not None
        counters[2] += n % 7 == 0
        counters[3] += n % 11 == 0
        counters[4] += n % 13 == 0
        rows.append(record(n, base + n * 0.01, d1, d2, tuple(counters), load=n % 100, peak=99, quality=90 + n % 10))
    with open(path, "wb") as f:
        f.write(b"".join(rows))
    return [RECORD.unpack(r) for r in rows]


def report(cli, src, out, *options):
    return subprocess.run([cli, "report", src, "--pdf", out, "--lang", "en", "--quiet", *options],
                          capture_output=True, text=True)


def pages_of(pdf):
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    return int(re.search(r"^Pages:\s+(\d+)", info, re.M).group(1))


def page_text(pdf, page):
    return subprocess.run(["pdftotext", "-layout", "-f", str(page), "-l", str(page), pdf, "-"],
                          capture_output=True, text=True, check=True).stdout


def main():
    cli = sys.argv[1]
    work = tempfile.mkdtemp(prefix="vorlog-report-")
    os.environ["VORLOG_USER_PATH"] = os.path.join(work, "user")
    src = os.path.join(work, "link.vrd")
    records = write_recording(src, 400)
    env = os.path.join(work, "job.ven")
    with open(env, "w") as f:
        f.write("[General]\nTitle=Pump station 4\nAuthor=Ada Probe\nCity=Lindau\n"
                "[Customer]\nCompany=Waterworks Ltd\nContact=Ben Meter\n"
                "[Description]\nLine0=Modbus link to the pump controller\nLine1=second line\n")

    # A chosen range: the summary's numbers against the records.
    pdf = os.path.join(work, "range.pdf")
    run = subprocess.run([cli, "report", src, "--pdf", pdf, "--lang", "en", "--json", "--from", "50", "--to", "250",
                          "--env", env], capture_output=True, text=True)
    check(run.returncode == 0, f"range report failed: {run.stderr}")
    summary = json.loads(run.stdout)
    before, first, last = records[49], records[50], records[250]
    check(summary["events"] == 201, f"events {summary['events']}")
    for key, i in (("d1Bytes", 0), ("d2Bytes", 1), ("parityErrors", 2), ("framingErrors", 3), ("lineErrors", 4)):
        want = last[19 + i] - before[19 + i]
        check(summary[key] == want, f"{key} {summary[key]} != {want}")
    check(summary["lineLoad"] == last[24] and summary["lineQuality"] == last[26], f"loads {summary}")
    check(summary["deltaMicros"] == round((last[2] - first[2]) * 86400e6), f"delta {summary['deltaMicros']}")
    pages = pages_of(pdf)
    check(pages == summary["pages"] and pages >= 3, f"pages {pages} vs {summary['pages']}")
    texts = [page_text(pdf, p) for p in range(1, pages + 1)]
    for p, text in enumerate(texts, 1):
        check("Vorlog - Report: link.vrd" in text, f"page {p}: no job name")
        check("Printed on" in text, f"page {p}: no date")
        check(re.search(rf"Page {p}\s*$", text.rstrip()) is not None, f"page {p}: no page number")
    check("Pump station 4" in texts[0] and "Waterworks Ltd" in texts[0] and "Modbus link" in texts[0],
          "header section texts")
    whole = "\n".join(texts)
    check("Selected recording data" in whole, "details heading")
    numbers = [int(n) for n in re.findall(r"^\s*(\d+)\s+\S.*?\d\d:\d\d:\d\d,\d{6}", whole, re.M)]
    check(numbers[:1] == [50] and numbers[-1:] == [250] and len(numbers) == 201, f"event numbers {numbers[:3]}..")
    tail = texts[-1]
    check("Report summary (Selected data)" in tail, "summary heading")
    check(re.search(r"Events:\s+201\b", tail), "summary events")
    check(re.search(rf"D1 - TxD bytes recorded:\s+{summary['d1Bytes']}\b", tail), "summary D1 bytes")
    subprocess.run(["pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1", pdf, os.path.join(work, "page")], check=True)
    check(any(n.startswith("page") and n.endswith(".png") for n in os.listdir(work)), "no PNG of page 1")

    # Each section on a new page: the details and the summary start pages of their own,
    # and no page carries the bands alone.
    pdf = os.path.join(work, "sections.pdf")
    run = report(cli, src, pdf, "--from", "1", "--to", "30", "--new-page", "--env", env, "--view", "dump")
    check(run.returncode == 0, f"new-page report failed: {run.stderr}")
    texts = [page_text(pdf, p) for p in range(1, pages_of(pdf) + 1)]
    check(len(texts) == 3, f"new-page report has {len(texts)} pages")
    check("Selected recording data" not in texts[0] and "Selected recording data" in texts[1], "details page")
    check("Report summary" in texts[-1] and "Report summary" not in texts[-2], "summary page")
    run = report(cli, src, os.path.join(work, "only.pdf"), "--sections", "summary", "--new-page")
    check(run.returncode == 0 and pages_of(os.path.join(work, "only.pdf")) == 1, "a lone section on a blank page")

    # All events with the other layouts, and the whole file counted from its first event.
    for view in ("data", "dump", "vertical"):
        pdf = os.path.join(work, f"{view}.pdf")
        run = subprocess.run([cli, "report", src, "--pdf", pdf, "--lang", "en", "--json", "--view", view],
                             capture_output=True, text=True)
        check(run.returncode == 0, f"{view}: {run.stderr}")
        s = json.loads(run.stdout)
        check(s["events"] == 400 and s["d1Bytes"] == 200 and s["d2Bytes"] == 200, f"{view}: {s}")
        check(pages_of(pdf) == s["pages"], f"{view}: page count")

    # An empty recording: a summary of zero events.
    empty = os.path.join(work, "empty.vrd")
    write_recording(empty, 0)
    pdf = os.path.join(work, "empty.pdf")
    run = report(cli, empty, pdf)
    check(run.returncode == 0, f"empty recording: {run.stderr}")
    if run.returncode == 0:
        text = page_text(pdf, 1)
        check(re.search(r"Events:\s+0\b", text) and "holds no events" in text, "empty summary")

    # Bad ranges and targets: a message each, nothing written, nothing overwritten.
    keep = os.path.join(work, "keep.pdf")
    with open(keep, "w") as f:
        f.write("an older report")
    for options, words in ((("--from", "30", "--to", "20"), "reversed"), (("--from", "401",), "recording ends"),
                           (("--view", "sideways"), "Unknown view"), (("--sections", "footer"), "Unknown section")):
        run = report(cli, src, keep, *options)
        check(run.returncode != 0 and words in run.stderr, f"{options}: {run.returncode} {run.stderr!r}")
    check(open(keep).read() == "an older report", "a refused report overwrote its target")
    run = report(cli, src, keep, "--to", "9999")
    check(run.returncode == 0 and "beyond the last event" in run.stderr, f"clamped end: {run.stderr!r}")
    run = report(cli, src, os.path.join(work, "no-such-folder", "x.pdf"))
    check(run.returncode == 1 and "cannot be printed on" in run.stderr, f"unwritable target: {run.stderr!r}")
    size = os.path.getsize(src)
    run = report(cli, src, src)
    check(run.returncode == 1 and os.path.getsize(src) == size, f"record file as target: {run.stderr!r}")
    leftovers = [n for n in os.listdir(work) if n.startswith(".") or "~" in n]
    check(not leftovers, f"temporary files left: {leftovers}")

    for f in failures:
        print("FAIL:", f)
    if failures:
        print(f"{len(failures)} failures; files in {work}")
        return 1
    shutil.rmtree(work)
    return 0


sys.exit(main())
