# JSON in, one line per scalar out: its path, a tab, its value; strings
# unescaped (a newline in one becomes a space), e.g.
#   data.groups.0.rules.1.query	changes(hwkit_psu_state[1d]) > 0
# Meant for the small answers of Prometheus's API.
{ text = text $0 "\n" }
END {
    n = length(text); i = 1; depth = 0
    while (i <= n) {
        c = substr(text, i, 1)
        if (c == "{" || c == "[") {
            depth++; kind[depth] = c; idx[depth] = 0; keyname[depth] = ""
            i++
        } else if (c == "}" || c == "]") {
            depth--; i++
            after()
        } else if (c == "\"") {
            s = str()
            j = i
            while (substr(text, j, 1) ~ /[ \t\r\n]/) j++
            if (kind[depth] == "{" && substr(text, j, 1) == ":") { keyname[depth] = s; i = j + 1 }
            else { emit(s); after() }
        } else if (c ~ /[-0-9tfn]/) {
            j = i
            while (substr(text, j, 1) ~ /[-+.0-9a-zA-Z]/) j++
            emit(substr(text, i, j - i)); i = j
            after()
        } else i++
    }
}
function path(    p, d) {
    p = ""
    for (d = 1; d <= depth; d++) p = p (d > 1 ? "." : "") (kind[d] == "{" ? keyname[d] : idx[d])
    return p
}
function emit(v) { print path() "\t" v }
function after() { if (depth > 0 && kind[depth] == "[") idx[depth]++ }
# The string at i (on its opening quote); leaves i past its closing quote.
function str(    out, c, e, h) {
    out = ""; i++
    while (i <= n) {
        c = substr(text, i, 1)
        if (c == "\"") { i++; return out }
        if (c == "\\") {
            e = substr(text, i + 1, 1)
            if (e == "u") {
                h = tolower(substr(text, i + 2, 4))
                out = out sprintf("%c", hex(h)); i += 6; continue
            }
            if (e == "n" || e == "r" || e == "t") out = out " "
            else if (e == "b" || e == "f") out = out ""
            else out = out e
            i += 2; continue
        }
        out = out c; i++
    }
    return out
}
function hex(h,    v, k) {
    v = 0
    for (k = 1; k <= length(h); k++) v = v * 16 + index("0123456789abcdef", substr(h, k, 1)) - 1
    return v < 128 ? v : 63
}
