#include "sensors/export/hwmon_metrics.h"

#include <cstring>
#include <sensors/sensors.h>

#define GAUGE(type, name, help) {SENSORS_SUBFEATURE_##type, "hwkit_hwmon_" name, help, false, AS_READ}

const hwmon_metric HWMON_METRICS[] = {
    GAUGE(TEMP_INPUT, "temp_celsius", "Temperature, in degrees Celsius."),
    GAUGE(TEMP_MAX, "temp_max_celsius", "Temperature limit max, in degrees Celsius."),
    GAUGE(TEMP_MAX_HYST, "temp_max_hyst_celsius", "Temperature hysteresis max_hyst, in degrees Celsius."),
    GAUGE(TEMP_MIN, "temp_min_celsius", "Temperature limit min, in degrees Celsius."),
    GAUGE(TEMP_MIN_HYST, "temp_min_hyst_celsius", "Temperature hysteresis min_hyst, in degrees Celsius."),
    GAUGE(TEMP_CRIT, "temp_crit_celsius", "Temperature limit crit, in degrees Celsius."),
    GAUGE(TEMP_CRIT_HYST, "temp_crit_hyst_celsius", "Temperature hysteresis crit_hyst, in degrees Celsius."),
    GAUGE(TEMP_LCRIT, "temp_lcrit_celsius", "Temperature limit lcrit, in degrees Celsius."),
    GAUGE(TEMP_LCRIT_HYST, "temp_lcrit_hyst_celsius", "Temperature hysteresis lcrit_hyst, in degrees Celsius."),
    GAUGE(TEMP_EMERGENCY, "temp_emergency_celsius", "Temperature limit emergency, in degrees Celsius."),
    GAUGE(TEMP_EMERGENCY_HYST, "temp_emergency_hyst_celsius",
          "Temperature hysteresis emergency_hyst, in degrees Celsius."),
    GAUGE(TEMP_LOWEST, "temp_lowest_celsius", "Lowest temperature seen, in degrees Celsius."),
    GAUGE(TEMP_HIGHEST, "temp_highest_celsius", "Highest temperature seen, in degrees Celsius."),
    GAUGE(TEMP_OFFSET, "temp_offset_celsius", "Temperature offset, in degrees Celsius."),
    GAUGE(TEMP_ALARM, "temp_alarm", "Temperature alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_MAX_ALARM, "temp_max_alarm_celsius", "Temperature max alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_MIN_ALARM, "temp_min_alarm_celsius", "Temperature min alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_CRIT_ALARM, "temp_crit_alarm_celsius", "Temperature crit alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_LCRIT_ALARM, "temp_lcrit_alarm_celsius", "Temperature lcrit alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_EMERGENCY_ALARM, "temp_emergency_alarm_celsius",
          "Temperature emergency alarm flag: 1 raised, 0 clear."),
    GAUGE(TEMP_FAULT, "temp_fault", "Temperature sensor fault flag: 1 raised, 0 clear."),
    GAUGE(TEMP_TYPE, "temp_type", "Temperature sensor type, as the driver numbers it."),
    GAUGE(TEMP_BEEP, "temp_beep_enabled", "Temperature beep enable: 1 on, 0 off."),

    GAUGE(IN_INPUT, "in_volts", "Voltage, in volts."),
    GAUGE(IN_MIN, "in_min_volts", "Voltage limit min, in volts."),
    GAUGE(IN_MAX, "in_max_volts", "Voltage limit max, in volts."),
    GAUGE(IN_LCRIT, "in_lcrit_volts", "Voltage limit lcrit, in volts."),
    GAUGE(IN_CRIT, "in_crit_volts", "Voltage limit crit, in volts."),
    GAUGE(IN_AVERAGE, "in_average_volts", "Average voltage, in volts."),
    GAUGE(IN_LOWEST, "in_lowest_volts", "Lowest voltage seen, in volts."),
    GAUGE(IN_HIGHEST, "in_highest_volts", "Highest voltage seen, in volts."),
    GAUGE(IN_ALARM, "in_alarm", "Voltage alarm flag: 1 raised, 0 clear."),
    GAUGE(IN_MIN_ALARM, "in_min_alarm_volts", "Voltage min alarm flag: 1 raised, 0 clear."),
    GAUGE(IN_MAX_ALARM, "in_max_alarm_volts", "Voltage max alarm flag: 1 raised, 0 clear."),
    GAUGE(IN_LCRIT_ALARM, "in_lcrit_alarm_volts", "Voltage lcrit alarm flag: 1 raised, 0 clear."),
    GAUGE(IN_CRIT_ALARM, "in_crit_alarm_volts", "Voltage crit alarm flag: 1 raised, 0 clear."),
    GAUGE(IN_BEEP, "in_beep_enabled", "Voltage beep enable: 1 on, 0 off."),

    GAUGE(CURR_INPUT, "curr_amps", "Current, in amperes."),
    GAUGE(CURR_MIN, "curr_min_amps", "Current limit min, in amperes."),
    GAUGE(CURR_MAX, "curr_max_amps", "Current limit max, in amperes."),
    GAUGE(CURR_LCRIT, "curr_lcrit_amps", "Current limit lcrit, in amperes."),
    GAUGE(CURR_CRIT, "curr_crit_amps", "Current limit crit, in amperes."),
    GAUGE(CURR_AVERAGE, "curr_average_amps", "Average current, in amperes."),
    GAUGE(CURR_LOWEST, "curr_lowest_amps", "Lowest current seen, in amperes."),
    GAUGE(CURR_HIGHEST, "curr_highest_amps", "Highest current seen, in amperes."),
    GAUGE(CURR_ALARM, "curr_alarm", "Current alarm flag: 1 raised, 0 clear."),
    GAUGE(CURR_MIN_ALARM, "curr_min_alarm_amps", "Current min alarm flag: 1 raised, 0 clear."),
    GAUGE(CURR_MAX_ALARM, "curr_max_alarm_amps", "Current max alarm flag: 1 raised, 0 clear."),
    GAUGE(CURR_LCRIT_ALARM, "curr_lcrit_alarm_amps", "Current lcrit alarm flag: 1 raised, 0 clear."),
    GAUGE(CURR_CRIT_ALARM, "curr_crit_alarm_amps", "Current crit alarm flag: 1 raised, 0 clear."),
    GAUGE(CURR_BEEP, "curr_beep_enabled", "Current beep enable: 1 on, 0 off."),

    GAUGE(POWER_INPUT, "power_watt", "Power, in watts."),
    GAUGE(POWER_INPUT_HIGHEST, "power_input_highest_watt", "Highest power seen, in watts."),
    GAUGE(POWER_INPUT_LOWEST, "power_input_lowest_watt", "Lowest power seen, in watts."),
    GAUGE(POWER_AVERAGE, "power_average_watt", "Average power, in watts."),
    GAUGE(POWER_AVERAGE_HIGHEST, "power_average_highest_watt", "Highest average power seen, in watts."),
    GAUGE(POWER_AVERAGE_LOWEST, "power_average_lowest_watt", "Lowest average power seen, in watts."),
    GAUGE(POWER_AVERAGE_INTERVAL, "power_average_interval_seconds", "Power averaging interval, in seconds."),
    GAUGE(POWER_CAP, "power_cap_watt", "Power cap, in watts."),
    GAUGE(POWER_CAP_HYST, "power_cap_hyst_watt", "Power cap hysteresis, in watts."),
    GAUGE(POWER_MAX, "power_max_watt", "Power limit max, in watts."),
    GAUGE(POWER_CRIT, "power_crit_watt", "Power limit crit, in watts."),
    GAUGE(POWER_MIN, "power_min_watt", "Power limit min, in watts."),
    GAUGE(POWER_LCRIT, "power_lcrit_watt", "Power limit lcrit, in watts."),
    GAUGE(POWER_ALARM, "power_alarm", "Power alarm flag: 1 raised, 0 clear."),
    GAUGE(POWER_CAP_ALARM, "power_cap_alarm_watt", "Power cap alarm flag: 1 raised, 0 clear."),
    GAUGE(POWER_MAX_ALARM, "power_max_alarm_watt", "Power max alarm flag: 1 raised, 0 clear."),
    GAUGE(POWER_CRIT_ALARM, "power_crit_alarm_watt", "Power crit alarm flag: 1 raised, 0 clear."),
    GAUGE(POWER_MIN_ALARM, "power_min_alarm_watt", "Power min alarm flag: 1 raised, 0 clear."),
    GAUGE(POWER_LCRIT_ALARM, "power_lcrit_alarm_watt", "Power lcrit alarm flag: 1 raised, 0 clear."),

    GAUGE(FAN_INPUT, "fan_rpm", "Fan speed, in revolutions per minute."),
    GAUGE(FAN_MIN, "fan_min_rpm", "Fan speed limit min, in revolutions per minute."),
    GAUGE(FAN_MAX, "fan_max_rpm", "Fan speed limit max, in revolutions per minute."),
    GAUGE(FAN_ALARM, "fan_alarm", "Fan alarm flag: 1 raised, 0 clear."),
    GAUGE(FAN_MIN_ALARM, "fan_min_alarm", "Fan min alarm flag: 1 raised, 0 clear."),
    GAUGE(FAN_MAX_ALARM, "fan_max_alarm", "Fan max alarm flag: 1 raised, 0 clear."),
    GAUGE(FAN_FAULT, "fan_fault", "Fan fault flag: 1 raised, 0 clear."),
    GAUGE(FAN_DIV, "fan_div", "Fan divisor."),
    GAUGE(FAN_PULSES, "fan_pulses", "Fan pulses per revolution."),
    GAUGE(FAN_BEEP, "fan_beep_enabled", "Fan beep enable: 1 on, 0 off."),

    {SENSORS_SUBFEATURE_ENERGY_INPUT, "hwkit_hwmon_energy_joule_total", "Energy used, in joules.", true, AS_READ},
    {SENSORS_SUBFEATURE_HUMIDITY_INPUT, "hwkit_hwmon_humidity", "Relative humidity, as a ratio (0.455 for 45.5 %).",
     false, PERCENT_AS_RATIO},
    GAUGE(VID, "cpu_vid_volts", "CPU core voltage ID, in volts."),
    GAUGE(INTRUSION_ALARM, "intrusion_alarm", "Chassis intrusion flag: 1 raised, 0 clear."),
    GAUGE(INTRUSION_BEEP, "intrusion_beep_enabled", "Chassis intrusion beep enable: 1 on, 0 off."),
    GAUGE(BEEP_ENABLE, "beep_enabled", "Chip beep enable: 1 on, 0 off."),
};

const size_t HWMON_METRIC_COUNT = sizeof HWMON_METRICS / sizeof HWMON_METRICS[0];
static_assert(sizeof HWMON_METRICS / sizeof HWMON_METRICS[0] < HWMON_METRIC_LIMIT, "indexes fit a signed char");

// Subfeature types are the feature type shifted by 8 with a number below
// 256: one row of indexes per feature type, made at the first look-up.
static const int FEATURE_TYPES = SENSORS_FEATURE_BEEP_ENABLE + 1;
static signed char metric_index[FEATURE_TYPES][256];

int hwmon_metric_of(int subfeature_type)
{
    static bool made;
    if (!made) {
        memset(metric_index, -1, sizeof metric_index);
        for (size_t i = 0; i < HWMON_METRIC_COUNT; i++) {
            int type = HWMON_METRICS[i].subfeature_type;
            metric_index[type >> 8][type & 0xFF] = (signed char)i;
        }
        made = true;
    }
    if (subfeature_type < 0 || (subfeature_type >> 8) >= FEATURE_TYPES)
        return -1;
    return metric_index[subfeature_type >> 8][subfeature_type & 0xFF];
}

size_t hwmon_sensor_name(const char *feature_name, char *sensor, size_t size)
{
    size_t letters = strcspn(feature_name, "0123456789");
    size_t digits = strspn(feature_name + letters, "0123456789");
    size_t n = letters + digits < size - 2 ? letters + digits : size - 2;
    memcpy(sensor, feature_name, n);
    if (!digits)
        sensor[n++] = '0';
    sensor[n] = '\0';
    return n;
}
