# A fleet of appliances as the node exporter serves them to Prometheus:
# psumon's power-supply series, sensors-export's readings of three chips
# (a Super-I/O, the CPU's k10temp, an NVMe drive), up and the textfile
# collector's error flag.  Mostly healthy; a few appliances of every few
# dozen have a fault (a supply, a fan, a hot CPU, a failed read, an export
# that stopped or vanished, a rejected textfile).
#
# -v mode=names   each metric name and its number of series per appliance
# -v mode=gen     OpenMetrics text of the samples with S0 <= t < S1 (and
#                 t <= TEND) of N appliances.  The file STARTS has a line
#                 "NAME DENSE SPARSE" for each metric: a sample every STEP
#                 seconds from DENSE on, one every SPARSE seconds from
#                 SPARSE to DENSE (a name not there: every STEP from S0).
#                 The number of samples goes to stderr.
BEGIN {
    model()
    if (mode == "names") {
        for (f = 1; f <= nfam; f++) print fam[f], famn[fam[f]]
        exit
    }
    N += 0; TEND += 0; STEP += 0; S0 += 0; S1 += 0
    while ((getline line < STARTS) > 0) {
        split(line, w, " ")
        from[w[1]] = w[2] + 0; sparse_from[w[1]] = w[3] + 0
    }
    if (SPARSE + 0 < STEP) SPARSE = STEP
    tables()
    faults()
    samples = 0
    for (f = 1; f <= nfam; f++) {
        name = fam[f]
        last = S1 - 1
        if (last > TEND) last = TEND
        # [sfirst, slast] every SPARSE, [first, last] every STEP
        first = (name in from) ? from[name] : S0
        sfirst = (name in from) ? sparse_from[name] : first
        slast = (first - 1 < last) ? first - 1 : last
        if (sfirst < S0) sfirst = S0
        sfirst = int((sfirst + SPARSE - 1) / SPARSE) * SPARSE
        if (first < S0) first = S0
        first = int((first + STEP - 1) / STEP) * STEP
        if (first > last && sfirst > slast) continue
        print "# TYPE " name " gauge"
        for (a = 1; a <= N; a++) {
            inst = sprintf("instance=\"appl%04d:9100\",job=\"node\"", a)
            for (j = 1; j <= famn[name]; j++) {
                k = famk[name, j]
                pre = name "{" inst lab[k] "} "
                if (sfirst <= slast) series(a, k, pre, sfirst, slast, SPARSE)
                if (first <= last) series(a, k, pre, first, last, STEP)
            }
        }
    }
    print "# EOF"
    printf "samples %.0f\n", samples > "/dev/stderr"
}

# NAME LABELS MODEL A B C: a series of every appliance.  LABELS come after
# instance and job (",chip=...").  Models: c (the constant A), t (a
# temperature around A, B degrees of daily swing, in steps of C), v (a
# voltage near A in steps of B), f (a fan near A rpm, B rpm of jitter),
# s (the time of the scrape less A seconds).  PART: psu, sensors, node.
function add(part, name, labels, kind, x, y, z) {
    ns++
    lab[ns] = labels; kd[ns] = kind; pa[ns] = x; pb[ns] = y; pc[ns] = z; part_of[ns] = part
    if (!(name in famn)) { fam[++nfam] = name; famn[name] = 0 }
    famk[name, ++famn[name]] = ns
    named[name, labels] = ns
}

function model(    sio, k10, nv, i, n, s, c) {
    add("psu", "hwkit_psu_state", ",reader=\"get_x10drli_power_state\",supply=\"1\"", "c", 0)
    add("psu", "hwkit_psu_state", ",reader=\"get_x10drli_power_state\",supply=\"2\"", "c", 0)
    add("psu", "hwkit_psu_read_ok", ",reader=\"get_x10drli_power_state\"", "c", 1)
    add("psu", "hwkit_psu_read_timestamp_seconds", ",reader=\"get_x10drli_power_state\"", "s", 3)

    sio = "platform_nct6775_656"; k10 = "pci_0000:00:18_3"; nv = "nvme_nvme0"
    chip(sio, "nct6775", "nct6775-isa-0290")
    chip(k10, "k10temp", "k10temp-pci-00c3")
    chip(nv, "nvme", "nvme-pci-0100")

    # name, reading, quantum, min, max
    n = split("Vcore 1.016 0.008 0.800 1.400|+12V 12.096 0.096 10.800 13.200|AVCC 3.344 0.016 2.976 3.632|" \
        "+3.3V 3.328 0.016 2.976 3.632|+5V 5.040 0.040 4.500 5.500|3VSB 3.424 0.016 2.976 3.632", s, "|")
    for (i = 1; i <= n; i++) {
        split(s[i], c, " ")
        c[0] = sensor(sio, "in" (i - 1), c[1])
        add("sensors", "hwkit_hwmon_in_volts", c[0], "v", c[2], c[3])
        add("sensors", "hwkit_hwmon_in_min_volts", c[0], "c", c[4])
        add("sensors", "hwkit_hwmon_in_max_volts", c[0], "c", c[5])
        add("sensors", "hwkit_hwmon_in_alarm", c[0], "c", 0)
    }
    n = split("CPU Fan:1250|Chassis Fan 1:980|Chassis Fan 2:1010", s, "|")
    for (i = 1; i <= n; i++) {
        split(s[i], c, ":")
        c[0] = sensor(sio, "fan" i, c[1])
        add("sensors", "hwkit_hwmon_fan_rpm", c[0], "f", c[2], 40)
        add("sensors", "hwkit_hwmon_fan_min_rpm", c[0], "c", 300)
        add("sensors", "hwkit_hwmon_fan_alarm", c[0], "c", 0)
        add("sensors", "hwkit_hwmon_fan_div", c[0], "c", 4)
        add("sensors", "hwkit_hwmon_fan_beep_enabled", c[0], "c", 0)
    }
    n = split("SYSTIN 33 80 90|CPUTIN 41 85 95|AUXTIN 30 80 90", s, "|")
    for (i = 1; i <= n; i++) {
        split(s[i], c, " ")
        c[0] = sensor(sio, "temp" i, c[1])
        add("sensors", "hwkit_hwmon_temp_celsius", c[0], "t", c[2], 2, 1)
        add("sensors", "hwkit_hwmon_temp_max_celsius", c[0], "c", c[3])
        add("sensors", "hwkit_hwmon_temp_crit_celsius", c[0], "c", c[4])
        add("sensors", "hwkit_hwmon_temp_alarm", c[0], "c", 0)
        add("sensors", "hwkit_hwmon_temp_crit_alarm_celsius", c[0], "c", 0)
    }
    c[0] = sensor(k10, "temp1", "Tctl")
    add("sensors", "hwkit_hwmon_temp_celsius", c[0], "t", 47, 4, 0.125)
    add("sensors", "hwkit_hwmon_temp_max_celsius", c[0], "c", 70)
    add("sensors", "hwkit_hwmon_temp_crit_celsius", c[0], "c", 95)
    add("sensors", "hwkit_hwmon_temp_celsius", sensor(k10, "temp3", "Tccd1"), "t", 44, 4, 0.25)
    add("sensors", "hwkit_hwmon_temp_celsius", sensor(k10, "temp4", "Tccd2"), "t", 43, 4, 0.25)
    c[0] = sensor(nv, "temp1", "Composite")
    add("sensors", "hwkit_hwmon_temp_celsius", c[0], "t", 38, 1, 1)
    add("sensors", "hwkit_hwmon_temp_min_celsius", c[0], "c", -20.15)
    add("sensors", "hwkit_hwmon_temp_max_celsius", c[0], "c", 81.85)
    add("sensors", "hwkit_hwmon_temp_crit_celsius", c[0], "c", 84.85)
    add("sensors", "hwkit_hwmon_temp_alarm", c[0], "c", 0)
    add("sensors", "hwkit_sensors_export_timestamp_seconds", "", "s", 2)
    add("sensors", "hwkit_sensors_export_config_errors", "", "c", 0)

    add("node", "node_textfile_scrape_error", "", "c", 0)
    add("node", "up", "", "c", 1)
}

function chip(id, name, sname) {
    add("sensors", "hwkit_hwmon_chip_names", ",chip=\"" id "\",chip_name=\"" name "\",sensors_name=\"" sname "\"", "c", 1)
    add("sensors", "hwkit_hwmon_read_errors", ",chip=\"" id "\"", "c", 0)
}

# The labels of a chip's sensor; publishes its label too.
function sensor(id, s, label,    l) {
    l = ",chip=\"" id "\",sensor=\"" s "\""
    add("sensors", "hwkit_hwmon_sensor_label", l ",label=\"" label "\"", "c", 1)
    return l
}

function key(name, labels) { return named[name, labels] }

# For appliance A and series K: gone[] (no samples in [from, to)) and
# held[] (the constant value over [from, to)).
function gone_part(a, part, from, to,    k) {
    for (k = 1; k <= ns; k++)
        if (part_of[k] == part) { gfrom[a, k] = from; gto[a, k] = to }
}
function hold(a, k, from, to, value) { hfrom[a, k] = from; hto[a, k] = to; hval[a, k] = value }

function faults(    a, sio, nvl, ts, k, d) {
    sio = ",chip=\"platform_nct6775_656\",sensor="
    nvl = ",chip=\"nvme_nvme0\",sensor=\"temp1\""
    for (a = 1; a <= N; a++) {
        # A supply that failed for two hours some time within the last five days.
        if (a % 50 == 7) {
            d = 3 * 3600 + (a * 3779) % (5 * 86400)
            hold(a, key("hwkit_psu_state", ",reader=\"get_x10drli_power_state\",supply=\"2\""), TEND - d, TEND - d + 7200, 8)
        }
        # ...and one that is failing now.
        if (a % 250 == 100)
            hold(a, key("hwkit_psu_state", ",reader=\"get_x10drli_power_state\",supply=\"2\""), TEND - 2700, TEND + 1, 2)
        if (a % 97 == 11) {
            hold(a, key("hwkit_hwmon_fan_rpm", sio "\"fan2\""), TEND - 10800, TEND + 1, 0)
            hold(a, key("hwkit_hwmon_fan_alarm", sio "\"fan2\""), TEND - 10800, TEND + 1, 1)
        }
        if (a % 89 == 5) {
            hold(a, key("hwkit_hwmon_temp_celsius", sio "\"temp2\""), TEND - 36000, TEND - 34800, 88)
            hold(a, key("hwkit_hwmon_temp_alarm", sio "\"temp2\""), TEND - 36000, TEND - 34800, 1)
        }
        if (a % 151 == 23) {
            hold(a, key("hwkit_psu_read_ok", ",reader=\"get_x10drli_power_state\""), TEND - 900, TEND + 1, 0)
            ts = int((TEND - 900) / STEP) * STEP - 3
            hold(a, key("hwkit_psu_read_timestamp_seconds", ",reader=\"get_x10drli_power_state\""), TEND - 900, TEND + 1, ts)
        }
        # The export timer stopped: the file stays, its time does not move.
        if (a % 127 == 9)
            hold(a, key("hwkit_sensors_export_timestamp_seconds", ""), TEND - 1200, TEND + 1, int((TEND - 1200) / STEP) * STEP - 2)
        if (a % 179 == 13) {
            hold(a, key("hwkit_hwmon_read_errors", ",chip=\"nvme_nvme0\""), 0, TEND + 1, 1)
            gfrom[a, key("hwkit_hwmon_temp_min_celsius", nvl)] = 0
            gto[a, key("hwkit_hwmon_temp_min_celsius", nvl)] = TEND + 1
        }
        if (a % 211 == 31) gone_part(a, "sensors", TEND - 7200, TEND + 1)
        # A rejected textfile takes every metric of the folder with it.
        if (a % 263 == 41) {
            gone_part(a, "sensors", TEND - 2400, TEND + 1)
            gone_part(a, "psu", TEND - 2400, TEND + 1)
            hold(a, key("node_textfile_scrape_error", ""), TEND - 2400, TEND + 1, 1)
        }
    }
}

# Daily swings and noise come from tables, the same for every slice.
function tables(    i) {
    day = int(86400 / STEP); if (day < 1) day = 1
    for (i = 0; i < day; i++) wave[i] = sin(2 * 3.14159265358979 * i / day)
    srand(1)
    for (i = 0; i < 4096; i++) { noise[i] = rand() - 0.5; tri[i] = int(rand() * 3) - 1 }
}

function series(a, k, pre, first, last, stride,    t, g0, g1, h0, h1, hv, m, x, y, z, base, wi, ni, p, v0, v1, v2, inc) {
    m = kd[k]; x = pa[k]; y = pb[k]; z = pc[k]
    inc = int(stride / STEP)
    wi = (int(first / STEP) + a * 619) % day
    ni = (int(first / STEP) + a * 131 + k * 17) % 4096
    base = x + (a * 7) % 5 - 2
    if (((a, k) in gfrom) || ((a, k) in hfrom)) {
        g0 = g1 = h0 = h1 = -1
        if ((a, k) in gfrom) { g0 = gfrom[a, k]; g1 = gto[a, k] }
        if ((a, k) in hfrom) { h0 = hfrom[a, k]; h1 = hto[a, k]; hv = hval[a, k] }
        for (t = first; t <= last; t += stride) {
            wi = (wi + inc) % day
            ni = (ni + inc) % 4096
            if (t >= g0 && t < g1) continue
            samples++
            if (t >= h0 && t < h1) print pre hv " " t
            else print pre value(m, x, y, z, base, wi, ni, t) " " t
        }
        return
    }
    if (m == "c") {
        p = pre x " "
        for (t = first; t <= last; t += stride) print p t
    } else if (m == "s") {
        for (t = first; t <= last; t += stride) print pre (t - x) " " t
    } else if (m == "t") {
        for (t = first; t <= last; t += stride) {
            wi = (wi + inc) % day
            ni = (ni + inc) % 4096
            print pre int((base + y * wave[wi] + noise[ni]) / z + 0.5) * z " " t
        }
    } else if (m == "v") {
        v0 = pre sprintf("%.3f ", x - y); v1 = pre sprintf("%.3f ", x); v2 = pre sprintf("%.3f ", x + y)
        for (t = first; t <= last; t += stride) {
            ni = (ni + inc) % 4096
            print (tri[ni] < 0 ? v0 : tri[ni] > 0 ? v2 : v1) t
        }
    } else {
        for (t = first; t <= last; t += stride) {
            ni = (ni + inc) % 4096
            print pre int(x + noise[ni] * y) " " t
        }
    }
    samples += int((last - first) / stride) + 1
}

function value(m, x, y, z, base, wi, ni, t) {
    if (m == "c") return x
    if (m == "s") return t - x
    if (m == "t") return int((base + y * wave[wi] + noise[ni]) / z + 0.5) * z
    if (m == "v") return sprintf("%.3f", x + tri[ni] * y)
    return int(x + noise[ni] * y)
}
