#!/usr/bin/env bash
# Drives vorlog-cli as a user would: records the simulated link, examines the file,
# and feeds it bad input. Prints "N passed, M failed" and fails when anything failed.
set -u
CLI=${VORLOG_CLI:?path to vorlog-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VORLOG_USER_PATH="$WORK/user"
pass=0 fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAILED: $*"; }
expect_rc() {  # expected-rc description command...
  local want=$1 what=$2; shift 2
  "$@" >"$WORK/out" 2>"$WORK/err"; local rc=$?
  if [ "$rc" -eq "$want" ]; then ok; else bad "$what (rc $rc, wanted $want)"; cat "$WORK/err"; fi
}
contains() { grep -q -- "$2" "$1" && ok || { bad "$3: no '$2' in $(basename "$1")"; cat "$1"; }; }

# A short recording of the built-in exchange.
expect_rc 0 "record the simulated link" "$CLI" record "$WORK/a.vrd" --simulate --duration 3 --quiet
contains "$WORK/out" "records written" "record summary"
expect_rc 0 "info" "$CLI" info "$WORK/a.vrd"
contains "$WORK/out" "E_0.user start" "info lists the start mark"
contains "$WORK/out" "E_0.user stop" "info lists the stop mark"
expect_rc 0 "info --json" "$CLI" info "$WORK/a.vrd" --json
contains "$WORK/out" '"records"' "json output"
d1=$(sed -n 's/.*"D1": \([0-9]*\).*/\1/p' "$WORK/out")
[ "${d1:-0}" -gt 0 ] && ok || bad "the exchange put bytes on D1"
expect_rc 0 "dump" "$CLI" dump "$WORK/a.vrd" --from 0 --count 5
[ "$(wc -l <"$WORK/out")" -eq 5 ] && ok || bad "dump --count 5 prints 5 lines"

# An existing recording is neither replaced nor extended without being told.
expect_rc 2 "existing file needs --append or --replace" "$CLI" record "$WORK/a.vrd" --simulate --duration 1
expect_rc 0 "append" "$CLI" record "$WORK/a.vrd" --simulate --duration 1 --quiet --append
"$CLI" info "$WORK/a.vrd" >"$WORK/info"
contains "$WORK/info" "E_0.appended" "the appended mark"

# --events stops the recording, Ctrl-C stops it cleanly with the stop mark.
expect_rc 0 "events limit" "$CLI" record "$WORK/b.vrd" --simulate=stress --baud 115200 --events 500 --quiet
n=$("$CLI" info "$WORK/b.vrd" --json | sed -n 's/.*"records": \([0-9]*\).*/\1/p')
[ "${n:-0}" -eq 503 ] && ok || bad "--events 500 wrote $n records, not the start marks, 500 and the stop mark"
expect_rc 0 "one event" "$CLI" record "$WORK/one.vrd" --simulate=stress --baud 4000000 --events 1 --quiet
n=$("$CLI" info "$WORK/one.vrd" --json | sed -n 's/.*"records": \([0-9]*\).*/\1/p')
[ "${n:-0}" -eq 4 ] && ok || bad "--events 1 wrote $n records"
"$CLI" record "$WORK/c.vrd" --simulate --quiet >"$WORK/out" 2>&1 &
pid=$!
sleep 1.5
kill -INT $pid
wait $pid && ok || bad "SIGINT ends the recording with status 0"
"$CLI" dump "$WORK/c.vrd" | tail -n 1 >"$WORK/last"
contains "$WORK/last" "E_0.user stop" "SIGINT leaves the stop mark last"

# Bad input: a clear message and a non-zero status, never a silent loss.
expect_rc 2 "no such scenario" "$CLI" record "$WORK/d.vrd" --simulate="$WORK/none.txt"
printf 'rate 9600\nd1 "ok"\nfrobnicate 12\n' >"$WORK/bad.scn"
expect_rc 2 "scenario syntax error" "$CLI" record "$WORK/d.vrd" --simulate="$WORK/bad.scn"
contains "$WORK/err" "bad.scn:3" "the message names file and line"
# A port that cannot be opened is status 1 however it is named; a number out of range is a usage error.
expect_rc 1 "device that does not exist" "$CLI" record "$WORK/d.vrd" --port-a /dev/does-not-exist --port-b /dev/nor-this
contains "$WORK/err" "no such device" "names the missing device"
expect_rc 1 "a COM number without a device" "$CLI" record "$WORK/d.vrd" --port-a COM49 --port-b COM48
contains "$WORK/err" "COM49 is not assigned" "names the unassigned number"
expect_rc 2 "a COM number out of range" "$CLI" record "$WORK/d.vrd" --port-a COM50
expect_rc 1 "a device that is no serial port" "$CLI" record "$WORK/d.vrd" --port-a /dev/null --port-b /dev/zero
# The reason comes first, on the line after the title; the advice for Linux follows.
sed -n 2p "$WORK/err" >"$WORK/first"
contains "$WORK/first" "^Com A cannot be opened: COM[0-9]* (/dev/null) is not a serial device" "the reason first"
contains "$WORK/err" "dialout group" "the advice"
[ -e "$WORK/d.vrd" ] && bad "no record file without ports" || ok
expect_rc 1 "record file is a folder" "$CLI" record "$WORK" --simulate --duration 1
expect_rc 1 "record file in a missing folder" "$CLI" record "$WORK/no/such/x.vrd" --simulate --duration 1
contains "$WORK/err" "Error creating record file" "create message"
expect_rc 2 "bad baud" "$CLI" record "$WORK/d.vrd" --simulate --baud fast
expect_rc 2 "bad parity" "$CLI" record "$WORK/d.vrd" --simulate --parity Q
expect_rc 2 "same port twice" "$CLI" record "$WORK/d.vrd" --simulate --port-a 1 --port-b COM1
( ulimit -f 20; "$CLI" record "$WORK/full.vrd" --simulate=stress --baud 921600 --duration 2 --quiet ) >"$WORK/out" 2>"$WORK/err"
[ $? -eq 1 ] && ok || bad "a full disk ends the recording with status 1"
contains "$WORK/err" "Error writing record file" "write failure message"
size=$(stat -c %s "$WORK/full.vrd")
[ $((size % 80)) -eq 0 ] && ok || bad "no partial record after a full disk ($size bytes)"
head -c 1000 /dev/urandom >"$WORK/garbage.vrd"
expect_rc 0 "info on garbage" "$CLI" info "$WORK/garbage.vrd"
contains "$WORK/out" "bytes after the last whole record" "trailing bytes noted"
expect_rc 1 "info on a folder" "$CLI" info "$WORK"

# A bare name: the file in the current folder when it is there, else the one in the user
# path's recordings folder, the same for every command, which names the file it used.
rec="$VORLOG_USER_PATH/recordings/base.vrd"
expect_rc 0 "record a bare name" env -C "$WORK" "$CLI" record base.vrd --simulate --duration 1 --quiet
contains "$WORK/out" "^$rec:" "record names the file"
expect_rc 0 "info finds it" env -C "$WORK" "$CLI" info base.vrd
contains "$WORK/out" "$rec" "info names the file"
expect_rc 0 "dump finds it" env -C "$WORK" "$CLI" dump base.vrd --count 2
contains "$WORK/err" "$rec" "dump names the file on standard error"
[ "$(wc -l <"$WORK/out")" -eq 2 ] && ok || bad "dump keeps standard output to the records"
cp "$WORK/a.vrd" "$WORK/base.vrd"
expect_rc 0 "info prefers the current folder" env -C "$WORK" "$CLI" info base.vrd --json
contains "$WORK/out" "\"file\": \"$WORK/base.vrd\"" "the file beside the user"
expect_rc 0 "ports --simulate" "$CLI" ports --simulate
contains "$WORK/out" "SIM-A" "simulated ports offered"

# Environment files: the example job in words and as JSON, a damaged job, no job at all.
EXAMPLE="$(cd "$(dirname "$0")/../.." && pwd)/docs/example-job.ven"
expect_rc 0 "env on the example job" "$CLI" env "$EXAMPLE" --lang en
contains "$WORK/out" "data 41 54 0D on D1 - TxD" "env: the data trigger in words"
contains "$WORK/out" "M5 - DCD falls" "env: the signal trigger in words"
contains "$WORK/out" "no D1 - TxD, D2 - RxD activity for 10 s" "env: the inactivity trigger in words"
[ -s "$WORK/err" ] && bad "env: the example job loads without warnings" || ok
expect_rc 0 "env --json" "$CLI" env "$EXAMPLE" --json
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
assert d["ports"]["ComA"]["baud"] == 19200 and d["ports"]["ComA"]["parityLetter"] == "E", d["ports"]
assert [t["Name"] for t in d["triggers"]] == ["Start on AT", "Stop on carrier loss", "Line error", "Silence 10 s"]
assert d["triggers"][0]["Data"] == "41540D" and d["triggers"][3]["InActivityTime"] == 10
assert len(d["description"]) == 2 and d["warnings"] == []
' "$WORK/out" && ok || bad "env --json: the example job as JSON"
printf '[ComA]\r\nDevice=77\r\n[Trigger0]\r\nName=Bad\r\nActive=1\r\nD1=1\r\nData=4\r\n\0\xff' >"$WORK/broken.ven"
expect_rc 0 "env on a damaged job" "$CLI" env "$WORK/broken.ven" --lang en
contains "$WORK/err" "warning: \[ComA\] Device=77" "env: the bad COM number named"
contains "$WORK/err" "Data=4 is not hexadecimal" "env: the bad data named"
expect_rc 0 "env --json on a damaged job" "$CLI" env "$WORK/broken.ven" --json --lang en
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
assert d["ports"]["ComA"]["device"] == 1 and d["triggers"][0]["Active"] is False and len(d["warnings"]) == 3, d
' "$WORK/out" && ok || bad "env --json: warnings of a damaged job"
expect_rc 1 "env on a missing job" "$CLI" env "$WORK/none.ven"
expect_rc 1 "env on a folder" "$CLI" env "$WORK"
expect_rc 2 "env without a job" "$CLI" env

# A job of triggers on the built-in exchange: recording starts at the dial command, a
# command runs on CONNECT and the last stop trigger ends the recording by itself.
cat >"$WORK/job.ven" <<JOB
[Trigger0]
Name=Dial
Active=1
Type=0
Event=0
D1=1
Data=41544454
[Trigger1]
Name=Connect \$(touch $WORK/pwned)
Active=1
Type=1
Event=0
D2=1
Data=434F4E4E454354
ExecCommand=1
CommandFilePath=touch
CommandParams="$WORK/fired %TRIG_NUM%"
JOB
expect_rc 0 "record --env ends at the last stop trigger" "$CLI" record "$WORK/job.vrd" --env "$WORK/job.ven" --simulate --duration 60 --quiet --lang en
expect_rc 0 "info on the triggered recording" "$CLI" info "$WORK/job.vrd" --json
python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
labels = [m["label"] for m in d["marks"]]
assert any("T_1" in l and "start" in l for l in labels) and any("T_2" in l and "stop" in l for l in labels), labels
' "$WORK/out" && ok || bad "the recording holds the start and the stop mark"
for i in $(seq 50); do [ -e "$WORK/fired 2" ] && break; sleep 0.1; done
[ -e "$WORK/fired 2" ] && ok || bad "the stop trigger's command ran with its placeholder in one argument"
[ -e "$WORK/pwned" ] && bad "a trigger name was run by a shell" || ok

# One recording to a file at a time: a second recorder is turned away before it touches it.
"$CLI" record "$WORK/a.vrd" --simulate --append --quiet >"$WORK/bg.out" 2>&1 &
pid=$!
sleep 1
before=$(stat -c %s "$WORK/a.vrd")
for mode in --append --replace; do
  expect_rc 1 "second recorder $mode" "$CLI" record "$WORK/a.vrd" --simulate --duration 1 $mode
  contains "$WORK/err" "Another recording holds this record file" "the refusal says why"
  contains "$WORK/err" "$WORK/a.vrd" "and names the file"
done
[ "$(stat -c %s "$WORK/a.vrd")" -ge "$before" ] && ok || bad "the running recording lost records"
expect_rc 0 "info while it records" "$CLI" info "$WORK/a.vrd"
# A closed terminal (SIGHUP) ends it as cleanly as Ctrl-C.
kill -HUP $pid
wait $pid && ok || bad "SIGHUP ends the recording with status 0"
contains "$WORK/bg.out" "records written" "the summary after SIGHUP"
"$CLI" dump "$WORK/a.vrd" | tail -n 1 >"$WORK/last"
contains "$WORK/last" "E_0.user stop" "SIGHUP leaves the stop mark last"
python3 - "$WORK/a.vrd" <<'PY' && ok || bad "event numbers and counters run on through the appends"
import struct, sys
d = open(sys.argv[1], "rb").read()
prev = [0] * 5
for i in range(len(d) // 80):
    r = d[80 * i: 80 * i + 80]
    c = struct.unpack_from("<5q", r, 32)
    assert struct.unpack_from("<I", r, 0)[0] == i and all(a >= b for a, b in zip(c, prev)), i
    prev = c
PY

# Appending needs a record file: anything else is refused and left as it was.
cp "$(dirname "$0")/../../README.md" "$WORK/readme.vrd"
expect_rc 1 "append to a text file" "$CLI" record "$WORK/readme.vrd" --simulate --append --duration 1
contains "$WORK/err" "not a record file" "the refusal says why"
cmp -s "$(dirname "$0")/../../README.md" "$WORK/readme.vrd" && ok || bad "the text file was changed"

# Scenarios that would hang or record nothing for ever.
printf '# nothing but a comment\n' >"$WORK/empty.scn"
expect_rc 2 "a scenario that sends nothing" "$CLI" record "$WORK/e.vrd" --simulate="$WORK/empty.scn"
contains "$WORK/err" "empty.scn:1: the scenario sends nothing" "names file and line"
printf 'repeat forever\n  stress 9600 1ms\nend\n' >"$WORK/short.scn"
expect_rc 0 "steps shorter than a character" timeout 20 "$CLI" record "$WORK/e.vrd" --simulate="$WORK/short.scn" --duration 1 --quiet
# The fastest simulated link on both lines: every byte is taken, or what could not be
# taken counts as an overrun (LE); the time limit and signals still hold.
start=$(date +%s%N)
expect_rc 0 "a link faster than the capture" timeout 20 "$CLI" record "$WORK/fast.vrd" --simulate=stress --baud 12345678 --duration 1 --quiet
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -lt 4000 ] && ok || bad "--duration 1 took $took ms"
"$CLI" info "$WORK/fast.vrd" --json >"$WORK/out"
le=$(sed -n 's/.*"LE": \([0-9]*\).*/\1/p' "$WORK/out")
d1=$(sed -n 's/.*"D1": \([0-9]*\).*/\1/p' "$WORK/out")
# 12 345 678 baud at 10 bits a character: 1 234 567 characters a second on each line.
{ [ "${le:-0}" -gt 0 ] || [ "${d1:-0}" -ge 1100000 ]; } && ok || bad "bytes lost without an overrun (D1 ${d1:-?}, LE ${le:-?})"
"$CLI" record "$WORK/fast2.vrd" --simulate=stress --baud 12345678 --quiet >/dev/null 2>&1 &
pid=$!
sleep 1
start=$(date +%s%N)
kill -TERM $pid
wait $pid && ok || bad "SIGTERM ends a flooded recording with status 0"
took=$((($(date +%s%N) - start) / 1000000))
[ "$took" -lt 3000 ] && ok || bad "SIGTERM took $took ms"

# Real termios on two pseudo-terminals; the adapter is pulled while recording.
if [ -n "${PTY_FEEDER:-}" ]; then
  coproc FEED { "$PTY_FEEDER" 2; }
  read -r ptyA ptyB <&"${FEED[0]}"
  "$CLI" record "$WORK/pty.vrd" --port-a "$ptyA" --port-b "$ptyB" --baud 115200 --quiet >"$WORK/out" 2>"$WORK/err"
  [ $? -eq 1 ] && ok || bad "a pulled adapter ends the recording with status 1"
  wait "$FEED_PID" 2>/dev/null
  contains "$WORK/err" "connection to the COM port was lost" "the lost-port message"
  # What the pseudo-terminals' driver lacks is said once per port, with --quiet too.
  [ "$(grep -c "no modem lines" "$WORK/err")" -eq 2 ] && ok || bad "one modem-line note per port"
  [ "$(grep -c "keeps no error counters" "$WORK/err")" -eq 2 ] && ok || bad "one error-kind note per port"
  "$CLI" dump "$WORK/pty.vrd" >"$WORK/dump"
  contains "$WORK/dump" "D1 FF" "a 0xFF byte survives"
  contains "$WORK/dump" "D2 4F O" "the D2 line arrives on port A"
  tail -n 1 "$WORK/dump" >"$WORK/last"
  contains "$WORK/last" "E_0.user stop" "the recording still ends with the stop mark"

  # Both lines busy at 94 % for a few seconds: the stamps keep to the wall clock.
  coproc FEED { "$PTY_FEEDER" paced 9600 94 3; }
  read -r ptyA ptyB <&"${FEED[0]}"
  # One device under two names is one port: refused before the file is touched.
  ln -s "$ptyB" "$WORK/link-to-b"
  cp "$WORK/a.vrd" "$WORK/keep.vrd"
  expect_rc 2 "one device as both ports" "$CLI" record "$WORK/keep.vrd" --replace --port-a "$WORK/link-to-b" --port-b "$ptyB"
  contains "$WORK/err" "two different ports" "the refusal"
  cmp -s "$WORK/a.vrd" "$WORK/keep.vrd" && ok || bad "the file to be replaced was changed"
  "$CLI" record "$WORK/paced.vrd" --port-a "$ptyA" --port-b "$ptyB" --baud 9600 --quiet --clock >"$WORK/out" 2>"$WORK/err" &
  pid=$!
  read -r lastByte <&"${FEED[0]}"
  sleep 0.3
  kill -INT $pid
  wait $pid && ok || bad "the paced recording ends with status 0"
  # The port list says per port what its driver reports.
  "$CLI" ports >"$WORK/ports" 2>&1 && ok || bad "ports while the pseudo-terminals are there"
  contains "$WORK/ports" "driver: pty; modem-line changes: none" "the driver and its modem lines in the port list"
  contains "$WORK/ports" "error kinds: approximated" "the error kinds in the port list"
  exec {FEED[1]}>&-
  lead=$(sed -n 's/^stop mark stamped \(-*[0-9.]*\) ms.*/\1/p' "$WORK/out")
  python3 -c "import sys; sys.exit(0 if abs(float('${lead:-9999}')) < 50 else 1)" && ok || bad "stop mark $lead ms off the clock"
  n=$("$CLI" info "$WORK/paced.vrd" --json | sed -n 's/.*"D1": \([0-9]*\).*/\1/p')
  [ "${n:-0}" -eq 2707 ] && ok || bad "D1 carried $n bytes, not 2707"
fi

# The window, too, ends a recording with its stop mark on a shutdown or a closed session.
if [ -n "${VORLOG_GUI:-}" ]; then
  for sig in TERM HUP; do
    rm -f "$VORLOG_USER_PATH/Vorlog.ini"
    QT_QPA_PLATFORM=offscreen "$VORLOG_GUI" "$WORK/gui-$sig.vrd" --simulate --record >/dev/null 2>&1 &
    pid=$!
    # Until the window records (a slow start under the sanitizers must not see the signal first).
    for _ in $(seq 100); do
      [ "$(stat -c %s "$WORK/gui-$sig.vrd" 2>/dev/null || echo 0)" -gt 800 ] && break
      sleep 0.2
    done
    sleep 0.5
    kill -$sig $pid
    wait $pid && ok || bad "SIG$sig ends the window with status 0"
    "$CLI" dump "$WORK/gui-$sig.vrd" 2>/dev/null | tail -n 1 >"$WORK/last"
    contains "$WORK/last" "E_0.user stop" "SIG$sig: the window's recording ends with the stop mark"
    [ -s "$VORLOG_USER_PATH/Vorlog.ini" ] && ok || bad "SIG$sig: the window saved its configuration"
  done
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
