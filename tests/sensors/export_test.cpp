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
            EXPECT_TRUE(type == "gauge" || type == "counter") << line;
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

// The sensor label of a feature's samples: its letters and number ("0"
// where it has none).
std::string sensor_of(const std::string &feature)
{
    size_t letters = feature.find_first_of("0123456789");
    if (letters == std::string::npos)
        return feature + "0";
    return feature.substr(0, feature.find_first_not_of("0123456789", letters));
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

    // The samples of a chip's sensor, by metric.
    std::map<std::string, double> series(const std::string &chip, const std::string &sensor)
    {
        std::map<std::string, double> found;
        for (const sample &s : samples) {
            if (s.labels.size() == 2 && s.labels.at("chip") == chip && s.labels.at("sensor") == sensor) {
                EXPECT_TRUE(found.emplace(s.name, s.value).second) << "twice: " << s.name;
            }
        }
        return found;
    }

    std::string find_label(const std::string &chip, const std::string &sensor)
    {
        for (const sample &s : samples)
            if (s.name == "hwkit_hwmon_sensor_label" && s.labels.at("chip") == chip && s.labels.at("sensor") == sensor)
                return s.labels.at("label");
        return "none";
    }

    // The one sample of a metric with the given labels.
    const sample *find(const std::string &name, const std::map<std::string, std::string> &labels)
    {
        for (const sample &s : samples)
            if (s.name == name && s.labels == labels)
                return &s;
        return nullptr;
    }

    static run_result *raw, *json_run, *prometheus_run;
    static time_t before, after;
    json doc;
    std::vector<sample> samples;
};

run_result *SensorsExport::raw, *SensorsExport::json_run, *SensorsExport::prometheus_run;
time_t SensorsExport::before, SensorsExport::after;

// Every value that JSON holds is a sample of its chip's id and its
// feature's sensor, and no other sample is; the values are the very
// doubles of JSON, which are those sensors -u prints.
TEST_F(SensorsExport, ValuesAreTheLibrarysInBothFormats)
{
    std::map<std::pair<std::string, std::string>, std::multiset<double>> readings;
    std::map<std::string, double> read_errors;
    std::map<std::string, std::string> chip_names;
    std::set<std::pair<std::string, std::string>> labelled;
    for (const sample &s : samples) {
        if (s.name == "hwkit_hwmon_read_errors") {
            read_errors[s.labels.at("chip")] = s.value;
        } else if (s.name == "hwkit_hwmon_chip_names") {
            EXPECT_EQ(s.value, 1);
            EXPECT_TRUE(chip_names.emplace(s.labels.at("chip"), s.labels.at("sensors_name")).second);
        } else if (s.name == "hwkit_hwmon_sensor_label") {
            EXPECT_TRUE(labelled.emplace(s.labels.at("chip"), s.labels.at("sensor")).second);
        } else if (s.name.rfind("hwkit_hwmon_", 0) == 0) {
            readings[{s.labels.at("chip"), s.labels.at("sensor")}].insert(s.value);
        }
    }

    std::vector<raw_chip> raw_chips = parse_raw(raw->out);
    ASSERT_EQ(doc["chips"].size(), raw_chips.size());
    std::vector<std::string> errors;
    for (size_t i = 0; i < raw_chips.size(); i++) {
        const json &chip = doc["chips"][i];
        std::string name = chip["name"], id = chip["id"];
        EXPECT_EQ(name, raw_chips[i].name);
        EXPECT_EQ(chip_names[id], name);
        std::vector<std::pair<std::string, std::string>> shown;
        int chip_errors = 0;
        for (const json &f : chip["features"]) {
            std::string sensor = sensor_of(f["name"]);
            std::multiset<double> &published = readings[{id, sensor}];
            EXPECT_EQ(labelled.count({id, sensor}), f["values"].empty() ? 0u : 1u) << id << " " << sensor;
            for (const auto &[subfeature, value] : f["values"].items()) {
                // null stands for an infinity (the fixtures hold no NaN);
                // humidity is published as a ratio, the library's percent / 100.
                double expected = value.is_null() ? HUGE_VAL : value.get<double>();
                if (f["class"] == "humidity")
                    expected /= 100;
                auto found = published.find(expected);
                if (value.is_null() && found == published.end())
                    found = published.find(-HUGE_VAL);
                if (found == published.end()) {
                    ADD_FAILURE() << "no sample of " << id << " " << subfeature << " " << value;
                    continue;
                }
                published.erase(found);
                shown.emplace_back(subfeature, value.is_null() ? printed(expected) : printed(value.get<double>()));
            }
            for (const auto &[subfeature, text] : f["errors"].items()) {
                errors.push_back(subfeature + ": " + text.get<std::string>());
                chip_errors++;
            }
            EXPECT_TRUE(published.empty()) << "samples that the JSON does not have: " << id << " " << sensor;
        }
        EXPECT_EQ(shown, raw_chips[i].values) << name;
        EXPECT_EQ(read_errors[id], chip_errors) << name;
    }
    EXPECT_EQ(errors, raw_errors(raw->err));
    EXPECT_EQ(read_errors.size(), raw_chips.size());
    EXPECT_EQ(chip_names.size(), raw_chips.size()) << "chips with one id";

    const sample &last = samples.back();
    EXPECT_EQ(last.name, "hwkit_sensors_export_timestamp_seconds");
    EXPECT_GE(last.value, before);
    EXPECT_LE(last.value, after);
    EXPECT_NE(find("hwkit_sensors_export_config_errors", {}), nullptr);
}

TEST_F(SensorsExport, TheConfigurationApplies)
{
    // A label and a computation from it, a label of the driver's.
    const std::string nct = "platform_nct6775_656";
    const json &in0 = feature("nct6775-isa-0290", "in0");
    EXPECT_EQ(in0["label"], "+12V");
    EXPECT_NEAR(in0["values"]["in0_input"].get<double>(), 1.9 * 6.3684, 1e-9);
    EXPECT_NE(find("hwkit_hwmon_sensor_label", {{"chip", nct}, {"sensor", "in0"}, {"label", "+12V"}}), nullptr);
    EXPECT_EQ(feature("nct6775-isa-0290", "in1")["label"], "3VCC");
    EXPECT_NE(find("hwkit_hwmon_sensor_label", {{"chip", nct}, {"sensor", "in1"}, {"label", "3VCC"}}), nullptr);
    // The ignored input is nowhere.
    for (const json &f : doc["chips"][0]["features"])
        EXPECT_NE(f["name"], "in2");
    EXPECT_TRUE(series(nct, "in2").empty());
    EXPECT_EQ(find("hwkit_hwmon_sensor_label", {{"chip", nct}, {"sensor", "in2"}, {"label", "in2"}}), nullptr);
    // The set statement is not executed: the limit is the fixture's.
    EXPECT_EQ(feature("nct6775-isa-0290", "temp1")["values"]["temp1_max"], 80.0);
}

TEST_F(SensorsExport, FailedReadsAreErrorsNeverNumbers)
{
    const std::string nct = "platform_nct6775_656";
    const json &in3 = feature("nct6775-isa-0290", "in3");
    EXPECT_EQ(in3["errors"], json({{"in3_max", "Can't read"}}));
    EXPECT_FALSE(in3["values"].contains("in3_max"));
    const json &temp1 = feature("nct6775-isa-0290", "temp1");
    EXPECT_EQ(temp1["errors"], json({{"temp1_crit", "I/O error"}}));
    EXPECT_FALSE(temp1["values"].contains("temp1_crit"));
    EXPECT_EQ(series(nct, "in3").count("hwkit_hwmon_in_max_volts"), 0u);
    EXPECT_EQ(series(nct, "temp1").count("hwkit_hwmon_temp_crit_celsius"), 0u);
    // Write-only is no failure: left out of both.
    const json &temp2 = feature("nct6775-isa-0290", "temp2");
    EXPECT_FALSE(temp2["values"].contains("temp2_max"));
    EXPECT_FALSE(temp2["errors"].contains("temp2_max"));
    EXPECT_EQ(series(nct, "temp2").count("hwkit_hwmon_temp_max_celsius"), 0u);
    EXPECT_EQ(find("hwkit_hwmon_read_errors", {{"chip", nct}})->value, 2);
    // A value that is no number stays out of JSON's numbers.
    EXPECT_TRUE(feature("nct6775-isa-0290", "in4")["values"]["in4_input"].is_null());
    EXPECT_EQ(series(nct, "in4").at("hwkit_hwmon_in_volts"), HUGE_VAL);
}

// Where the node exporter's own values are wrong, ours are the library's:
// flags 0 or 1 also where the name carries a unit, humidity a ratio; energy
// is a counter.  The names themselves are the node exporter's, compared
// with the real one in sensors.node_exporter_names.
TEST_F(SensorsExport, ValuesRightUnderTheNodeExportersNames)
{
    const std::string nct = "platform_nct6775_656", ina = "i2c_1_0040";
    EXPECT_EQ(series(ina, "curr1").at("hwkit_hwmon_curr_max_alarm_amps"), 0);
    EXPECT_EQ(series(ina, "humidity1").at("hwkit_hwmon_humidity"), 0.455);
    EXPECT_EQ(series(ina, "energy1").at("hwkit_hwmon_energy_joule_total"), 1234.56789);
    EXPECT_NE(prometheus_run->out.find("# TYPE hwkit_hwmon_energy_joule_total counter\n"), std::string::npos);
    EXPECT_EQ(series(nct, "cpu0").at("hwkit_hwmon_cpu_vid_volts"), 1.25);
    EXPECT_EQ(series(nct, "beep_enable0").at("hwkit_hwmon_beep_enabled"), 1);
    EXPECT_EQ(series(nct, "intrusion0").at("hwkit_hwmon_intrusion_alarm"), 1);
}

TEST_F(SensorsExport, HostileTextsEscapedAlikeInBothFormats)
{
    // The exposition format escapes backslash, quote and line feed only;
    // bytes that are no UTF-8 become U+FFFD, one for each maximal ill-formed
    // run, as the JSON writer replaces them.  Chip ids hold none of them.
    const std::string text = prometheus_run->out;
    for (const char *line : {
             "hwkit_hwmon_sensor_label{chip=\"platform_nct6775_656\",sensor=\"temp1\","
             "label=\"CPU \\\"core\\\" \\\\ die\\nzone\"} 1\n",
             "hwkit_hwmon_sensor_label{chip=\"i2c_1_0048\",sensor=\"temp1\","
             "label=\"Say \\\"hi\\\" \\\\ C:\\\\x\\nnext\"} 1\n",
             "hwkit_hwmon_sensor_label{chip=\"i2c_1_0048\",sensor=\"temp2\","
             "label=\"\033[31m\tGeh\xC3\xA4use\xEF\xBF\xBD|\xEF\xBF\xBD" "A|\xEF\xBF\xBD\xEF\xBF\xBD|"
             "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD\"} 1\n",
             "hwkit_hwmon_chip_names{chip=\"i2c_1_0049\",chip_name=\"evil_x__y\","
             "sensors_name=\"evil\\\"x\\\"\\\\y-i2c-1-49\"} 1\n",
             "hwkit_hwmon_temp_celsius{chip=\"i2c_1_0049\",sensor=\"temp1\"} 33\n",
             // Two chips of one name, each under its own device's id.
             "hwkit_hwmon_temp_celsius{chip=\"acpi_lnxtherm:00\",sensor=\"temp1\"} 27.8\n",
             "hwkit_hwmon_temp_celsius{chip=\"acpi_lnxtherm:01\",sensor=\"temp1\"} 29.8\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line;

    // JSON holds the same texts, every control character escaped.
    EXPECT_EQ(feature("nct6775-isa-0290", "temp1")["label"], "CPU \"core\" \\ die\nzone");
    EXPECT_EQ(feature("lm75-i2c-1-48", "temp1")["label"], "Say \"hi\" \\ C:\\x\nnext");
    EXPECT_EQ(feature("lm75-i2c-1-48", "temp2")["label"],
              find_label("i2c_1_0048", "temp2"));
    EXPECT_EQ(doc["chips"][3]["name"], "evil\"x\"\\y-i2c-1-49");
    EXPECT_EQ(doc["chips"][3]["id"], "i2c_1_0049");
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
    // The node exporter reads the file as its own user, also where root's
    // umask lets nobody else read new files.
    mode_t mask = umask(077);
    run_result to_file = run_in_fixture(SENSORS_EXPORT, {"-o", file, "-c", config});
    run_result to_output = run_in_fixture(SENSORS_EXPORT, {"-c", config});
    EXPECT_EQ(to_file.status, 0) << to_file.err;
    EXPECT_EQ(to_file.out, "");
    EXPECT_EQ(contents(), to_output.out);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(files(), std::vector<std::string>{"sensors.prom"});
    umask(mask);
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

// Statements the library reports while it loads the rest: each on standard
// error as sensors shows it, and counted for the fleet's alerts.
TEST(SensorsExportConfiguration, StatementsPassedOverAreCounted)
{
    if (std::string why = host_lacks("mount-namespace"); !why.empty())
        GTEST_SKIP() << why;
    std::vector<std::string> args = {"-c", fixtures + "/recovered.conf"};
    run_result sensors = run_in_fixture(SENSORS_PROGRAM, args, "board.hw");
    args.push_back("--prometheus");
    run_result exported = run_in_fixture(SENSORS_EXPORT, args, "board.hw");
    EXPECT_EQ(exported.status, 0);
    EXPECT_EQ(exported.err, sensors.err);
    EXPECT_EQ(exported.err, "Error: Line 5: Invalid keyword\nError: Line 8: Invalid keyword\n");
    EXPECT_NE(exported.out.find("\nhwkit_sensors_export_config_errors 2\n"), std::string::npos);
    EXPECT_NE(exported.out.find("{chip=\"platform_it87_656\",sensor=\"fan1\",label=\"Fan\"} 1\n"), std::string::npos);
}

// Chips that the node exporter would give one chip label keep apart by
// their hwmon folders, or the collector would reject the whole file.
TEST(SensorsExportChips, OneIdForTwoChipsIsMadeTwo)
{
    if (std::string why = host_lacks("mount-namespace"); !why.empty())
        GTEST_SKIP() << why;
    run_result r = run_in_fixture(SENSORS_EXPORT, {"--prometheus"}, "same-names.hw");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> temperatures;
    for (const sample &s : parse_prometheus(r.out))
        if (s.name == "hwkit_hwmon_temp_celsius")
            temperatures.push_back(s.labels.at("chip") + " " + printed(s.value));
    EXPECT_EQ(temperatures, (std::vector<std::string>{"dup_hwmon0 30.000", "dup_hwmon1 31.000", "other 32.000"}));
    run_result json_run = run_in_fixture(SENSORS_EXPORT, {}, "same-names.hw");
    EXPECT_EQ(json::parse(json_run.out)["chips"][1]["id"], "dup_hwmon1");
}

} // namespace
