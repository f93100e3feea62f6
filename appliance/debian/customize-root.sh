#!/bin/sh
# Sets up the Debian appliance's root (mmdebstrap's customize hook, on this
# machine, ROOT the new root) for the checks:
# - apt's only source is the kit's local repository on the checks disk, so
#   that nothing in the guest looks for a server;
# - the checks disk (label hwkit-checks) is mounted on /srv/hwkit and
#   hwkit-appliance-checks.service runs its run-checks once the system is up,
#   its output on the console (no getty there);
# - ipmi_si is loaded only when a check asks for it: the BMC appears late;
# - nothing runs on its own that would take apt's lock (apt's daily timers);
# - the network interface has QEMU's guest address, 10.0.2.15, so that the
#   host reaches the node exporter through the one forwarded port.
# usage: customize-root.sh ROOT
set -eu
root=$1

rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
cat >"$root/etc/apt/sources.list.d/hwkit.list" <<'END'
deb [trusted=yes] file:/srv/hwkit/repo/first ./
END

echo appliance >"$root/etc/hostname"
# A fixed machine ID: no first-boot setup at each boot.
echo 5a1e0f3c2b7d4e8a9c6b1d2e3f405162 >"$root/etc/machine-id"
cat >"$root/etc/fstab" <<'END'
LABEL=hwkit-root   /           ext4  rw,errors=remount-ro  0 1
LABEL=hwkit-checks /srv/hwkit  ext4  ro                    0 2
END
mkdir -p "$root/srv/hwkit"
cat >"$root/etc/modprobe.d/hwkit-appliance.conf" <<'END'
# The checks load the BMC's interface driver themselves, after the watch.
blacklist ipmi_si
END

cat >"$root/etc/systemd/system/hwkit-appliance-checks.service" <<'END'
[Unit]
Description=The virtual appliance's checks
After=multi-user.target
RequiresMountsFor=/srv/hwkit

[Service]
Type=exec
ExecStart=/srv/hwkit/run-checks

[Install]
WantedBy=multi-user.target
END
cat >"$root/etc/systemd/network/10-appliance.network" <<'END'
[Match]
Type=ether

[Network]
Address=10.0.2.15/24
END
chroot "$root" systemctl enable -q hwkit-appliance-checks.service systemd-networkd.service
for unit in serial-getty@ttyS0.service getty@tty1.service apt-daily.timer apt-daily-upgrade.timer; do
    ln -sf /dev/null "$root/etc/systemd/system/$unit"
done
