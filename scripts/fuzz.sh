#!/usr/bin/env bash
# Fuzzes every reader of files we do not control: builds the fuzz targets with clang and
# libFuzzer in build-fuzz (the project's code instrumented too, under ASan and UBSan),
# then runs each target in turn for SECONDS (default 60), starting from a scratch copy
# of its seeds in tests/fuzz/seeds/ (the repository gets no new files). Prints the
# executions, speed, coverage and features of each run; exits 1 when a target found
# something: the input is kept in build-fuzz/findings/TARGET/, the log beside it.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (TARGET: fuzz_config, ...; default all)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
for name in "${targets[@]}"; do
  if [ ! -f "tests/fuzz/$name.cpp" ]; then
    echo "scripts/fuzz.sh: no fuzz target $name (tests/fuzz/$name.cpp)" >&2
    exit 2
  fi
done
jobs=${VORLOG_JOBS:-2}

bash scripts/setup.sh || exit 1
# clang and its libFuzzer runtime.
missing=()
for p in clang libclang-rt-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || exit 1
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || exit 1
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORLOG_LIBFUZZER=ON -DVORLOG_BUILD_BENCH=OFF >/dev/null || exit 1
ninja -C build-fuzz -j "$jobs" fuzz_targets || exit 1

# In memory where there is a tmpfs: the targets save files for every input, and each
# save syncs to disk.
base=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
scratch=$(mktemp -d "$base/vorlog-fuzz.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

status=0
printf '%-16s %12s %8s %7s %7s  %s\n' target executions exec/s cov ft result
for name in "${targets[@]}"; do
  corpus=$scratch/$name/corpus
  findings=build-fuzz/findings/$name
  rm -rf "$findings"
  mkdir -p "$corpus" "$scratch/$name/tmp" "$findings"
  [ -d "tests/fuzz/seeds/$name" ] && cp tests/fuzz/seeds/"$name"/* "$corpus"/
  log=$findings/fuzz.log
  # The harnesses' files go below the scratch folder, so a crash leaves nothing in /tmp.
  TMPDIR=$scratch/$name/tmp ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build-fuzz/tests/fuzz/$name" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  if [ $rc -eq 0 ]; then
    result="no finding"
  else
    result="FINDING (exit $rc): $(ls -t "$findings" | grep -v '^fuzz.log$' | head -1), log $log"
    status=1
  fi
  printf '%-16s %12s %8s %7s %7s  %s\n' "$name" "${execs:--}" "${speed:--}" "${cov:--}" "${ft:--}" "$result"
done
exit $status
