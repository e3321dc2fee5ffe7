#!/usr/bin/env bash
# Times whole runs of zelvora against bench/group_sum.awk under mawk on the same declarations, in one run,
# and prints the time ratios, the flatness of zelvora's time in the number of distinct keys and its peak memory.
#
#   bench/run_vs_mawk.sh [-z ZELVORA] [-r REPEATS] [-d DIR] [FILE...]
#
# Without FILE it generates (once, into DIR, default ${TMPDIR:-/tmp}/zelvora-bench) three declarations of
# 2,000,000 item lines with 2,000, 20,000 and 200,000 distinct keys (about 128 MB each) and measures those.
# Each time is the best of REPEATS runs (default 3), as wall-clock time and as CPU time (user plus system,
# steadier on a machine that others share); peak memory is the maximum resident set size. Both come from
# GNU time (/usr/bin/time, Debian package "time"), or else from getrusage. The item section zelvora writes
# is compared byte for byte with the one the awk script prints; the script exits 1 if they differ or a run
# fails. It prints figures; it judges nothing else.
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
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
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

# measure OUT CMD...: runs CMD with its standard output into OUT; prints "wall_seconds cpu_seconds
# peak_kib exit_status", the CPU time being user plus system time. CPU time and peak come from GNU time
# when it is there: getrusage in the Python that starts the command would count that Python's own size
# into the child's peak.
measure() {
  python3 - "$@" <<'EOF'
import os, resource, subprocess, sys, tempfile, time
out, cmd = sys.argv[1], sys.argv[2:]
gnu_time = "/usr/bin/time"
with open(out, "wb") as sink, tempfile.NamedTemporaryFile("r") as report:
    if os.access(gnu_time, os.X_OK):
        cmd = [gnu_time, "-f", "%U %S %M", "-o", report.name] + cmd
    start = time.perf_counter()
    status = subprocess.run(cmd, stdout=sink, stderr=subprocess.DEVNULL).returncode
    seconds = time.perf_counter() - start
    if cmd[0] == gnu_time:
        user, system, peak = report.read().split()[-3:]
        cpu, peak = float(user) + float(system), int(peak)
    else:
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu, peak = usage.ru_utime + usage.ru_stime, usage.ru_maxrss
print("%.4f %.4f %d %d" % (seconds, cpu, peak, status))
EOF
}

# best_of OUT CMD...: the smallest wall and CPU seconds over `repeats` runs, and the largest peak.
best_of() {
  local out="$1"; shift
  local wall="" cpu="" peak=0 w c kib status
  for _ in $(seq "$repeats"); do
    read -r w c kib status < <(measure "$out" "$@")
    if [ "$status" -ne 0 ]; then echo "failed ($status): $*" >&2; return 1; fi
    if [ -z "$wall" ] || awk -v a="$w" -v b="$wall" 'BEGIN { exit !(a < b) }'; then wall="$w"; fi
    if [ -z "$cpu" ] || awk -v a="$c" -v b="$cpu" 'BEGIN { exit !(a < b) }'; then cpu="$c"; fi
    if [ "$kib" -gt "$peak" ]; then peak="$kib"; fi
  done
  echo "$wall $cpu $peak"
}

status=0
declare -A zelvora_wall zelvora_cpu
printf '%-28s %6s | %9s %7s | %9s %7s | %6s %6s | %8s %8s %s\n' file MiB zelvora_s cpu_s mawk_s cpu_s \
  ratio cpu_rt peak_MiB over_MiB items
for file in "${files[@]}"; do
  output="${file%.*}-output.csv"
  work="$(mktemp -d)"
  read -r z_wall z_cpu z_peak < <(best_of "$work/zelvora.txt" "$zelvora" "$file") || { status=1; continue; }
  read -r a_wall a_cpu _ < <(best_of "$work/awk.txt" mawk -f "$here/group_sum.awk" "$file") || { status=1; continue; }
  size=$(stat -c %s "$file")
  if sed -n '/^{T_SORSZ/,$p' "$output" | cmp -s - "$work/awk.txt"; then same="same"; else same="DIFFER"; status=1; fi
  rm -rf "$work" "$output"
  zelvora_wall["$file"]="$z_wall"
  zelvora_cpu["$file"]="$z_cpu"
  awk -v f="$(basename "$file")" -v size="$size" -v zw="$z_wall" -v zc="$z_cpu" -v aw="$a_wall" -v ac="$a_cpu" \
    -v peak="$z_peak" -v same="$same" \
    'BEGIN { printf "%-28s %6.1f | %9.3f %7.3f | %9.3f %7.3f | %5.1fx %5.1fx | %8.1f %8.1f %s\n", f,
             size / 1048576, zw, zc, aw, ac, aw / zw, ac / zc, peak / 1024, peak / 1024 - size / 1048576, same }'
done

if [ ${#files[@]} -ge 2 ]; then
  first="${files[0]}"
  last="${files[${#files[@]}-1]}"
  if [ -n "${zelvora_wall[$first]:-}" ] && [ -n "${zelvora_wall[$last]:-}" ]; then
    awk -v a="$(basename "$last")" -v b="$(basename "$first")" -v xw="${zelvora_wall[$last]}" \
      -v yw="${zelvora_wall[$first]}" -v xc="${zelvora_cpu[$last]}" -v yc="${zelvora_cpu[$first]}" \
      'BEGIN { printf "zelvora time %s / %s: %.2f (CPU time: %.2f)\n", a, b, xw / yw, xc / yc }'
  fi
fi
echo "ratio = mawk time / zelvora time, wall clock (cpu_rt: the same in CPU time, user plus system)"
echo "over_MiB = zelvora peak memory minus the input size; items: zelvora's item section against awk's"
exit "$status"
