# The item grouping and summing of a declaration, written the way a user would in awk: the yardstick that
# bench/run_vs_mawk.sh times zelvora against. Prints the item section (header and rows, CR LF) that zelvora
# writes for a valid declaration, so the two outputs can be compared byte for byte. It does not validate the
# identification section or the quantities (its input comes from tools/gen_declaration.py).
#
#     mawk -f bench/group_sum.awk declaration.csv > items.txt

BEGIN {
  RS = "\r\n|\n|\r"
  ORS = "\r\n"
  state = 0
  form = 0
  count = 0
}

# Thousandths of a quantity text, truncated toward zero: "-" anywhere negates, "," or "." is the decimal point.
function thousandths(text,   negative, dot, whole, fraction) {
  negative = index(text, "-") > 0
  if (negative || index(text, " ")) gsub(/[- ]/, "", text)
  dot = index(text, ",")
  if (!dot) dot = index(text, ".")
  if (!dot) return negative ? -(text * 1000) : text * 1000
  whole = substr(text, 1, dot - 1)
  fraction = substr(substr(text, dot + 1) "000", 1, 3)
  return negative ? -(whole * 1000 + fraction) : whole * 1000 + fraction
}

function total(t) {
  if (t == 0) return ""
  if (t >= 1000) return sprintf("%.0f", (t - t % 1000) / 1000)
  return sprintf("%.3f", t / 1000)
}

function zeros(text, width) {
  while (length(text) < width) text = "0" text
  return text
}

function trimmed(text) {
  gsub(/^[[:cntrl:] ]+|[[:cntrl:] ]+$/, "", text)
  return text
}

{
  line = $0
  gsub(/"/, " ", line)
  line = trimmed(line)
  sub(/[[:cntrl:] ;,]+$/, "", line)
  if (line == "" || line ~ /^#/ || line ~ /^\{.*\}$/) next
  if (index(line, ";") == 0) gsub(/,/, ";", line)

  if (state < 3) {
    # The two chapter lines and the identification line; only the form code matters here.
    if (state == 1) form = trimmed(substr(line, 1, index(line ";", ";") - 1)) + 0
    state++
    next
  }

  n = split(line, field, ";")
  if (n < 5) next
  for (i = n + 1; i <= 10; i++) field[i] = ""
  goods = zeros(trimmed(field[2]), 8)
  transaction = zeros(trimmed(field[3]), 2)
  member = toupper(trimmed(field[4]))
  origin = toupper(trimmed(field[5]))
  partner = form == 2010 ? toupper(trimmed(field[10])) : ""
  key = goods SUBSEP transaction SUBSEP member SUBSEP origin SUBSEP partner
  if (!(key in row)) {
    row[key] = ++count
    keyOf[count] = goods ";" transaction ";" member ";" origin
    partnerOf[count] = partner
  }
  k = row[key]
  mass[k] += thousandths(trimmed(field[6]))
  supplementary[k] += thousandths(trimmed(field[7]))
  invoiced[k] += thousandths(trimmed(field[8]))
  statistical[k] += thousandths(trimmed(field[9]))
}

END {
  if (form == 2010)
    print "{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}"
  else
    print "{T_SORSZ;TEKOD;UKOD;FTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT}"
  for (k = 1; k <= count; k++) {
    out = sprintf("%05d;%s;%s;%s;%s;%s", k, keyOf[k], total(mass[k]), total(supplementary[k]),
                  total(invoiced[k]), total(statistical[k]))
    if (form == 2010) out = out ";" partnerOf[k]
    print out
  }
}
