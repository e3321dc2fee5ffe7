#!/usr/bin/env bash
# Times whole runs of zelvora against bench/group_sum.awk under mawk on the same declarations, in one run,
# and prints the time ratios, the flatness of zelvora's time in the number of distinct keys and its peak memory.
#
#   bench/run_vs_mawk.sh [-z ZELVORA] [-r REPEATS] [-d DIR] [FILE...]
#
# Without FILE it generates (once, into DIR, default ${TMPDIR:-/tmp}/zelvora-bench) three declarations of
# 2,000,000 item lines with 2,000, 20,000 and 200,000 distinct keys (about 128 MB each) and measures those.
# Each time is the best of REPEATS runs (default 3); peak memory is the child's maximum resident set size
# (getrusage). The item section zelvora writes is compared byte for byte with the one the awk script prints;
# the script exits 1 if they differ or a run fails. It prints figures; it judges nothing else.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
zelvora="$root/build/zelvora"
repeats=3
dir="${TMPDIR:-/tmp}/zelvora-bench"
lines=2000000

while getopts "z:r:d:" opt; do
  case "$opt" in
    z) zelvora="$OPTARG" ;;
    r) repeats="$OPTARG" ;;
    d) dir="$OPTARG" ;;
    *) sed -n '2,11p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

command -v mawk >/dev/null || { echo "mawk is not installed (apt-get install mawk)" >&2; exit 2; }
[ -x "$zelvora" ] || { echo "no zelvora at $zelvora (build it first, or pass -z)" >&2; exit 2; }

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  mkdir -p "$dir"
  for keys in 2000 20000 200000; do
    file="$dir/items-${lines}-${keys}.csv"
    if [ ! -s "$file" ]; then
      echo "generating $file" >&2
      python3 "$root/tools/gen_declaration.py" --lines "$lines" --keys "$keys" --form 2010 --seed 1 "$file.part"
      mv "$file.part" "$file"
    fi
    files+=("$file")
  done
fi

# measure OUT CMD...: runs CMD with its standard output into OUT; prints "seconds peak_kib exit_status".
measure() {
  python3 - "$@" <<'EOF'
import resource, subprocess, sys, time
out, cmd = sys.argv[1], sys.argv[2:]
with open(out, "wb") as sink:
    start = time.perf_counter()
    status = subprocess.run(cmd, stdout=sink, stderr=subprocess.DEVNULL).returncode
    seconds = time.perf_counter() - start
print("%.4f %d %d" % (seconds, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, status))
EOF
}

# best FIELD...: the smallest seconds over `repeats` runs, and the largest peak.
best_of() {
  local out="$1"; shift
  local best="" peak=0 seconds kib status
  for _ in $(seq "$repeats"); do
    read -r seconds kib status < <(measure "$out" "$@")
    if [ "$status" -ne 0 ]; then echo "failed ($status): $*" >&2; return 1; fi
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then best="$seconds"; fi
    if [ "$kib" -gt "$peak" ]; then peak="$kib"; fi
  done
  echo "$best $peak"
}

status=0
declare -A zelvora_seconds
printf '%-34s %9s %9s %9s %7s %10s %10s %s\n' file "MiB" zelvora_s mawk_s ratio peak_MiB over_MiB items
for file in "${files[@]}"; do
  output="${file%.*}-output.csv"
  work="$(mktemp -d)"
  read -r z_seconds z_peak < <(best_of "$work/zelvora.txt" "$zelvora" "$file") || { status=1; continue; }
  read -r a_seconds _ < <(best_of "$work/awk.txt" mawk -f "$here/group_sum.awk" "$file") || { status=1; continue; }
  size=$(stat -c %s "$file")
  if sed -n '/^{T_SORSZ/,$p' "$output" | cmp -s - "$work/awk.txt"; then same="same"; else same="DIFFER"; status=1; fi
  rm -rf "$work" "$output"
  zelvora_seconds["$file"]="$z_seconds"
  awk -v f="$(basename "$file")" -v size="$size" -v z="$z_seconds" -v a="$a_seconds" -v peak="$z_peak" -v same="$same" \
    'BEGIN { printf "%-34s %9.1f %9.3f %9.3f %6.1fx %10.1f %10.1f %s\n", f, size / 1048576, z, a, a / z,
             peak / 1024, peak / 1024 - size / 1048576, same }'
done

if [ ${#files[@]} -ge 2 ]; then
  first="${files[0]}"
  last="${files[${#files[@]}-1]}"
  if [ -n "${zelvora_seconds[$first]:-}" ] && [ -n "${zelvora_seconds[$last]:-}" ]; then
    awk -v a="$(basename "$last")" -v b="$(basename "$first")" -v x="${zelvora_seconds[$last]}" \
      -v y="${zelvora_seconds[$first]}" 'BEGIN { printf "zelvora time %s / %s: %.2f\n", a, b, x / y }'
  fi
fi
echo "ratio = mawk time / zelvora time; over_MiB = zelvora peak memory minus input size"
exit "$status"
