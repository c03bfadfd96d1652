#!/usr/bin/env bash
# Time from process start to the klaxor window fully visible, with fading and with "-n",
# median of RUNS runs (after one run that is not counted, to warm the caches).
#
#   QT_QPA_PLATFORM=offscreen bench/klaxor_startup.sh [KLAXOR] [RUNS]
#   xvfb-run -a bench/klaxor_startup.sh [KLAXOR] [RUNS]
#
# The clock starts in this shell right before klaxor is started ($EPOCHREALTIME, no
# fork for it) and stops at the stamp klaxor prints when its window is fully visible
# (KLAXOR_VISIBLE_STAMP=1, which also closes the window then).
set -euo pipefail
export LC_ALL=C
klaxor=${1:-build/bin/klaxor}
runs=${2:-5}
user=$(mktemp -d)
trap 'rm -rf "$user"' EXIT

once() {
  local t0 out
  t0=${EPOCHREALTIME/./}
  out=$(VORLOG_USER_PATH=$user KLAXOR_VISIBLE_STAMP=1 "$klaxor" "$@" 2>/dev/null)
  echo $((${out#visible } - t0))
}

measure() {
  local label=$1
  shift
  once "$@" >/dev/null
  local times=()
  for ((i = 0; i < runs; i++)); do times+=("$(once "$@")"); done
  printf '%s\n' "${times[@]}" | sort -n | awk -v label="$label" -v runs="$runs" '
    { t[NR] = $1 / 1000; all = all sprintf("%s%.1f", (NR > 1 ? " " : ""), t[NR]) }
    END { printf "%-22s median %6.1f ms   sorted: %s ms\n", label, t[int((runs + 1) / 2)], all }'
}

echo "klaxor start to fully visible (${QT_QPA_PLATFORM:-${DISPLAY:+X display $DISPLAY}})"
measure "with fade-in" "-mTrigger fired" "-q"
measure "without fading (-n)" "-mTrigger fired" "-q" "-n"
