#!/usr/bin/env bash
# How well the time stamps keep to the wall clock, measured on pseudo-terminals and on
# the simulated link:
#   1. both lines at 94 % of 9600 baud 8N1 for SECONDS: the stop mark against the clock
#   2. the simulated stress link at 921600 baud on both lines for SECONDS: the same
#   3. 300 single bytes 10 ms apart at 115200 baud: errors of the recorded spacing
#      against the sent one, and how much later than the rest the first byte is stamped
#
#   bench/stamps.sh [BUILD_DIR [SECONDS]]     (default build-bench, 60 s)
set -u
cd "$(dirname "$0")/.."
BUILD=${1:-build-bench}
SECONDS_EACH=${2:-60}
CLI=$BUILD/bin/vorlog-cli
FEEDER=$BUILD/tests/pty_feeder
for p in "$CLI" "$FEEDER"; do [ -x "$p" ] || { echo "build $p first (ninja -C $BUILD vorlog-cli pty_feeder)"; exit 2; }; done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export VORLOG_USER_PATH=$WORK/user
lead() { sed -n 's/^stop mark stamped \(-*[0-9.]*\) ms.*/\1/p' "$1"; }

coproc FEED { "$FEEDER" paced 9600 94 "$SECONDS_EACH"; }
read -r ptyA ptyB <&"${FEED[0]}"
"$CLI" record "$WORK/paced.vrd" --port-a "$ptyA" --port-b "$ptyB" --baud 9600 --quiet --clock >"$WORK/paced.out" 2>&1 &
pid=$!
read -r _ <&"${FEED[0]}"
sleep 0.5
kill -INT $pid; wait $pid
exec {FEED[1]}>&-; wait "$FEED_PID" 2>/dev/null
echo "full duplex 94 % of 9600 baud, ${SECONDS_EACH} s: stop mark $(lead "$WORK/paced.out") ms ahead of the clock"

"$CLI" record "$WORK/stress.vrd" --simulate=stress --baud 921600 --quiet --clock >"$WORK/stress.out" 2>&1 &
pid=$!
sleep "$SECONDS_EACH"
kill -INT $pid; wait $pid
events=$("$CLI" info "$WORK/stress.vrd" --json 2>/dev/null | sed -n 's/.*"records": \([0-9]*\).*/\1/p')
echo "simulated stress 921600 baud both lines, ${SECONDS_EACH} s ($events records): stop mark $(lead "$WORK/stress.out") ms ahead of the clock"

coproc FEED { "$FEEDER" singles 300 10 "$WORK/times"; }
read -r ptyA ptyB <&"${FEED[0]}"
"$CLI" record "$WORK/singles.vrd" --port-a "$ptyA" --port-b "$ptyB" --baud 115200 --quiet >/dev/null 2>&1 &
pid=$!
read -r _ <&"${FEED[0]}"
sleep 0.3
kill -INT $pid; wait $pid
exec {FEED[1]}>&-; wait "$FEED_PID" 2>/dev/null
echo "300 single bytes 10 ms apart at 115200 baud, spacing error in ms: $(python3 tests/cli/stamps.py spacing "$WORK/singles.vrd" "$WORK/times")"
