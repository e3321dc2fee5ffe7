#!/bin/sh
# From the shared benchmark kit (bench/peer_min_awk.sh there), unchanged below this line.
# The aggregation a spreadsheet user would script instead: group item lines by
# padded goods code, transaction code, upper-cased countries and partner, and
# sum the four quantities (decimal comma accepted). Floating point, no checks.
exec "${AWK:-mawk}" -F';' '
NR > 5 {
  k = sprintf("%08d;%02d;%s;%s;%s", $2, $3, toupper($4), toupper($5), toupper($10))
  if (!(k in a)) { order[++n] = k }
  gsub(",", ".", $6); gsub(",", ".", $7); gsub(",", ".", $8); gsub(",", ".", $9)
  a[k] += $6; b[k] += $7; c[k] += $8; d[k] += $9
}
END { for (i = 1; i <= n; i++) { k = order[i]; printf "%05d;%s;%.3f;%.3f;%.3f;%.3f\n", i, k, a[k], b[k], c[k], d[k] } }
' "$1"
