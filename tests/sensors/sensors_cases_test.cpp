// The sensors program over fixture appliances, one case file each: the real
// libsensors reads a fixture hwmon tree in a private mount namespace, and
// standard output, standard error and the exit status must match the case's
// expected texts byte for byte.
//
// A case file holds header lines, then sections:
//   program sensors|unnamed-chips|set-and-read|stdin-folder|bus-list-round-trip
//                                     which build runs (default sensors); set-and-read
//                                     runs sensors, then shows the attributes in `show`;
//                                     stdin-folder runs it with / as standard input;
//                                     bus-list-round-trip shows its --bus-list, then
//                                     runs it on those statements and stdin as -c -
//   show hwmonN/ATTRIBUTE...          attributes that set-and-read shows
//   fixture FILE.hw                   the appliance (fixtures/)
//   system FILE                       bound over /etc/sensors3.conf (default empty.conf)
//   locale NAME                       LC_ALL (default C.UTF-8)
//   args ARG...                       @ stands for the fixtures folder
//   --- stdin / --- stdout / --- stderr / --- status
#include "run_program.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

struct sensors_case {
    std::string name;
    std::map<std::string, std::string> header;
    std::map<std::string, std::string> sections;
};

void PrintTo(const sensors_case &c, std::ostream *os) { *os << c.name; }

std::string replace_all(std::string s, const std::string &from, const std::string &to)
{
    for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size())
        s.replace(p, from.size(), to);
    return s;
}

sensors_case read_case(const std::filesystem::path &path)
{
    sensors_case c;
    c.name = path.stem().string();
    std::replace(c.name.begin(), c.name.end(), '-', '_');
    std::ifstream f(path);
    std::string line, section;
    while (std::getline(f, line)) {
        if (line.rfind("--- ", 0) == 0) {
            section = line.substr(4);
            c.sections[section];
            continue;
        }
        if (!section.empty()) {
            c.sections[section] += line + "\n";
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        size_t blank = line.find(' ');
        c.header[line.substr(0, blank)] = blank == std::string::npos ? "" : line.substr(blank + 1);
    }
    return c;
}

std::vector<sensors_case> all_cases()
{
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(SENSORS_CASES))
        if (e.path().extension() == ".case")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<sensors_case> cases;
    for (const auto &f : files)
        cases.push_back(read_case(f));
    return cases;
}

std::string header(const sensors_case &c, const std::string &key, const std::string &otherwise)
{
    auto it = c.header.find(key);
    return it == c.header.end() ? otherwise : it->second;
}

class SensorsCase : public testing::TestWithParam<sensors_case> {
  protected:
    void SetUp() override
    {
        if (std::string why = host_lacks("mount-namespace"); !why.empty())
            GTEST_SKIP() << why;
    }
};

TEST_P(SensorsCase, OutputAndStatus)
{
    const sensors_case &c = GetParam();
    std::string fixtures = SENSORS_FIXTURES;
    run_request r;
    r.program = "/bin/sh";
    std::string program = header(c, "program", "sensors");
    r.env = {"LC_ALL=" + header(c, "locale", "C.UTF-8")};
    static const std::map<std::string, std::string> scripts = {
        {"set-and-read", SENSORS_SET_AND_READ},
        {"stdin-folder", SENSORS_STDIN_FOLDER},
        {"bus-list-round-trip", SENSORS_BUS_LIST_ROUND_TRIP},
    };
    if (auto script = scripts.find(program); script != scripts.end()) {
        r.env.push_back(std::string("SENSORS_BIN=") + SENSORS_PROGRAM);
        r.env.push_back("SHOW=" + header(c, "show", ""));
        program = script->second;
    } else {
        program = program == "unnamed-chips" ? SENSORS_UNNAMED : SENSORS_PROGRAM;
    }
    r.args = {SENSORS_FIXTURE_RUN, fixtures + "/" + header(c, "fixture", "board.hw"),
              fixtures + "/" + header(c, "system", "empty.conf"), program};
    std::stringstream args(header(c, "args", ""));
    std::string arg;
    while (args >> arg)
        r.args.push_back(replace_all(arg, "@", fixtures));
    r.input = c.sections.count("stdin") ? c.sections.at("stdin") : "";
    run_result res = run_program(r);
    auto expected = [&](const char *section) {
        return c.sections.count(section) ? replace_all(c.sections.at(section), "@/", fixtures + "/") : "";
    };
    EXPECT_EQ(res.out, expected("stdout"));
    EXPECT_EQ(res.err, expected("stderr"));
    std::string status = c.sections.count("status") ? c.sections.at("status") : "0\n";
    EXPECT_EQ(std::to_string(res.status) + "\n", status);
}

INSTANTIATE_TEST_SUITE_P(Fixture, SensorsCase, testing::ValuesIn(all_cases()),
                         [](const testing::TestParamInfo<sensors_case> &i) { return i.param.name; });

} // namespace

namespace {

// A normal user gets the same report through a user namespace, where the
// kernel allows one.
TEST(SensorsAsNormalUser, SameReportThroughAUserNamespace)
{
    if (std::string why = host_lacks("nobody-user-namespace"); !why.empty())
        GTEST_SKIP() << why;
    std::string fixtures = SENSORS_FIXTURES;
    std::string copies = copies_for_nobody(
        {SENSORS_FIXTURE_RUN, fixtures + "/temps.hw", fixtures + "/empty.conf", SENSORS_PROGRAM});
    std::string program = copies + "/" + std::filesystem::path(SENSORS_PROGRAM).filename().string();
    run_request r;
    r.env = {"LC_ALL=C.UTF-8"};
    r.program = "/bin/sh";
    r.args = {copies + "/fixture-run.sh", copies + "/temps.hw", copies + "/empty.conf", program, "-c",
              copies + "/empty.conf"};
    run_result user = run_program(as_nobody(r));
    run_result root = run_program(r);
    std::filesystem::remove_all(copies);
    EXPECT_EQ(user.out, root.out);
    EXPECT_EQ(user.err, root.err);
    EXPECT_EQ(user.status, root.status);
}

} // namespace
