# Sourced by the host checks.  A check writes the marker "00 00 00 ID" to
# port 0x2E before and after its traffic (ID: two hex digits).

# The bytes a capture file got between the two markers, as hex, or
# "no markers".
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

# The accesses to the given ports (four hex digits each) between the two
# markers, in order, from QEMU's trace of every device access (io.trace), one
# per line: "out 002e 87", "in  0cfc 000c1b36" (the value as wide as the
# access), or "no markers".
port_traffic() {
    trace=$1 id=$2
    shift 2
    awk -v id="$id" -v ports=" 002e $* " '
        function pad(h, n) { sub(/^0x/, "", h); while (length(h) < n) h = "0" h; return h }
        $1 != "memory_region_ops_write" && $1 != "memory_region_ops_read" { next }
        {
            port = pad($7, 4)
            if (index(ports, " " port " ") == 0) next
            a[++n] = ($1 == "memory_region_ops_write" ? "out " : "in  ") port " " pad($9, 2 * $11)
            if (n >= 4 && a[n-3] == "out 002e 00" && a[n-2] == "out 002e 00" && a[n-1] == "out 002e 00" &&
                a[n] == "out 002e " id)
                mark[++marks] = n
        }
        END {
            if (marks != 2) { print "no markers"; exit }
            for (i = mark[1] + 1; i <= mark[2] - 4; i++) print a[i]
        }' "$trace"
}
