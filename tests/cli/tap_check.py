#!/usr/bin/env python3
"""vorlog-cli tap between a pseudo-terminal pair standing in for the device and a
program that uses the tap's link: every byte reaches the other side, the record holds
both directions in order, the program's line settings reach the device, the link is
gone afterwards, and a file that is not a link is never replaced.

  tap_check.py VORLOG_CLI
"""
import fcntl
import os
import select
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import tty

CLI = sys.argv[1]
TCGETS2 = 0x802C542A


def fail(why):
    sys.exit("FAIL: " + why)


def read_exactly(fd, n, timeout=10.0):
    got = b""
    end = time.time() + timeout
    while len(got) < n and time.time() < end:
        if select.select([fd], [], [], 0.1)[0]:
            got += os.read(fd, n - len(got))
    return got


def wait_for(check, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        if check():
            return True
        time.sleep(0.02)
    return False


def device_speed(fd):
    """Output baud and CSTOPB of the device as the kernel holds them (termios2)."""
    raw = fcntl.ioctl(fd, TCGETS2, b"\0" * 44)
    _, _, cflag, _ = struct.unpack_from("<IIII", raw, 0)
    return struct.unpack_from("<I", raw, 40)[0], bool(cflag & termios.CSTOPB)


def data_events(path):
    """(line, byte) in record order; a record may carry one byte of each line."""
    with open(path, "rb") as f:
        data = f.read()
    out = []
    for i in range(len(data) // 80):
        r = data[80 * i : 80 * i + 80]
        if r[18]:
            out.append(("D1", r[16]))
        if r[19]:
            out.append(("D2", r[17]))
    return out


def main():
    work = tempfile.mkdtemp(prefix="vorlog-tap-")
    env = dict(os.environ, VORLOG_USER_PATH=work + "/user/")
    os.mkdir(work + "/user")
    dev_master, dev_slave = os.openpty()
    tty.setraw(dev_master)
    device = os.ttyname(dev_slave)
    link = work + "/ttyV0"
    record = work + "/tap.vrd"

    # A file that is not our link stays untouched, and nothing is recorded.
    with open(link, "w") as f:
        f.write("keep me")
    r = subprocess.run([CLI, "tap", device, "--link", link, "--quiet", work + "/refused.vrd"], env=env,
                       capture_output=True, text=True, timeout=30)
    if r.returncode == 0 or link not in r.stderr:
        fail("an existing file was not refused: %d %s" % (r.returncode, r.stderr))
    if open(link).read() != "keep me":
        fail("the existing file was changed")
    os.unlink(link)

    # The system console is never a tap's device (it is refused before anything is opened).
    r = subprocess.run([CLI, "tap", "/dev/console", "--link", link, "--quiet", work + "/console.vrd"], env=env,
                       capture_output=True, text=True, timeout=30)
    if r.returncode != 1 or os.path.lexists(link):
        fail("the console was not refused: %d %s" % (r.returncode, r.stderr))

    # A link left behind by a killed tap (its terminal is gone) is replaced.
    os.symlink("/dev/pts/987654", link)
    tap = subprocess.Popen([CLI, "tap", device, "--link", link, "--baud", "9600", "--quiet", record], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        if not wait_for(lambda: os.path.exists(link)):
            fail("no link: " + (tap.stderr.read() if tap.poll() is not None else "tap still running"))
        app = os.open(link, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(app)

        # Turn by turn, so that the record's order is the order of the exchange.
        expected = []
        to_device_total = b""
        to_app_total = b""
        for turn in range(20):
            ask = bytes([turn, 0xFF, 0x00, 0x41 + turn, 0x0D, 0x0A]) + b"Q" * turn
            os.write(app, ask)
            got = read_exactly(dev_master, len(ask))
            if got != ask:
                fail("turn %d: device got %r, application sent %r" % (turn, got, ask))
            answer = bytes([0x80 + turn, 0xFF, 0xFF, 0x00]) + b"A" * (2 * turn)
            os.write(dev_master, answer)
            got = read_exactly(app, len(answer))
            if got != answer:
                fail("turn %d: application got %r, device sent %r" % (turn, got, answer))
            expected += [("D1", b) for b in ask] + [("D2", b) for b in answer]
            to_device_total += ask
            to_app_total += answer

        # A larger block in one go, both ways at once.
        block = bytes(range(256)) * 64
        os.write(dev_master, block)
        sent = 0
        received = b""
        while sent < len(block) or len(received) < len(block):
            w = [app] if sent < len(block) else []
            readable, writable, _ = select.select([dev_master], w, [], 5)
            if not readable and not writable:
                fail("the block stalled: %d sent, %d received" % (sent, len(received)))
            if writable:
                sent += os.write(app, block[sent : sent + 4096])
            if readable:
                received += os.read(dev_master, 65536)
        if received != block:
            fail("the device got %d of %d block bytes, or changed" % (len(received), len(block)))
        if read_exactly(app, len(block)) != block:
            fail("the application did not get the device's block")

        # The application's line settings reach the device.
        attrs = termios.tcgetattr(app)
        attrs[2] |= termios.CSTOPB
        attrs[4] = attrs[5] = termios.B19200
        termios.tcsetattr(app, termios.TCSANOW, attrs)
        if not wait_for(lambda: device_speed(dev_slave) == (19200, True), 5):
            fail("the device runs %r, not 19200 baud with 2 stop bits" % (device_speed(dev_slave),))
        # Also when the application clears every local flag first (no more packet notice).
        attrs[3] = 0
        termios.tcsetattr(app, termios.TCSANOW, attrs)
        attrs[4] = attrs[5] = termios.B57600
        termios.tcsetattr(app, termios.TCSANOW, attrs)
        if not wait_for(lambda: device_speed(dev_slave)[0] == 57600, 5):
            fail("the second change did not reach the device: %r" % (device_speed(dev_slave),))
        os.close(app)
        time.sleep(0.3)
    finally:
        tap.send_signal(signal.SIGINT)
        out, err = tap.communicate(timeout=30)
    if tap.returncode != 0:
        fail("tap ended with %d: %s" % (tap.returncode, err))
    if os.path.lexists(link):
        fail("the link is still there after the tap ended")

    events = data_events(record)
    turns = events[: len(expected)]
    if turns != expected:
        first = next(i for i, (a, b) in enumerate(zip(turns + [None] * len(expected), expected)) if a != b)
        fail("record differs from the exchange at byte %d: %r" % (first, events[first : first + 4]))
    rest = events[len(expected) :]
    d1 = bytes(b for line, b in rest if line == "D1")
    d2 = bytes(b for line, b in rest if line == "D2")
    if d1 != block or d2 != block:
        fail("the block was recorded with %d D1 and %d D2 bytes of %d" % (len(d1), len(d2), len(block)))
    print("tap: %d bytes each way relayed and recorded in order" % (len(to_device_total) + len(block)))


main()
