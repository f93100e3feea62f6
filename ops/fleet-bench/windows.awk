# How far back before the evaluation each metric must have samples so that
# every rule reads all it would read on a server that has kept everything.
# A rule's selector reaching SECONDS back needs that much of each metric it
# matches.  A recording rule whose series another rule reads N seconds back
# is evaluated over those N seconds too, and so needs its inputs N seconds
# further: every sample where it reads them all, but where it reads only
# the last sample within the lookback, one every little while is enough
# ("sparse").  A rule reading its own series carries it on: that read
# needs only its own range.
# In: NAMES ("NAME COUNT" of the fleet), RULES (rules.tsv), SELECTORS (the
# output of selectors.awk).
# Out: "name NAME DENSE SPARSE" for every metric read (recorded ones too):
# seconds of every sample, seconds of sparse samples; "record ID LEVEL
# SECONDS" for every recording rule: LEVEL 1 reads fleet metrics only, 2 a
# level-1 rule's series, ...; SECONDS of its history that others read.
FILENAME == NAMES { known[$1] = 1; next }
FILENAME == RULES {
    split($0, f, "\t")
    nr++; rid[nr] = f[1]; rtype[f[1]] = f[2]; rname[f[1]] = f[4]
    if (f[2] == "record") { known[f[4]] = 1; recorded[f[4]] = 1 }
    next
}
{
    split($0, f, "\t")
    ns++; sid[ns] = f[1]; skind[ns] = f[2]; sname[ns] = f[3]; sback[ns] = f[4] + 0; slast[ns] = (f[5] == "last")
}
END {
    # The names each selector matches.
    for (s = 1; s <= ns; s++) {
        nm[s] = 0
        for (m in known)
            if ((skind[s] == "eq" && m == sname[s]) || skind[s] == "any" ||
                (skind[s] == "re" && m ~ ("^(" sname[s] ")$")))
                match_[s, ++nm[s]] = m
    }
    for (round = 0; round < 100; round++) {
        changed = 0
        for (s = 1; s <= ns; s++) {
            r = sid[s]
            for (j = 1; j <= nm[s]; j++) {
                m = match_[s, j]
                need = (rtype[r] == "record" && m != rname[r]) ? back(rname[r]) : 0
                if (slast[s] && need > 0) {
                    changed += raise(dense, m, sback[s])
                    changed += raise(sparse, m, need + sback[s])
                } else changed += raise(dense, m, need + sback[s])
            }
            lv = 1
            for (j = 1; j <= nm[s]; j++) {
                m = match_[s, j]
                if ((m in recorded) && m != rname[r] && level[m] + 1 > lv) lv = level[m] + 1
            }
            if (rtype[r] == "record" && level[rname[r]] < lv) { level[rname[r]] = lv; changed = 1 }
        }
        if (!changed) break
    }
    for (m in known)
        if ((m in dense) || (m in sparse)) print "name", m, ((m in dense) ? dense[m] : 0), ((m in sparse) ? sparse[m] : 0)
    for (i = 1; i <= nr; i++) {
        r = rid[i]
        if (rtype[r] != "record") continue
        print "record", r, (level[rname[r]] ? level[rname[r]] : 1), back(rname[r])
    }
}
function back(m,    d, s) {
    d = (m in dense) ? dense[m] : 0; s = (m in sparse) ? sparse[m] : 0
    return d > s ? d : s
}
function raise(a, m, v) {
    if ((m in a) && a[m] >= v) return 0
    a[m] = v
    return 1
}
