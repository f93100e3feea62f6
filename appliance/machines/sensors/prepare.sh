# Puts the three chips of the SMBus stub in the state the checks expect, binds
# their drivers and waits until every chip, the NVMe drive's too, has its
# hwmon device.
here=$(cd "$(dirname "$0")" && pwd)

bus=
for adapter in /sys/class/i2c-adapter/*; do
    [ "$(cat "$adapter/name")" = "SMBus stub driver" ] && bus=${adapter##*/}
done
[ -n "$bus" ] || { echo "no SMBus stub adapter"; exit 1; }

# The registers first: a driver reads some of them once, when it binds.
for chip in lm90:0x4c lm75:0x48 lm85:0x2e; do
    name=${chip%:*}
    address=${chip#*:}
    appliance-i2c-load "/dev/$bus" "$address" "$here/$name.regs" || exit 1
    echo "$name $address" >"/sys/class/i2c-adapter/$bus/new_device" || exit 1
done

hwmon_of() {
    for name in /sys/class/hwmon/*/name; do
        [ "$(cat "$name")" = "$1" ] && { dirname "$name"; return 0; }
    done
    return 1
}

tries=0
until hwmon_of nvme >/dev/null && hwmon_of lm90 >/dev/null && hwmon_of lm75 >/dev/null && hwmon_of lm85 >/dev/null; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "hwmon devices missing:"; cat /sys/class/hwmon/*/name; exit 1; }
    sleep 0.1
done

# The VID's meaning depends on the voltage regulator standard, which the
# driver otherwise guesses from the guest's CPU model.
echo 90 >"$(hwmon_of lm85)/vrm"
