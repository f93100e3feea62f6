// appliance-bmc as QEMU meets it: a client on its socket sending framed
// requests, the replies read back raw, and the LOG read once it has exited.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

typedef std::vector<unsigned char> Bytes;
namespace fs = std::filesystem;

static const Bytes CONTROL = {0xff, 0x01, 0xa1, 0x08, 0x3f, 0xa1};

// A request frame: checksum appended, escaped, terminated.
static Bytes request(unsigned char seq, unsigned char netfn, unsigned char cmd, Bytes data = {}, int lun = 0)
{
    Bytes msg = {seq, (unsigned char)(netfn << 2 | lun), cmd};
    msg.insert(msg.end(), data.begin(), data.end());
    unsigned char sum = 0;
    for (unsigned char b : msg)
        sum += b;
    msg.push_back((unsigned char)-sum);
    Bytes out;
    for (unsigned char b : msg) {
        if (b == 0xa0 || b == 0xa1 || b == 0xaa)
            out.insert(out.end(), {0xaa, (unsigned char)(b | 0x10)});
        else
            out.push_back(b);
    }
    out.push_back(0xa0);
    return out;
}

// The reply the test expects, framed by the same encoder.
static Bytes expected(unsigned char seq, unsigned char netfn, unsigned char cmd, Bytes cc_and_data)
{
    return request(seq, netfn | 1, cmd, cc_and_data);
}

class BmcTest : public testing::Test {
  protected:
    fs::path dir, sock, log;
    pid_t pid = -1;
    int fd = -1;

    void SetUp() override
    {
        char tmpl[] = "/tmp/bmc_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        sock = dir / "bmc.sock";
        log = dir / "bmc.log";
    }
    void TearDown() override
    {
        if (fd >= 0)
            close(fd);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(dir);
    }

    void spawn(const std::string &scenario)
    {
        std::ofstream(dir / "scenario") << scenario;
        pid = fork();
        if (pid == 0) {
            int err = open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            execl(APPLIANCE_BMC, APPLIANCE_BMC, sock.c_str(), (dir / "scenario").c_str(), log.c_str(), nullptr);
            _exit(127);
        }
    }
    // Waits for the program to end on its own; its exit status, or -1.
    int finish()
    {
        for (int i = 0; i < 500; i++) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    void start(const std::string &scenario)
    {
        spawn(scenario);
        struct stat st = {};
        for (int i = 0; i < 500 && stat(sock.c_str(), &st) != 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(S_ISSOCK(st.st_mode)) << "no socket at " << sock;
        fd = socket(AF_UNIX, SOCK_STREAM, 0);
        struct sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        strcpy(addr.sun_path, sock.c_str());
        ASSERT_EQ(connect(fd, (struct sockaddr *)&addr, sizeof addr), 0);
        struct timeval timeout = {2, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        send_raw(CONTROL);
    }
    void send_raw(const Bytes &b) { ASSERT_EQ(write(fd, b.data(), b.size()), (ssize_t)b.size()); }
    // One raw reply up to its 0xa0; what came before a timeout otherwise.
    Bytes reply()
    {
        Bytes got;
        unsigned char c;
        while (read(fd, &c, 1) == 1) {
            got.push_back(c);
            if (c == 0xa0)
                break;
        }
        return got;
    }
    void ask(unsigned char seq, unsigned char netfn, unsigned char cmd, Bytes data, Bytes cc_and_data)
    {
        send_raw(request(seq, netfn, cmd, data));
        EXPECT_EQ(reply(), expected(seq, netfn, cmd, cc_and_data)) << "request " << (int)seq;
    }
    // Closes the client; the BMC must then exit 0.  Returns LOG's lines.
    std::vector<std::string> close_and_log()
    {
        close(fd);
        fd = -1;
        EXPECT_EQ(finish(), 0);
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

TEST_F(BmcTest, AnswersTheKernelProbeAndRejectsOtherCommands)
{
    start("");
    send_raw({0x01, 0x18, 0x01, 0xe6, 0xa0}); // Get Device ID
    EXPECT_EQ(reply(), Bytes({0x01, 0x1c, 0x01, 0x00, 0x20, 0x01, 0x01, 0x00, 0x02, 0x0f, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0xaf, 0xa0}));
    send_raw({0x02, 0x18, 0x2f, 0xb7, 0xa0}); // Get BMC Global Enables
    EXPECT_EQ(reply(), Bytes({0x02, 0x1c, 0x2f, 0x00, 0x0c, 0xa7, 0xa0}));
    send_raw(request(3, 0x06, 0x2e, {0x0d}));
    EXPECT_EQ(reply(), Bytes({0x03, 0x1c, 0x2e, 0x00, 0xb3, 0xa0}));
    send_raw(request(4, 0x06, 0x30, {0x0f}));
    EXPECT_EQ(reply(), Bytes({0x04, 0x1c, 0x30, 0x00, 0xb0, 0xa0}));
    send_raw(request(5, 0x0a, 0x10, {}, 2)); // lun 2 comes back
    EXPECT_EQ(reply(), Bytes({0x05, 0x2e, 0x10, 0xc1, 0xfc, 0xa0}));
    std::vector<std::string> want = {
        "request netfn=06 cmd=01 lun=0 data=[] -> cc=00 data=[20 01 01 00 02 0f 00 00 00 00 00]",
        "request netfn=06 cmd=2f lun=0 data=[] -> cc=00 data=[0c]",
        "request netfn=06 cmd=2e lun=0 data=[0d] -> cc=00 data=[]",
        "request netfn=06 cmd=30 lun=0 data=[0f] -> cc=00 data=[]",
        "request netfn=0a cmd=10 lun=2 data=[] -> cc=c1 data=[]",
    };
    EXPECT_EQ(close_and_log(), want);
}

TEST_F(BmcTest, ScenarioQueuesAndDataRules)
{
    start("# OEM power state: 07, then 03, then an error for good\n"
          "30 92 -> 00 07\n"
          "\n"
          "30 92 -> 00 03  # second\n"
          "30 92 -> c1\n"
          "06 52 -> cc\n"
          "06 52 07 b2 01 79 -> 00 01\n"
          "06 52 07 B0 01 79 -> 00 00\n"
          "06 01 -> 00 99\n");
    ask(1, 0x30, 0x92, {}, {0x00, 0x07});
    ask(2, 0x30, 0x92, {}, {0x00, 0x03});
    ask(3, 0x30, 0x92, {}, {0xc1});
    ask(4, 0x30, 0x92, {}, {0xc1});
    ask(5, 0x06, 0x52, {0x07, 0xb2, 0x01, 0x79}, {0x00, 0x01});
    ask(6, 0x06, 0x52, {0x07, 0xb0, 0x01, 0x79}, {0x00, 0x00});
    ask(7, 0x06, 0x52, {0x07, 0xb2, 0x01, 0x79}, {0x00, 0x01});
    ask(8, 0x06, 0x52, {0x07, 0xb2, 0x01}, {0xcc});
    ask(9, 0x06, 0x52, {}, {0xcc});
    ask(10, 0x06, 0x01, {}, {0x00, 0x99}); // a rule wins over the built-in answer
    std::vector<std::string> lines = close_and_log();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "request netfn=30 cmd=92 lun=0 data=[] -> cc=00 data=[03]");
    EXPECT_EQ(lines[3], "request netfn=30 cmd=92 lun=0 data=[] -> cc=c1 data=[]");
    EXPECT_EQ(lines[7], "request netfn=06 cmd=52 lun=0 data=[07 b2 01] -> cc=cc data=[]");
}

TEST_F(BmcTest, LeavesRequestsOfASilentRuleUnanswered)
{
    start("30 92 -> never\n"
          "30 92 -> never  # twice\n"
          "30 92 -> 00 03\n"
          "06 52 07 b2 01 79 -> never\n");
    send_raw(request(1, 0x30, 0x92));
    send_raw(request(2, 0x06, 0x52, {0x07, 0xb2, 0x01, 0x79}));
    send_raw(request(3, 0x30, 0x92));
    // The next answered request's reply is the first thing to come back.
    ask(4, 0x06, 0x52, {0x07, 0xb0, 0x01, 0x79}, {0xc1});
    ask(5, 0x30, 0x92, {}, {0x00, 0x03});
    send_raw(request(6, 0x06, 0x52, {0x07, 0xb2, 0x01, 0x79})); // the last rule keeps answering: never
    ask(7, 0x06, 0x01, {}, {0x00, 0x20, 0x01, 0x01, 0x00, 0x02, 0x0f, 0x00, 0x00, 0x00, 0x00, 0x00});
    struct pollfd p = {fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 200), 0) << "a reply to a request without an answer";
    std::vector<std::string> want = {
        "request netfn=30 cmd=92 lun=0 data=[] -> no answer",
        "request netfn=06 cmd=52 lun=0 data=[07 b2 01 79] -> no answer",
        "request netfn=30 cmd=92 lun=0 data=[] -> no answer",
        "request netfn=06 cmd=52 lun=0 data=[07 b0 01 79] -> cc=c1 data=[]",
        "request netfn=30 cmd=92 lun=0 data=[] -> cc=00 data=[03]",
        "request netfn=06 cmd=52 lun=0 data=[07 b2 01 79] -> no answer",
        "request netfn=06 cmd=01 lun=0 data=[] -> cc=00 data=[20 01 01 00 02 0f 00 00 00 00 00]",
    };
    EXPECT_EQ(close_and_log(), want);
}

TEST_F(BmcTest, EscapesBothWays)
{
    start("30 93 -> 00 a0 aa a1\n"
          "30 94 aa a1 -> 00 01\n");
    send_raw({0xaa, 0xb0, 0xc0, 0x94, 0xaa, 0xba, 0xaa, 0xb1, 0xc1, 0xa0}); // seq a0, data aa a1
    EXPECT_EQ(reply(), Bytes({0xaa, 0xb0, 0xc4, 0x94, 0x00, 0x01, 0x07, 0xa0}));
    send_raw({0x14, 0xc0, 0x93, 0x99, 0xa0}); // reply data and checksum escaped
    EXPECT_EQ(reply(), Bytes({0x14, 0xc4, 0x93, 0x00, 0xaa, 0xb0, 0xaa, 0xba, 0xaa, 0xb1, 0xaa, 0xba, 0xa0}));
    send_raw({0x47, 0x18, 0x01, 0xaa, 0xb0, 0xa0}); // request checksum a0
    EXPECT_EQ(reply(), Bytes({0x47, 0x1c, 0x01, 0x00, 0x20, 0x01, 0x01, 0x00, 0x02, 0x0f, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x69, 0xa0}));
    std::vector<std::string> lines = close_and_log();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "request netfn=30 cmd=94 lun=0 data=[aa a1] -> cc=00 data=[01]");
    EXPECT_EQ(lines[1], "request netfn=30 cmd=93 lun=0 data=[] -> cc=00 data=[a0 aa a1]");
}

TEST_F(BmcTest, ReassemblesFramesAndDropsBadOnes)
{
    start("30 94 aa a1 -> 00 01\n");
    // split right after an escape byte
    send_raw({0xaa, 0xb0, 0xc0, 0x94, 0xaa});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_raw({0xba, 0xaa, 0xb1, 0xc1, 0xa0});
    EXPECT_EQ(reply(), Bytes({0xaa, 0xb0, 0xc4, 0x94, 0x00, 0x01, 0x07, 0xa0}));

    Bytes two = request(1, 0x06, 0x2f);
    two.insert(two.end(), CONTROL.begin(), CONTROL.end());
    Bytes second = request(2, 0x06, 0x30);
    two.insert(two.end(), second.begin(), second.end());
    send_raw(two);
    EXPECT_EQ(reply(), expected(1, 0x06, 0x2f, {0x00, 0x0c}));
    EXPECT_EQ(reply(), expected(2, 0x06, 0x30, {0x00}));

    send_raw({0x01, 0x18, 0x01, 0xe7, 0xa0}); // checksum off by one
    send_raw({0x01, 0x18, 0xe7, 0xa0}); // sums to 0 but has no cmd
    Bytes too_long(301, 0x00);
    too_long.push_back(0xa0);
    send_raw(too_long);
    send_raw(request(3, 0x30, 0x95, Bytes(296, 0x00))); // 300 bytes: the longest frame
    EXPECT_EQ(reply(), expected(3, 0x30, 0x95, {0xc1}));
    std::vector<std::string> lines = close_and_log();
    std::string zeros = "00";
    for (int i = 1; i < 296; i++)
        zeros += " 00";
    std::vector<std::string> want = {
        "request netfn=30 cmd=94 lun=0 data=[aa a1] -> cc=00 data=[01]",
        "request netfn=06 cmd=2f lun=0 data=[] -> cc=00 data=[0c]",
        "request netfn=06 cmd=30 lun=0 data=[] -> cc=00 data=[]",
        "bad frame: 01 18 01 e7",
        "bad frame: 01 18 e7",
        "bad frame: too long",
        "request netfn=30 cmd=95 lun=0 data=[" + zeros + "] -> cc=c1 data=[]",
    };
    EXPECT_EQ(lines, want);
}

TEST_F(BmcTest, LogsAtOnceAndStopsOnSigterm)
{
    start("");
    send_raw(request(1, 0x06, 0x30));
    EXPECT_EQ(reply(), expected(1, 0x06, 0x30, {0x00}));
    std::string line;
    std::getline(std::ifstream(log), line); // already there while it runs
    EXPECT_EQ(line, "request netfn=06 cmd=30 lun=0 data=[] -> cc=00 data=[]");
    kill(pid, SIGTERM);
    EXPECT_EQ(finish(), 0);
}

TEST_F(BmcTest, RejectsMalformedScenarioLines)
{
    const struct {
        const char *scenario;
        int line;
    } cases[] = {
        {"30 92 00 07\n", 1},
        {"# power\n30 92 -> 00\n30 9g -> 00\n", 3},
        {"\n30 92 ->\n", 2},
        {"31 92 -> 00\n", 1},
        {"30 -> 00\n", 1},
        {"30 92 -> never 00\n", 1},
        {"30 92 -> 00\n30 92 -> nevermore\n", 2},
        {"30 92 -> 00 never\n", 1},
    };
    for (const auto &c : cases) {
        spawn(c.scenario);
        ASSERT_EQ(finish(), 2) << c.scenario;
        std::ifstream in(dir / "stderr");
        std::string message((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string where = "appliance-bmc: " + (dir / "scenario").string() + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(message.rfind(where, 0), 0u) << message;
        EXPECT_FALSE(fs::exists(sock)) << c.scenario;
    }
}
