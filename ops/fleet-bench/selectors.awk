# The series selectors of PromQL expressions and how far back each reads.
# In: "ID<tab>EXPR" lines.  Out, per selector:
# "ID<tab>KIND<tab>NAME<tab>SECONDS<tab>READS" with KIND "eq" (the metric
# NAME), "re" (names matching the regular expression NAME) or "any" (a
# selector that does not pin the name), SECONDS its range, or the lookback
# of an instant selector (-v LOOKBACK=300), plus the offsets and ranges of
# the subqueries around it, and READS "last" for an instant selector outside
# any subquery (it reads one sample, the last within the lookback), "all"
# for the others.  An @ modifier is read as if it were absent.
BEGIN {
    FS = "\t"
    if (LOOKBACK == "") LOOKBACK = 300
    split("ms 0.001 s 1 m 60 h 3600 d 86400 w 604800 y 31536000", u, " ")
    for (k = 1; k < 14; k += 2) unitsec[u[k]] = u[k + 1]
}
{
    id = $1; q = substr($0, length($1) + 2); n = length(q); i = 1
    nsel = 0; depth = 0; ta = tb = 0
    while (i <= n) {
        c = substr(q, i, 1)
        if (c ~ /[ \t\r\n]/) { i++; continue }
        if (c == "\"" || c == "'" || c == "`") { skipstr(); ta = tb = 0; continue }
        if (c ~ /[A-Za-z_:]/) { word(); continue }
        if (c ~ /[0-9.]/) {
            while (i <= n && substr(q, i, 1) ~ /[0-9A-Za-z._]/) i++
            ta = tb = 0; continue
        }
        if (c == "{") { selector("", "any"); continue }
        if (c == "(") { start[++depth] = nsel + 1; i++; ta = tb = 0; continue }
        if (c == ")") {
            i++
            if (depth > 0) { ta = start[depth]; tb = nsel; depth-- }
            continue
        }
        if (c == "[") { brackets(); continue }
        if (c == "@") {
            i++; blanks()
            if (substr(q, i, 1) ~ /[A-Za-z]/) { while (i <= n && substr(q, i, 1) ~ /[A-Za-z_()]/) i++ }
            else while (i <= n && substr(q, i, 1) ~ /[-+0-9.eE]/) i++
            continue
        }
        if (c == "#") { while (i <= n && substr(q, i, 1) != "\n") i++; continue }
        i++; ta = tb = 0
    }
    for (s = 1; s <= nsel; s++)
        print id "\t" skind[s] "\t" sname[s] "\t" (sback[s] < 0 ? 0 : sback[s]) "\t" (sall[s] ? "all" : "last")
}

function blanks() { while (i <= n && substr(q, i, 1) ~ /[ \t\r\n]/) i++ }

function skipstr(    quote, c) {
    quote = substr(q, i, 1); i++
    while (i <= n) {
        c = substr(q, i, 1)
        if (c == "\\" && quote != "`") { i += 2; continue }
        i++
        if (c == quote) return
    }
}

# The string literal at i, unescaped.
function string(    quote, c, out) {
    quote = substr(q, i, 1); i++; out = ""
    while (i <= n) {
        c = substr(q, i, 1)
        if (c == "\\" && quote != "`") { out = out substr(q, i + 1, 1); i += 2; continue }
        i++
        if (c == quote) break
        out = out c
    }
    return out
}

function word(    w, lw, j, c) {
    j = i
    while (i <= n && substr(q, i, 1) ~ /[A-Za-z0-9_:]/) i++
    w = substr(q, j, i - j); lw = tolower(w)
    blanks(); c = substr(q, i, 1)
    if (lw ~ /^(by|without|on|ignoring|group_left|group_right)$/) {
        if (c == "(") { while (i <= n && substr(q, i, 1) != ")") i++; i++ }
        ta = tb = 0; return
    }
    if (lw == "offset") { shift(duration()); return }
    if (lw ~ /^(and|or|unless|bool|atan2|inf|nan)$/) { ta = tb = 0; return }
    if (c == "(") return
    if (lw ~ /^(sum|min|max|avg|group|stddev|stdvar|count|count_values|bottomk|topk|quantile)$/ &&
        substr(q, i) ~ /^(by|without)[ \t\r\n]*\(/) return
    selector(w, "eq")
}

# A selector whose name (if any) came before; at i its braces, if any.
function selector(name, kind,    m, op, v) {
    nsel++
    skind[nsel] = kind; sname[nsel] = name; sback[nsel] = LOOKBACK; sall[nsel] = 0
    if (substr(q, i, 1) == "{") {
        i++
        while (i <= n) {
            blanks()
            if (substr(q, i, 1) == "}") { i++; break }
            if (substr(q, i, 1) == ",") { i++; continue }
            m = i
            while (i <= n && substr(q, i, 1) ~ /[A-Za-z0-9_]/) i++
            if (substr(q, m, 1) ~ /["'`]/) { v = string(); m = v } else m = substr(q, m, i - m)
            blanks()
            op = substr(q, i, 2)
            if (op != "=~" && op != "!=" && op != "!~") op = substr(q, i, 1)
            i += length(op)
            blanks()
            v = string()
            if (m == "__name__") {
                if (op == "=") { skind[nsel] = "eq"; sname[nsel] = v }
                else if (op == "=~" && v !~ /\(\?|\\[dDwWsSbBpPQE]/) { skind[nsel] = "re"; sname[nsel] = v }
                else { skind[nsel] = "any"; sname[nsel] = "" }
            }
        }
    }
    ta = tb = nsel
}

# [range] after a selector, [range:step] after a selector or a parenthesis.
function brackets(    j, body, k) {
    j = i + 1
    while (i <= n && substr(q, i, 1) != "]") i++
    body = substr(q, j, i - j); i++
    gsub(/[ \t\r\n]/, "", body)
    k = index(body, ":")
    if (k > 0) {
        shift(seconds(substr(body, 1, k - 1)))
        if (ta > 0) for (k = ta; k <= tb; k++) sall[k] = 1
    } else if (ta > 0 && ta == tb) { sback[ta] = seconds(body); sall[ta] = 1 }
}

function shift(d,    s) { if (ta > 0) for (s = ta; s <= tb; s++) sback[s] += d }

function duration(    j, sign) {
    blanks(); sign = 1
    if (substr(q, i, 1) == "-") { sign = -1; i++ }
    j = i
    while (i <= n && substr(q, i, 1) ~ /[0-9a-z]/) i++
    return sign * seconds(substr(q, j, i - j))
}

# 1h30m, 7d, 90s, 500ms, or a number of seconds.
function seconds(d,    total, num, unit) {
    total = 0
    if (d ~ /^[0-9.]+$/) return d + 0
    while (match(d, /^[0-9]+(ms|[smhdwy])/)) {
        num = substr(d, 1, RLENGTH); d = substr(d, RLENGTH + 1)
        unit = num; sub(/^[0-9]+/, "", unit); num += 0
        total += num * unitsec[unit]
    }
    return total
}
