#!/usr/bin/env bash
# Builds the benchmark in an optimised build folder and runs it; the comparison tables are the
# last part of the output.
#
#   bench/run.sh [BUILD_DIR] [--quick] [--reps=N] [--filter=TEXT] [--table-rows=N]
#       times every case on this machine (Google Benchmark), in build/bench.
#   bench/run.sh --arm [BUILD_DIR] [--quick] [--filter=TEXT] [--table-rows=N] [--jobs=N]
#       cross-builds the benchmark for the device (armhf, in build/bench-arm) and counts the
#       instructions per operation of every case under qemu-user: each case runs R1 and R2 times
#       in two processes, and (count(R2) - count(R1)) / (R2 - R1) leaves out start-up and set-up.
#       --quick counts one operation per case instead of two or three; --jobs=N runs N qemu
#       processes at once (default 2). The counts do not depend on the machine's load.
# Installs the Debian packages it needs when they are missing and the user is root.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"

arm=0
build_dir=""
args=()
for a in "$@"; do
  case "$a" in
    --arm) arm=1 ;;
    --*) args+=("$a") ;;
    *) build_dir="$a" ;;
  esac
done

install_missing() {
  local missing=()
  for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
  if [[ ${#missing[@]} -gt 0 ]]; then
    if [[ $(id -u) -ne 0 ]]; then
      echo "missing packages: ${missing[*]}" >&2
      exit 1
    fi
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

if [[ $arm -eq 0 ]]; then
  build_dir="${build_dir:-$source_dir/build/bench}"
  install_missing libbenchmark-dev rapidjson-dev nlohmann-json3-dev
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DWEBJSON_BENCH=ON \
    -DWEBJSON_TESTS=OFF -DWEBJSON_EXAMPLES=OFF >/dev/null
  cmake --build "$build_dir" --target webjson-bench -j2 >/dev/null
  exec "$build_dir/bench/webjson-bench" "${args[@]}"
fi

# ----- armhf under qemu-user
start=$SECONDS
quick=0
jobs=2
filter=""
pass=()  # arguments for every run of the counting driver
for a in "${args[@]}"; do
  case "$a" in
    --quick) quick=1 ;;
    --jobs=*) jobs="${a#--jobs=}" ;;
    --filter=*) filter="${a#--filter=}" ;;
    --table-rows=*) pass+=("$a") ;;
    *) echo "bench/run.sh --arm: unknown argument $a" >&2; exit 2 ;;
  esac
done
build_dir="${build_dir:-$source_dir/build/bench-arm}"
install_missing crossbuild-essential-armhf qemu-user gcc rapidjson-dev nlohmann-json3-dev
sysroot=/usr/arm-linux-gnueabihf

# The two header-only peers, seen by the cross compiler through a folder of their own rather than
# the build machine's /usr/include.
peers="$build_dir/peer-include"
mkdir -p "$peers"
ln -sfn /usr/include/rapidjson "$peers/rapidjson"
ln -sfn /usr/include/nlohmann "$peers/nlohmann"

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/arm-linux-gnueabihf.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DWEBJSON_BENCH=ON -DWEBJSON_TESTS=OFF -DWEBJSON_EXAMPLES=OFF \
  -DWEBJSON_RAPIDJSON_INCLUDE="$peers" -DWEBJSON_NLOHMANN_INCLUDE="$peers" >/dev/null
cmake --build "$build_dir" --target webjson-bench-count -j2 >/dev/null
bin="$build_dir/bench/webjson-bench-count"
plugin="$build_dir/insn_count.so"
if [[ ! -f "$plugin" || "$source_dir/bench/arm/insn_count.c" -nt "$plugin" ]]; then
  gcc -O2 -shared -fPIC -o "$plugin" "$source_dir/bench/arm/insn_count.c"
fi
echo "built for armhf in $((SECONDS - start)) s" >&2

mapfile -t names < <(qemu-arm -L "$sysroot" "$bin" --list --filter="$filter" "${pass[@]}")
if [[ ${#names[@]} -eq 0 ]]; then
  echo "no case matches --filter=$filter" >&2
  exit 1
fi

# R1 and R2 per case. Every R1 is 2: the first runs of some cases differ from the later ones
# (buffers grown, elements kept for the next read), so the counts take runs 3 and later.
loops() {
  local name=$1
  if [[ $quick -eq 1 ]]; then
    echo "2 3"
  elif [[ $name == records/* ]]; then
    echo "2 4"  # the largest document: two runs counted
  else
    echo "2 5"
  fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Counts the instructions of case number i, R1 and R2 runs, into $work/i.
count_case() {
  local i=$1 name=${names[$1]} r1 r2 c1 c2
  read -r r1 r2 < <(loops "$name")
  qemu-arm -L "$sysroot" -plugin "$plugin,out=$work/$i.r1" "$bin" --case="$name" --loops="$r1" "${pass[@]}"
  qemu-arm -L "$sysroot" -plugin "$plugin,out=$work/$i.r2" "$bin" --case="$name" --loops="$r2" "${pass[@]}"
  c1=$(<"$work/$i.r1")
  c2=$(<"$work/$i.r2")
  printf '%s\t%s\n' "$(((c2 - c1) / (r2 - r1)))" "$name" >"$work/$i"
}

count_start=$SECONDS
running=0
for i in "${!names[@]}"; do
  count_case "$i" &
  running=$((running + 1))
  if [[ $running -ge $jobs ]]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
for i in "${!names[@]}"; do
  [[ -s "$work/$i" ]] || { echo "no count for: ${names[$i]}" >&2; exit 1; }
  cat "$work/$i"
done >"$work/counts"
echo "counted ${#names[@]} cases in $((SECONDS - count_start)) s" >&2
cp "$work/counts" "$build_dir/counts.tsv"

if [[ $quick -eq 1 ]]; then
  how="R1 = 2, R2 = 3"
else
  how="R1 = 2, R2 = 5 (records: R2 = 4)"
fi
echo
echo "Counted with qemu-arm $(qemu-arm --version | head -n1 | awk '{print $3}') and bench/arm/insn_count.c: (count(R2 runs) - count(R1 runs)) / (R2 - R1), $how."
qemu-arm -L "$sysroot" "$bin" --counts="$work/counts" "${pass[@]}"
echo "armhf run took $((SECONDS - start)) s" >&2
