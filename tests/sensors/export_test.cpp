// sensors-export over fixture appliances, on the real libsensors in a
// private mount namespace: every value in both formats is the one libsensors
// returns (sensors -u on the same tree says which), with the configuration's
// labels, computations and ignored features; failed reads are errors, never
// numbers; texts no format takes as they are come out escaped, alike in
// both; and -o replaces its file whole or leaves it alone.
#include "run_program.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <tuple>

namespace {

using json = nlohmann::ordered_json;

const std::string fixtures = SENSORS_FIXTURES;
const std::string config = fixtures + "/export.conf";

run_result run_in_fixture(const std::string &program, const std::vector<std::string> &args,
                          const std::string &fixture = "export.hw")
{
    run_request r;
    r.program = "/bin/sh";
    r.env = {"LC_ALL=C.UTF-8"};
    r.args = {SENSORS_FIXTURE_RUN, fixtures + "/" + fixture, fixtures + "/empty.conf", program};
    r.args.insert(r.args.end(), args.begin(), args.end());
    return run_program(r);
}

struct sample {
    std::string name;
    std::map<std::string, std::string> labels;
    double value;
};

// The samples of a text in the exposition format, each metric's lines
// together after its one TYPE line; a failure for any line that is not so.
std::vector<sample> parse_prometheus(const std::string &text)
{
    std::vector<sample> samples;
    std::set<std::string> typed;
    std::string metric;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# HELP ", 0) == 0)
            continue;
        if (line.rfind("# TYPE ", 0) == 0) {
            std::istringstream words(line.substr(7));
            std::string type;
            words >> metric >> type;
            EXPECT_EQ(type, "gauge") << line;
            EXPECT_TRUE(typed.insert(metric).second) << "a second TYPE line: " << line;
            continue;
        }
        sample s;
        size_t p = line.find_first_of("{ ");
        s.name = line.substr(0, p);
        EXPECT_EQ(s.name, metric) << "apart from its metric's lines: " << line;
        bool good = p != std::string::npos;
        if (good && line[p] == '{') {
            for (p++; good && p < line.size() && line[p] != '}';) {
                size_t eq = line.find("=\"", p);
                good = eq != std::string::npos;
                if (!good)
                    break;
                std::string key = line.substr(p, eq - p), value;
                for (p = eq + 2; p < line.size() && line[p] != '"'; p++) {
                    if (line[p] != '\\') {
                        value += line[p];
                        continue;
                    }
                    char c = ++p < line.size() ? line[p] : '\0';
                    good = good && (c == '\\' || c == '"' || c == 'n');
                    value += c == 'n' ? '\n' : c;
                }
                good = good && p < line.size() && s.labels.emplace(key, value).second;
                p++;
                if (p < line.size() && line[p] == ',')
                    p++;
            }
            p++;
        }
        char *end = nullptr;
        if (good && p < line.size() && line[p] == ' ')
            s.value = strtod(line.c_str() + p + 1, &end);
        if (!good || !end || *end || end == line.c_str() + p + 1) {
            ADD_FAILURE() << "not a sample: " << line;
            continue;
        }
        samples.push_back(s);
    }
    return samples;
}

// sensors -u: the chips, each with its subfeatures' names and values as printed.
struct raw_chip {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
};

std::vector<raw_chip> parse_raw(const std::string &out)
{
    std::vector<raw_chip> chips;
    bool chip_line = true;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) {
            chip_line = true;
        } else if (chip_line) {
            chips.push_back({line, {}});
            chip_line = false;
        } else if (line.rfind("  ", 0) == 0) {
            size_t colon = line.find(": ");
            chips.back().values.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
        }
    }
    return chips;
}

// sensors' error lines, as "SUBFEATURE: TEXT".
std::vector<std::string> raw_errors(const std::string &err)
{
    static const std::string prefix = "ERROR: Can't get value of subfeature ";
    std::vector<std::string> errors;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            errors.push_back(line.substr(prefix.size()));
    return errors;
}

std::string printed(double value)
{
    char text[64];
    snprintf(text, sizeof text, "%.3f", value);
    return text;
}

bool same_double(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

// The subfeature's name without its feature's, as the kind label has it.
std::string kind_of(const std::string &feature, const std::string &subfeature)
{
    return subfeature.rfind(feature + "_", 0) == 0 ? subfeature.substr(feature.size() + 1) : "input";
}

// The three runs over export.hw with export.conf, made once for the suite.
class SensorsExport : public testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        if (!host_lacks("mount-namespace").empty())
            return;
        raw = new run_result(run_in_fixture(SENSORS_PROGRAM, {"-u", "-c", config}));
        before = time(nullptr);
        json_run = new run_result(run_in_fixture(SENSORS_EXPORT, {"-c", config}));
        prometheus_run = new run_result(run_in_fixture(SENSORS_EXPORT, {"--prometheus", "-c", config}));
        after = time(nullptr);
    }
    static void TearDownTestSuite()
    {
        delete raw;
        delete json_run;
        delete prometheus_run;
    }
    void SetUp() override
    {
        if (std::string why = host_lacks("mount-namespace"); !why.empty())
            GTEST_SKIP() << why;
        ASSERT_EQ(json_run->status, 0) << json_run->err;
        ASSERT_EQ(prometheus_run->status, 0) << prometheus_run->err;
        EXPECT_EQ(json_run->err, "");
        EXPECT_EQ(prometheus_run->err, "");
        ASSERT_NO_THROW(doc = json::parse(json_run->out));
        samples = parse_prometheus(prometheus_run->out);
    }

    const json &feature(const std::string &chip, const std::string &name)
    {
        for (const json &c : doc["chips"])
            if (c["name"] == chip)
                for (const json &f : c["features"])
                    if (f["name"] == name)
                        return f;
        static const json none;
        ADD_FAILURE() << "no feature " << name << " of " << chip;
        return none;
    }

    // The samples of a chip's feature, by kind.
    std::map<std::string, sample> series(const std::string &chip, const std::string &feature)
    {
        std::map<std::string, sample> found;
        for (const sample &s : samples) {
            if (s.labels.count("kind") && s.labels.at("chip") == chip && s.labels.at("feature") == feature) {
                EXPECT_TRUE(found.emplace(s.labels.at("kind"), s).second) << "twice: " << s.name;
            }
        }
        return found;
    }

    static run_result *raw, *json_run, *prometheus_run;
    static time_t before, after;
    json doc;
    std::vector<sample> samples;
};

run_result *SensorsExport::raw, *SensorsExport::json_run, *SensorsExport::prometheus_run;
time_t SensorsExport::before, SensorsExport::after;

TEST_F(SensorsExport, ValuesAreTheLibrarysInBothFormats)
{
    std::map<std::tuple<std::string, std::string, std::string>, const sample *> readings;
    std::map<std::string, double> read_errors;
    for (const sample &s : samples) {
        if (s.name == "hwkit_sensors_read_errors") {
            read_errors[s.labels.at("chip")] = s.value;
        } else if (s.name != "hwkit_sensors_export_timestamp_seconds") {
            auto key = std::tuple(s.labels.at("chip"), s.labels.at("feature"), s.labels.at("kind"));
            EXPECT_TRUE(readings.emplace(key, &s).second) << "one reading twice: " << s.name;
        }
    }

    std::vector<raw_chip> raw_chips = parse_raw(raw->out);
    ASSERT_EQ(doc["chips"].size(), raw_chips.size());
    std::vector<std::string> errors;
    std::map<std::string, int> names;
    size_t values = 0;
    for (size_t i = 0; i < raw_chips.size(); i++) {
        const json &chip = doc["chips"][i];
        std::string name = chip["name"];
        EXPECT_EQ(name, raw_chips[i].name);
        std::string chip_label = name;
        if (int n = ++names[name]; n > 1)
            chip_label += "#" + std::to_string(n);
        std::vector<std::pair<std::string, std::string>> shown;
        int chip_errors = 0;
        for (const json &f : chip["features"]) {
            std::string feature = f["name"];
            for (const auto &[subfeature, value] : f["values"].items()) {
                auto found = readings.find(std::tuple(chip_label, feature, kind_of(feature, subfeature)));
                if (found == readings.end()) {
                    ADD_FAILURE() << "no sample of " << name << " " << subfeature;
                    continue;
                }
                const sample &s = *found->second;
                EXPECT_EQ(s.labels.at("label"), f["label"]) << subfeature;
                if (value.is_null()) {
                    EXPECT_FALSE(std::isfinite(s.value)) << subfeature;
                } else {
                    EXPECT_TRUE(value.is_number()) << subfeature;
                    EXPECT_TRUE(same_double(s.value, value.get<double>())) << subfeature << ": " << s.value;
                }
                shown.emplace_back(subfeature, printed(s.value));
                values++;
            }
            for (const auto &[subfeature, text] : f["errors"].items()) {
                errors.push_back(subfeature + ": " + text.get<std::string>());
                EXPECT_EQ(readings.count(std::tuple(chip_label, feature, kind_of(feature, subfeature))), 0u);
                chip_errors++;
            }
        }
        EXPECT_EQ(shown, raw_chips[i].values) << name;
        EXPECT_EQ(read_errors[chip_label], chip_errors) << name;
    }
    EXPECT_EQ(errors, raw_errors(raw->err));
    EXPECT_EQ(readings.size(), values) << "samples that the JSON does not have";
    EXPECT_EQ(read_errors.size(), raw_chips.size());

    const sample &last = samples.back();
    EXPECT_EQ(last.name, "hwkit_sensors_export_timestamp_seconds");
    EXPECT_GE(last.value, before);
    EXPECT_LE(last.value, after);
}

TEST_F(SensorsExport, TheConfigurationApplies)
{
    // A label and a computation from it, a label of the driver's.
    const json &in0 = feature("nct6775-isa-0290", "in0");
    EXPECT_EQ(in0["label"], "+12V");
    EXPECT_NEAR(in0["values"]["in0_input"].get<double>(), 1.9 * 6.3684, 1e-9);
    EXPECT_EQ(feature("nct6775-isa-0290", "in1")["label"], "3VCC");
    EXPECT_EQ(series("nct6775-isa-0290", "in1").at("input").labels.at("label"), "3VCC");
    // The ignored input is nowhere.
    for (const json &f : doc["chips"][0]["features"])
        EXPECT_NE(f["name"], "in2");
    EXPECT_TRUE(series("nct6775-isa-0290", "in2").empty());
    // The set statement is not executed: the limit is the fixture's.
    EXPECT_EQ(feature("nct6775-isa-0290", "temp1")["values"]["temp1_max"], 80.0);
}

TEST_F(SensorsExport, FailedReadsAreErrorsNeverNumbers)
{
    const json &in3 = feature("nct6775-isa-0290", "in3");
    EXPECT_EQ(in3["errors"], json({{"in3_max", "Can't read"}}));
    EXPECT_FALSE(in3["values"].contains("in3_max"));
    const json &temp1 = feature("nct6775-isa-0290", "temp1");
    EXPECT_EQ(temp1["errors"], json({{"temp1_crit", "I/O error"}}));
    EXPECT_FALSE(temp1["values"].contains("temp1_crit"));
    EXPECT_EQ(series("nct6775-isa-0290", "in3").count("max"), 0u);
    EXPECT_EQ(series("nct6775-isa-0290", "temp1").count("crit"), 0u);
    // Write-only is no failure: left out of both.
    const json &temp2 = feature("nct6775-isa-0290", "temp2");
    EXPECT_FALSE(temp2["values"].contains("temp2_max"));
    EXPECT_FALSE(temp2["errors"].contains("temp2_max"));
    EXPECT_EQ(series("nct6775-isa-0290", "temp2").count("max"), 0u);
    // A value that is no number stays out of JSON's numbers.
    EXPECT_TRUE(feature("nct6775-isa-0290", "in4")["values"]["in4_input"].is_null());
}

TEST_F(SensorsExport, EachReadingInItsClassMetric)
{
    auto metric = [&](const std::string &chip, const std::string &feature, const std::string &kind) {
        auto s = series(chip, feature);
        return s.count(kind) ? s.at(kind).name + " " + printed(s.at(kind).value) : "none";
    };
    const std::string nct = "nct6775-isa-0290", ina = "ina226-i2c-1-40";
    EXPECT_EQ(metric(nct, "in0", "input"), "hwkit_sensor_voltage_volts 12.100");
    EXPECT_EQ(metric(nct, "cpu0_vid", "input"), "hwkit_sensor_voltage_volts 1.250");
    EXPECT_EQ(metric(nct, "fan1", "min"), "hwkit_sensor_fan_rpm 600.000");
    EXPECT_EQ(metric(nct, "temp1", "max_hyst"), "hwkit_sensor_temperature_celsius 75.000");
    EXPECT_EQ(metric(ina, "power1", "input"), "hwkit_sensor_power_watts 12.500");
    EXPECT_EQ(metric(ina, "energy1", "input"), "hwkit_sensor_energy_joules 1234.568");
    EXPECT_EQ(metric(ina, "curr1", "max"), "hwkit_sensor_current_amperes 5.000");
    EXPECT_EQ(metric(ina, "humidity1", "input"), "hwkit_sensor_humidity_percent 45.500");
    // Alarms and faults are flags, whatever their feature's class.
    EXPECT_EQ(metric(nct, "temp1", "alarm"), "hwkit_sensor_alarm 1.000");
    EXPECT_EQ(metric(nct, "fan2", "fault"), "hwkit_sensor_alarm 1.000");
    EXPECT_EQ(metric(nct, "intrusion0", "alarm"), "hwkit_sensor_alarm 1.000");
    EXPECT_EQ(metric(ina, "curr1", "max_alarm"), "hwkit_sensor_alarm 0.000");
    // Values without their class's unit are no reading in it.
    EXPECT_EQ(metric(nct, "fan1", "div"), "hwkit_sensor_setting 4.000");
    EXPECT_EQ(metric(nct, "temp1", "type"), "hwkit_sensor_setting 4.000");
    EXPECT_EQ(metric(nct, "in0", "beep"), "hwkit_sensor_setting 1.000");
    EXPECT_EQ(metric(ina, "power1", "average_interval"), "hwkit_sensor_setting 1.000");
}

TEST_F(SensorsExport, HostileTextsEscapedAlikeInBothFormats)
{
    // The exposition format escapes backslash, quote and line feed only;
    // bytes that are no UTF-8 become U+FFFD, one for each maximal ill-formed
    // run, as the JSON writer replaces them.
    const std::string text = prometheus_run->out;
    for (const char *line : {
             "hwkit_sensor_temperature_celsius{chip=\"nct6775-isa-0290\",feature=\"temp1\","
             "label=\"CPU \\\"core\\\" \\\\ die\\nzone\",kind=\"input\"} 42.5\n",
             "hwkit_sensor_temperature_celsius{chip=\"lm75-i2c-1-48\",feature=\"temp1\","
             "label=\"Say \\\"hi\\\" \\\\ C:\\\\x\\nnext\",kind=\"input\"} 31\n",
             "hwkit_sensor_temperature_celsius{chip=\"lm75-i2c-1-48\",feature=\"temp2\","
             "label=\"\033[31m\tGeh\xC3\xA4use\xEF\xBF\xBD|\xEF\xBF\xBD" "A|\xEF\xBF\xBD\xEF\xBF\xBD|"
             "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD\",kind=\"input\"} 32\n",
             "hwkit_sensor_temperature_celsius{chip=\"evil\\\"x\\\"\\\\y-i2c-1-49\",feature=\"temp1\","
             "label=\"temp1\",kind=\"input\"} 33\n",
             "hwkit_sensor_temperature_celsius{chip=\"acpitz-acpi-0\",feature=\"temp1\",label=\"temp1\","
             "kind=\"input\"} 27.8\n",
             "hwkit_sensor_temperature_celsius{chip=\"acpitz-acpi-0#2\",feature=\"temp1\",label=\"temp1\","
             "kind=\"input\"} 29.8\n",
             "hwkit_sensors_read_errors{chip=\"evil\\\"x\\\"\\\\y-i2c-1-49\"} 0\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line;

    // JSON holds the same texts, every control character escaped.
    EXPECT_EQ(feature("nct6775-isa-0290", "temp1")["label"], "CPU \"core\" \\ die\nzone");
    EXPECT_EQ(feature("lm75-i2c-1-48", "temp1")["label"], "Say \"hi\" \\ C:\\x\nnext");
    EXPECT_EQ(feature("lm75-i2c-1-48", "temp2")["label"], series("lm75-i2c-1-48", "temp2").at("input").labels.at("label"));
    EXPECT_EQ(doc["chips"][3]["name"], "evil\"x\"\\y-i2c-1-49");
    for (char c : json_run->out)
        EXPECT_TRUE((unsigned char)c >= 0x20 || c == '\n') << "a raw control byte " << (int)c;
}

// Each run in the fixture, with -o naming a file that holds an earlier
// export; the folder must hold that file alone afterwards.
class SensorsExportFile : public testing::Test {
  protected:
    void SetUp() override
    {
        if (std::string why = host_lacks("mount-namespace"); !why.empty())
            GTEST_SKIP() << why;
        char dir[] = "/tmp/hwkit-export-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        folder = dir;
        file = folder + "/sensors.prom";
        std::ofstream(file) << "earlier\n";
    }
    void TearDown() override
    {
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }

    std::string contents()
    {
        std::ifstream f(file);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    std::vector<std::string> files()
    {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename());
        return names;
    }

    std::string folder, file;
};

TEST_F(SensorsExportFile, LeftAloneOnEveryFailure)
{
    struct {
        std::vector<std::string> args;
        std::string err;
    } failures[] = {
        {{"--prometheus", "-o", file, "-c", config, "nct6775-*", "lm90-*"}, "sensors-export: No sensor matches `lm90-*'\n"},
        {{"-o", file, "-c", config, "lm75-i2c-x-48"}, "sensors-export: Parse error in chip name `lm75-i2c-x-48'\n"},
        {{"-o", file, "-c", folder + "/missing.conf"},
         "Could not open config file\n" + folder + "/missing.conf: No such file or directory\n"},
        {{"-o", file, "--bogus"},
         "sensors-export: unrecognized option '--bogus'\nTry `sensors-export --help' for more information\n"},
        {{"-o", folder + "/missing/sensors.prom", "-c", config},
         "sensors-export: " + folder + "/missing/sensors.prom: No such file or directory\n"},
        {{"-o", folder, "-c", config}, "sensors-export: " + folder + ": Is a directory\n"},
    };
    for (const auto &f : failures) {
        run_result r = run_in_fixture(SENSORS_EXPORT, f.args);
        EXPECT_EQ(r.status, 1) << f.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, f.err);
        EXPECT_EQ(contents(), "earlier\n");
        EXPECT_EQ(files(), std::vector<std::string>{"sensors.prom"});
    }
}

TEST_F(SensorsExportFile, ReplacedWholeAndReadableByTheCollector)
{
    umask(022);
    run_result to_file = run_in_fixture(SENSORS_EXPORT, {"-o", file, "-c", config});
    run_result to_output = run_in_fixture(SENSORS_EXPORT, {"-c", config});
    EXPECT_EQ(to_file.status, 0) << to_file.err;
    EXPECT_EQ(to_file.out, "");
    EXPECT_EQ(contents(), to_output.out);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(files(), std::vector<std::string>{"sensors.prom"});
}

// The library's own lines about a configuration it rejects, as sensors shows them.
TEST(SensorsExportConfiguration, RejectedAsSensorsRejectsIt)
{
    if (std::string why = host_lacks("mount-namespace"); !why.empty())
        GTEST_SKIP() << why;
    std::vector<std::string> args = {"-c", fixtures + "/broken.conf"};
    run_result sensors = run_in_fixture(SENSORS_PROGRAM, args, "board.hw");
    run_result exported = run_in_fixture(SENSORS_EXPORT, args, "board.hw");
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(exported.out, "");
    EXPECT_EQ(exported.err, sensors.err);
    EXPECT_EQ(exported.err, "Error: Line 3: Invalid keyword\nsensors_init: General parse error\n");
}

} // namespace
