# Sourced by the host checks: prints, as hex bytes, what a capture file got
# between the two markers "00 00 00 ID" that a check wrote around its traffic
# (ID in hex, two digits), or "no markers".
between_markers() {
    od -An -tx1 -v "$1" | tr -s ' \n' '\n\n' | grep . |
        awk -v id="$2" '{ b[NR] = $0 }
            NR >= 4 && b[NR-3] == "00" && b[NR-2] == "00" && b[NR-1] == "00" && $0 == id { mark[++marks] = NR }
            END {
                if (marks != 2) { print "no markers"; exit }
                for (i = mark[1] + 1; i <= mark[2] - 4; i++) printf "%s ", b[i]
                print ""
            }'
}
