#!/usr/bin/env bash
# Times whole runs of zelvora against what users would script instead, on the same declarations in one run,
# and prints the time ratios, zelvora's throughput and peak memory, and how its time grows with the lines
# and the keys.
#
#   bench/run_vs_mawk.sh [-z ZELVORA] [-r REPEATS] [-d DIR] [-s] [FILE...]
#
# The peers: bench/group_sum.awk (the exact grouping and summing, in mawk; its item section must equal
# zelvora's byte for byte), bench/peer_min_awk.sh (the leanest awk a user would write: floats, no checks)
# and bench/peer_pandas.py (pandas' C parser and a group-by; Debian's python3-pandas); these two take form
# 2010 with five lines before the items, as bench/gen_big.py writes it. A peer whose tool is missing is
# skipped with a line that says so. Without FILE it generates (once, into DIR, default
# ${TMPDIR:-/tmp}/zelvora-bench, with bench/gen_big.py) declarations of 2,000,000 item lines with 2,000,
# 20,000 and 200,000 distinct keys (about 122 MiB each) and measures those. With -s it measures only
# zelvora, on a declaration without item lines, on 100,000, 2,000,000 and 20,000,000 lines with 2,000 keys
# (the largest file is about 1.2 GiB) and on 500,000 lines with 2,000 and 200,000 keys, and gives the time
# per line also less the time of the declaration without items; the two files of 500,000 lines are run in
# turn. Each time is the best of REPEATS runs (default 3),
# as wall-clock time and as CPU time (user plus system, steadier on a machine that others share); peak
# memory is the maximum resident set size, as wait4 reports them for the measured process, which a small
# launcher (bench/measure.c, compiled with cc on first use) starts.
# It exits 1 if a run fails or the item sections differ; it prints figures and judges nothing else.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
zelvora="$root/build/zelvora"
repeats=3
dir="${TMPDIR:-/tmp}/zelvora-bench"
scaling=0

while getopts "z:r:d:s" opt; do
  case "$opt" in
    z) zelvora="$OPTARG" ;;
    r) repeats="$OPTARG" ;;
    d) dir="$OPTARG" ;;
    s) scaling=1 ;;
    *) sed -n '2,20p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

[ -x "$zelvora" ] || { echo "no zelvora at $zelvora (build it first, or pass -z)" >&2; exit 2; }

# generated LINES KEYS: the path of a declaration from bench/gen_big.py, made once.
generated() {
  local file="$dir/big-$1-$2.csv"
  if [ ! -s "$file" ]; then
    mkdir -p "$dir"
    echo "generating $file" >&2
    python3 "$here/gen_big.py" "$1" "$2" "$file.part"
    mv "$file.part" "$file"
  fi
  echo "$file"
}

# The launcher that measures a command (bench/measure.c), compiled once into DIR: a process started from a
# large one, such as a Python interpreter, would count that one's memory in its peak.
measurer="$dir/measure"
if [ ! -x "$measurer" ] || [ "$here/measure.c" -nt "$measurer" ]; then
  mkdir -p "$dir"
  cc -O2 -static -o "$measurer" "$here/measure.c" 2>/dev/null || cc -O2 -o "$measurer" "$here/measure.c"
fi

# measure OUT CMD...: runs CMD with its standard output into OUT; prints "wall_seconds cpu_seconds
# peak_kib exit_status", the CPU time being user plus system time. The resource use is that of CMD's own
# process as wait4 reports it, so nothing else started for the measurement is counted, neither in its
# time nor in its peak (but for the launcher's few hundred KiB, which the peak cannot go below).
measure() {
  "$measurer" "$@" < /dev/null
}

# best_of OUT CMD...: the smallest wall and CPU seconds over `repeats` runs, and the largest peak. Every run
# starts from the same state: OUT is emptied by the launcher before its clock starts, and the file named by
# `fresh`, if set (zelvora's result), is removed before the launcher starts. Otherwise every run but the first
# would also time the file system freeing the result of the run before (with a synchronous discard on some
# mounts), which no peer pays.
# smaller A B: the smaller of two times in seconds; A when B is empty (no time yet).
smaller() {
  awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a + 0 < b + 0) ? a : b }'
}

best_of() {
  local out="$1"; shift
  local wall="" cpu="" peak=0 w c kib status
  for _ in $(seq "$repeats"); do
    if [ -n "${fresh:-}" ]; then rm -f "$fresh"; fi
    read -r w c kib status < <(measure "$out" "$@")
    if [ "$status" -ne 0 ]; then echo "failed ($status): $*" >&2; return 1; fi
    wall="$(smaller "$w" "$wall")"
    cpu="$(smaller "$c" "$cpu")"
    if [ "$kib" -gt "$peak" ]; then peak="$kib"; fi
  done
  echo "$wall $cpu $peak"
}

# The peers, by name and command line (FILE stands for the declaration), with what each needs.
peer_names=("group_sum.awk" "peer_min_awk.sh" "peer_pandas.py")
peer_missing() {
  case "$1" in
    group_sum.awk | peer_min_awk.sh) command -v mawk >/dev/null || echo "mawk is not installed (apt-get install mawk)" ;;
    peer_pandas.py) /usr/bin/python3 -c 'import pandas' 2>/dev/null ||
      echo "pandas is not installed for /usr/bin/python3 (apt-get install python3-pandas)" ;;
  esac
}
peer_command() {
  case "$1" in
    group_sum.awk) echo mawk -f "$here/group_sum.awk" "$2" ;;
    peer_min_awk.sh) echo sh "$here/peer_min_awk.sh" "$2" ;;
    peer_pandas.py) echo /usr/bin/python3 "$here/peer_pandas.py" "$2" ;;
  esac
}

status=0
row() { printf '%-18s %9s %8s %9s %9s %8s\n' "$@"; }

# zelvora_run FILE: measures zelvora on FILE into z_wall, z_cpu, z_peak; keeps its item section in $work.
zelvora_run() {
  local fresh="${1%.*}-output.csv"
  read -r z_wall z_cpu z_peak < <(best_of "$work/zelvora.txt" "$zelvora" "$1") || return 1
  sed -n '/^{T_SORSZ/,$p' "${1%.*}-output.csv" > "$work/zelvora-items.txt"
  rm -f "${1%.*}-output.csv"
}

if [ "$scaling" -eq 1 ]; then
  work="$(mktemp -d)"
  echo "zelvora alone: time per line over the number of lines (2,000 keys), and over the number of keys;"
  echo "net: less the time of a declaration without item lines (starting, writing and syncing the result);"
  echo "CPU time leaves out the waits for the disk, such as the sync of a larger result"
  # The opening lines of a generated declaration, without its items.
  empty="$dir/empty.csv"
  head -n 5 "$(generated 100000 2000)" > "$empty"
  shapes=("0 0" "100000 2000" "2000000 2000" "20000000 2000" "500000 2000" "500000 200000")
  declare -A file_of best_wall best_cpu
  for shape in "${shapes[@]}"; do
    read -r lines keys <<< "$shape"
    if [ "$lines" -eq 0 ]; then file_of["$shape"]="$empty"; else file_of["$shape"]="$(generated "$lines" "$keys")"; fi
  done
  # rounds SHAPE...: REPEATS rounds of one run of each shape's file in turn; each keeps its best wall and
  # CPU time. The two files whose times give the keys' ratio are taken in turn, so that a slow minute on a
  # shared machine weighs on both alike; the others each in a row of runs, as a file left unread for a few
  # seconds may be dropped from the page cache (this machine pages out what it has not touched lately).
  rounds() {
    local shape file w c run_status
    for _ in $(seq "$repeats"); do
      for shape in "$@"; do
        file="${file_of[$shape]}"
        rm -f "${file%.*}-output.csv"
        read -r w c _ run_status < <(measure "$work/zelvora.txt" "$zelvora" "$file")
        if [ "$run_status" -ne 0 ]; then echo "failed ($run_status): $zelvora $file" >&2; status=1; continue; fi
        best_wall["$shape"]="$(smaller "$w" "${best_wall[$shape]:-}")"
        best_cpu["$shape"]="$(smaller "$c" "${best_cpu[$shape]:-}")"
      done
    done
  }
  for shape in "0 0" "100000 2000" "2000000 2000" "20000000 2000"; do rounds "$shape"; done
  rounds "500000 2000" "500000 200000"
  for shape in "${shapes[@]}"; do rm -f "${file_of[$shape]%.*}-output.csv"; done
  rm -rf "$work"
  empty_wall="${best_wall[0 0]:-0}"
  empty_cpu="${best_cpu[0 0]:-0}"
  printf '%-34s %9s %9s %8s %10s %10s\n' file lines wall_s cpu_s ns/line net_ns/line
  printf '%-34s %9d %9.4f %8.4f\n' "$(basename "$empty")" 0 "$empty_wall" "$empty_cpu"
  declare -A per_line net_per_line cpu_per_line net_cpu_per_line
  for shape in "${shapes[@]:1}"; do
    read -r lines keys <<< "$shape"
    [ -n "${best_wall[$shape]:-}" ] || continue
    z_wall="${best_wall[$shape]}"
    z_cpu="${best_cpu[$shape]}"
    per_line["$shape"]="$(awk -v w="$z_wall" -v n="$lines" 'BEGIN { printf "%.1f", w / n * 1e9 }')"
    cpu_per_line["$shape"]="$(awk -v c="$z_cpu" -v n="$lines" 'BEGIN { printf "%.1f", c / n * 1e9 }')"
    net_cpu_per_line["$shape"]="$(awk -v c="$z_cpu" -v e="$empty_cpu" -v n="$lines" 'BEGIN { printf "%.1f", (c - e) / n * 1e9 }')"
    net_per_line["$shape"]="$(awk -v w="$z_wall" -v e="$empty_wall" -v n="$lines" 'BEGIN { printf "%.1f", (w - e) / n * 1e9 }')"
    printf '%-34s %9d %9.3f %8.3f %10s %10s\n' "$(basename "${file_of[$shape]}")" "$lines" "$z_wall" "$z_cpu" \
      "${per_line[$shape]}" "${net_per_line[$shape]}"
  done
  awk -v a="${per_line[100000 2000]:-0}" -v b="${per_line[2000000 2000]:-0}" -v c="${per_line[20000000 2000]:-0}" \
    'BEGIN { if (a > 0 && c > 0) printf "time per line, 100,000 lines / 20,000,000 lines: %.2f (100,000 / 2,000,000: %.2f)\n", a / c, a / b }'
  awk -v a="${net_per_line[100000 2000]:-0}" -v b="${net_per_line[2000000 2000]:-0}" -v c="${net_per_line[20000000 2000]:-0}" \
    'BEGIN { if (a > 0 && c > 0) printf "net time per line, 100,000 lines / 20,000,000 lines: %.2f (100,000 / 2,000,000: %.2f)\n", a / c, a / b }'
  awk -v a="${net_cpu_per_line[100000 2000]:-0}" -v b="${net_cpu_per_line[2000000 2000]:-0}" -v c="${net_cpu_per_line[20000000 2000]:-0}" \
    'BEGIN { if (a > 0 && c > 0) printf "net CPU time per line, 100,000 lines / 20,000,000 lines: %.2f (100,000 / 2,000,000: %.2f)\n", a / c, a / b }'
  awk -v a="${per_line[500000 2000]:-0}" -v b="${per_line[500000 200000]:-0}" \
    -v c="${cpu_per_line[500000 2000]:-0}" -v d="${cpu_per_line[500000 200000]:-0}" \
    'BEGIN { if (a > 0 && c > 0) printf "time on 500,000 lines, 200,000 keys / 2,000 keys: %.2f (CPU time: %.2f)\n", b / a, d / c }'
  exit "$status"
fi

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  for keys in 2000 20000 200000; do files+=("$(generated 2000000 "$keys")"); done
fi

for name in "${peer_names[@]}"; do
  why="$(peer_missing "$name")"
  if [ -n "$why" ]; then echo "skipping peer $name: $why"; fi
done

for file in "${files[@]}"; do
  work="$(mktemp -d)"
  size=$(stat -c %s "$file")
  mib=$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1048576 }')
  echo
  echo "== $(basename "$file"): $mib MiB"
  row program wall_s cpu_s MB/s ratio cpu_ratio
  if ! zelvora_run "$file"; then status=1; rm -rf "$work"; continue; fi
  row zelvora "$z_wall" "$z_cpu" "$(awk -v s="$size" -v w="$z_wall" 'BEGIN { printf "%.0f", s / w / 1e6 }')" 1.0x 1.0x
  for name in "${peer_names[@]}"; do
    [ -z "$(peer_missing "$name")" ] || continue
    # shellcheck disable=SC2046
    if ! read -r p_wall p_cpu _ < <(best_of "$work/$name.txt" $(peer_command "$name" "$file")); then
      status=1
      continue
    fi
    row "$name" "$p_wall" "$p_cpu" "$(awk -v s="$size" -v w="$p_wall" 'BEGIN { printf "%.0f", s / w / 1e6 }')" \
      "$(awk -v p="$p_wall" -v z="$z_wall" 'BEGIN { printf "%.1fx", p / z }')" \
      "$(awk -v p="$p_cpu" -v z="$z_cpu" 'BEGIN { printf "%.1fx", p / z }')"
    if [ "$name" = group_sum.awk ]; then
      if cmp -s "$work/zelvora-items.txt" "$work/$name.txt"; then same="same"; else same="DIFFER"; status=1; fi
    fi
  done
  awk -v peak="$z_peak" -v size="$size" -v same="${same:-not compared}" \
    'BEGIN { printf "zelvora peak memory %.1f MiB (peak minus input size: %+.1f MiB); item section against group_sum.awk: %s\n",
             peak / 1024, peak / 1024 - size / 1048576, same }'
  rm -rf "$work"
done
echo
echo "ratio = peer time / zelvora time, wall clock (cpu_ratio: the same in CPU time, user plus system);"
echo "MB/s = input bytes / wall-clock seconds / 10^6"
exit "$status"
