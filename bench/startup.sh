#!/usr/bin/env bash
# Time from process start to the vorlog main window shown, median of RUNS runs (after one
# run of each case that is not counted), in one run for these cases:
#   - skin 0 (the platform's style);
#   - skin 2 (the dark skin);
#   - skin 0 with the update check at start switched on, against a server on 127.0.0.1
#     that accepts the connection and never answers.
# The cases take turns, so a busy machine slows them alike.
#
#   QT_QPA_PLATFORM=offscreen bench/startup.sh [VORLOG] [RUNS]
#   xvfb-run -a bench/startup.sh [VORLOG] [RUNS]
#
# The clock starts in this shell right before vorlog is started ($EPOCHREALTIME, no fork
# for it) and stops when the line of --exit-when-shown arrives; each case has a
# throw-away user path (VORLOG_USER_PATH) with its own Vorlog.ini. The simulated link
# is used, so no serial port is opened.
set -euo pipefail
export LC_ALL=C
vorlog=${1:-build/bin/vorlog}
runs=${2:-5}
work=$(mktemp -d)
server=
cleanup() {
  [[ -n $server ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The server that never answers: it takes every connection and holds it open.
port_file=$work/port
python3 - "$port_file" <<'PY' &
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(16)
open(sys.argv[1] + ".tmp", "w").write(str(s.getsockname()[1]))
__import__("os").rename(sys.argv[1] + ".tmp", sys.argv[1])
held = []
while True:
    held.append(s.accept()[0])
PY
server=$!
for ((i = 0; i < 100; i++)); do [[ -s $port_file ]] && break; sleep 0.05; done
port=$(<"$port_file")

cases=(skin0 skin2 check)
labels=("skin 0" "skin 2" "skin 0, update check on")
mkdir -p "$work"/{skin0,skin2,check}
printf '[Skin]\nCurrent=0\n' >"$work/skin0/Vorlog.ini"
printf '[Skin]\nCurrent=2\n' >"$work/skin2/Vorlog.ini"
printf '[Skin]\nCurrent=0\n[WebUpdate]\nCheckForUpdatesAtProgStart=1\n' >"$work/check/Vorlog.ini"

once() {
  local user=$work/$1 t0 t1 line
  t0=${EPOCHREALTIME/./}
  {
    read -r line || true
    t1=${EPOCHREALTIME/./}
    cat >/dev/null
  } < <(VORLOG_USER_PATH=$user VORLOG_UPDATE_URL=http://127.0.0.1:$port/ "$vorlog" --simulate --exit-when-shown 2>/dev/null)
  [[ -n $line ]] || { echo "vorlog printed nothing for $1" >&2; exit 1; }
  echo $((t1 - t0))
}

declare -A times
for c in "${cases[@]}"; do once "$c" >/dev/null; done
for ((r = 0; r < runs; r++)); do
  for c in "${cases[@]}"; do times[$c]+="$(once "$c") "; done
done

echo "vorlog start to window shown (${QT_QPA_PLATFORM:-${DISPLAY:+X display $DISPLAY}}), median of $runs"
for i in "${!cases[@]}"; do
  printf '%s\n' ${times[${cases[$i]}]} | sort -n | awk -v label="${labels[$i]}" -v runs="$runs" '
    { t[NR] = $1 / 1000; all = all sprintf("%s%.1f", (NR > 1 ? " " : ""), t[NR]) }
    END { printf "%-26s median %6.1f ms   sorted: %s ms\n", label, t[int((runs + 1) / 2)], all }'
done
