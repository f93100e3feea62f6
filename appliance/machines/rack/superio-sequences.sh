# Sourced by the host checks.  whole_sequences FILE READINGS DUMPS judges the
# accesses to 0x2E/0x2F in FILE (port_traffic's lines): they must be whole
# access sequences, one after another, each either
#   psumon's Super-I/O reading: the entry key twice, the device select, the
#   logical device 09 on the data port, index E4, the data read, the exit key;
#   regpeek's keyed dump of the 128-register stand-in, without a bank: the
#   key; per row the key again and each index with its data read (the index
#   register read once after index 0, giving 0x80); the exit key and Wait for
#   Key in register 0x02;
# at least READINGS readings and exactly DUMPS dumps.  It prints the counts;
# where a sequence is cut, it prints that place with the bytes written to
# 0x2E and the accesses from there, the counts before it and the whole
# sequences found anywhere in the rest, and fails.
whole_sequences() {
    awk -v min_readings="$2" -v want_dumps="$3" '
        function add(kind, access) { pat[kind, ++len[kind]] = access }
        # How many accesses from position at follow the sequence kind.
        function prefix(kind, at,   k) {
            for (k = 0; k < len[kind] && at + k <= n && a[at + k] == pat[kind, k + 1]; k++)
                ;
            return k
        }
        BEGIN {
            split("87 87 07 - e4 - aa", r, " ")
            for (i = 1; i <= 7; i++)
                add("reading", i == 4 ? "out 002f 09" : i == 6 ? "in  002f 5a" : "out 002e " r[i])
            add("dump", "out 002e 87")
            add("dump", "out 002e 87")
            for (row = 0; row < 8; row++) {
                add("dump", "out 002e 87")
                add("dump", "out 002e 87")
                for (col = 0; col < 16; col++) {
                    add("dump", sprintf("out 002e %x%x", row, col))
                    if (row == 0 && col == 0)
                        add("dump", "in  002e 80")
                    add("dump", "in  002f 5a")
                }
            }
            add("dump", "out 002e aa")
            add("dump", "out 002e 02")
            add("dump", "out 002f 02")
            name["reading"] = "Super-I/O reading"
            name["dump"] = "keyed dump"
        }
        { a[++n] = $0 }
        END {
            if (n == 1 && a[1] == "no markers") {
                print "no markers"
                exit 1
            }
            count["reading"] = count["dump"] = 0
            i = 1
            while (i <= n) {
                if (prefix("reading", i) == len["reading"])
                    kind = "reading"
                else if (prefix("dump", i) == len["dump"])
                    kind = "dump"
                else
                    break
                count[kind]++
                i += len[kind]
            }
            counts = count["reading"] " whole Super-I/O readings, " count["dump"] " whole keyed dumps"
            if (i <= n) {
                kind = prefix("dump", i) > prefix("reading", i) ? "dump" : "reading"
                k = prefix(kind, i)
                if (k == 0)
                    printf "access %d of %d begins no sequence: %s\n", i, n, a[i]
                else
                    printf "the %s that begins at access %d of %d is cut after %d of its %d accesses:\n",
                        name[kind], i, n, k, len[kind]
                if (k > 0)
                    printf "  expected %s, found %s\n", pat[kind, k + 1], (i + k <= n ? a[i + k] : "the end")
                line = ""
                shown = 0
                for (j = i; j <= n && shown < 32; j++)
                    if (a[j] ~ /^out 002e /) {
                        line = line " " toupper(substr(a[j], 10))
                        shown++
                    }
                print "bytes written to 0x2E from there:" line (j <= n ? " ..." : "")
                line = ""
                for (j = i; j <= n && j < i + 40; j++) {
                    split(a[j], f, " ")
                    line = line " " (f[1] == "out" ? "w" : "r") toupper(substr(f[2], 3)) ":" toupper(f[3])
                }
                print "accesses from there (w write, r read, port:byte):"
                print " " line (j <= n ? " ..." : "")
                print "before it: " counts
                # The rest for what it is worth: whole sequences found
                # anywhere, skipping the accesses that begin none.
                for (j = i; j <= n; j++)
                    if (prefix("reading", j) == len["reading"]) {
                        count["reading"]++
                        j += len["reading"] - 1
                    } else if (prefix("dump", j) == len["dump"]) {
                        count["dump"]++
                        j += len["dump"] - 1
                    }
                print "found whole anywhere: " count["reading"] " Super-I/O readings, " count["dump"] " keyed dumps"
                exit 1
            }
            print counts
            if (count["reading"] < min_readings) {
                printf "fewer than %d readings\n", min_readings
                exit 1
            }
            if (count["dump"] != want_dumps) {
                printf "expected %d keyed dumps\n", want_dumps
                exit 1
            }
        }' "$1"
}
