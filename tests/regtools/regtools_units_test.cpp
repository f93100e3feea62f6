// The routines the two port register tools share, in-process on a simulated
// appliance: port access at each width, the yes/no answer read from standard
// input, and Super-I/O keys.
#include "regtools/superio.h"
#include "regtools/util.h"
#include "appliance.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// ---- Port access at a width ---------------------------------------------------

// Four latches holding 0x12345678 from port 0x300 on, low byte first.
const char *const LATCHES = "latch 300 78\nlatch 301 56\nlatch 302 34\nlatch 303 12\n";

TEST(PortWidth, InputMovesAByteAWordOrALongAndAnyOtherWidthAByte)
{
    load_appliance(LATCHES);
    EXPECT_EQ(inx(0x300, 1), 0x78u);
    EXPECT_EQ(inx(0x300, 2), 0x5678u);
    EXPECT_EQ(inx(0x300, 4), 0x12345678u);
    EXPECT_EQ(inx(0x300, 0), 0x78u);
    EXPECT_EQ(inx(0x300, 3), 0x78u);
    EXPECT_EQ(inx(0x300, 8), 0x78u);
    EXPECT_EQ(hwsim_take_trace(), "inb 0x0300 -> 0x78\n"
                                  "inw 0x0300 -> 0x5678\n"
                                  "inl 0x0300 -> 0x12345678\n"
                                  "inb 0x0300 -> 0x78\n"
                                  "inb 0x0300 -> 0x78\n"
                                  "inb 0x0300 -> 0x78\n");
}

TEST(PortWidth, InputIsZeroExtended)
{
    load_appliance("");   // unclaimed ports read all ones
    EXPECT_EQ(inx(0x500, 1), 0xFFu);
    EXPECT_EQ(inx(0x500, 2), 0xFFFFu);
    EXPECT_EQ(inx(0x500, 4), 0xFFFFFFFFu);
}

TEST(PortWidth, OutputMovesTheLowByteTheLowWordOrAllOfTheValue)
{
    load_appliance("");
    for (int width : {1, 2, 4, 0, 3})
        outx(0x12345678, 0x300, width);
    outx(0x5678, 0x300, 1);
    outx(0x5678, 0x300, 2);
    EXPECT_EQ(hwsim_take_trace(), "outb 0x0300 0x78\n"
                                  "outw 0x0300 0x5678\n"
                                  "outl 0x0300 0x12345678\n"
                                  "outb 0x0300 0x78\n"
                                  "outb 0x0300 0x78\n"
                                  "outb 0x0300 0x78\n"
                                  "outw 0x0300 0x5678\n");
}

TEST(PortWidth, OnlyTheLowSixteenBitsOfThePortCount)
{
    load_appliance(LATCHES);
    EXPECT_EQ(inx(0x10300, 1), 0x78u);
    outx(0xAB, 0x20301, 1);
    outx(0, -1, 1);
    EXPECT_EQ(hwsim_take_trace(), "inb 0x0300 -> 0x78\noutb 0x0301 0xab\noutb 0xffff 0x00\n");
}

// ---- The yes/no answer ---------------------------------------------------------

// Makes standard input read the text from a pipe (closed after it) or from a
// file; whatever the stream had buffered before is dropped.
void feed_stdin(const std::string &text, bool through_pipe)
{
    int fd;
    if (through_pipe) {
        int p[2];
        ASSERT_EQ(pipe(p), 0);
        ASSERT_EQ(write(p[1], text.data(), text.size()), (ssize_t)text.size());
        close(p[1]);
        fd = p[0];
    } else {
        char path[] = "/tmp/regtools-answer-XXXXXX";
        fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        unlink(path);
        ASSERT_EQ(write(fd, text.data(), text.size()), (ssize_t)text.size());
        ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
    }
    ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);
    ASSERT_EQ(dup2(fd, 0), 0);
    close(fd);
    clearerr(stdin);
}

struct answer {
    const char *input;
    int def;
    int expected;
};

const answer ANSWERS[] = {
    // the first character decides
    {"y\n", 1, 1}, {"Y\n", 1, 1}, {"yes\n", 1, 1}, {"Yo\n", 0, 1}, {"y\n", 0, 1},
    {"n\n", 1, 0}, {"N\n", 1, 0}, {"No\n", 1, 0}, {"nope\n", 1, 0}, {"n\n", 0, 0},
    // anything else takes the default, the empty line included
    {"\n", 1, 1}, {"\n", 0, 0}, {"x\n", 1, 1}, {"1\n", 1, 1}, {"x\n", 0, 0},
    {" y\n", 0, 0}, {"\ty\n", 1, 1},
    // the end of input answers no, also in the middle of a line
    {"", 1, 0}, {"y", 1, 0}, {"yes", 1, 0}, {"x", 1, 0},
};

TEST(UserAck, AnswersFromAPipeAndFromAFile)
{
    for (bool through_pipe : {true, false})
        for (const answer &a : ANSWERS) {
            feed_stdin(a.input, through_pipe);
            EXPECT_EQ(user_ack(a.def), a.expected)
                << "input \"" << a.input << "\", default " << a.def << (through_pipe ? ", pipe" : ", file");
        }
}

TEST(UserAck, EachCallReadsOneWholeLine)
{
    feed_stdin("yes please\nno thanks\n\nwhat\ny", true);
    EXPECT_EQ(user_ack(1), 1);
    EXPECT_EQ(user_ack(1), 0);
    EXPECT_EQ(user_ack(1), 1);
    EXPECT_EQ(user_ack(0), 0);
    EXPECT_EQ(user_ack(1), 0) << "a last line without its line end";
    EXPECT_EQ(user_ack(1), 0) << "and the end of input stays";

    feed_stdin("n and more\nafter\n", true);
    EXPECT_EQ(user_ack(1), 0);
    char rest[16] = "";
    ASSERT_NE(fgets(rest, sizeof rest, stdin), nullptr);
    EXPECT_STREQ(rest, "after\n") << "the next line is left for the next reader";
}

TEST(UserAck, AReadErrorAnswersNo)
{
    feed_stdin("y\n", true);
    int saved = dup(0);
    close(0);
    EXPECT_EQ(user_ack(1), 0);
    dup2(saved, 0);
    close(saved);
}

// ---- Super-I/O keys --------------------------------------------------------------

std::vector<int> key_bytes(const unsigned char *key)
{
    return std::vector<int>(key + 1, key + 1 + key[0]);
}

TEST(SuperioParseKey, AcceptedTexts)
{
    const struct {
        const char *text;
        std::vector<int> bytes;
    } cases[] = {
        {"0x12,0x34", {0x12, 0x34}},
        {"1,2,3,4", {1, 2, 3, 4}},
        {"0x87,0x87", {0x87, 0x87}},
        {"0X55", {0x55}},
        {"010", {8}},
        {"0xff", {255}},
        {"255", {255}},
        {"0", {0}},
        {"-0", {0}},
        {"+7", {7}},
        {" 7, 8", {7, 8}},
        // an element without digits reads as 0
        {",0x34", {0x00, 0x34}},
        {"0x12,,0x34", {0x12, 0x00, 0x34}},
        // after the eighth byte the rest is not looked at
        {"1,2,3,4,5,6,7,8", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"1,2,3,4,5,6,7,8,9", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"1,2,3,4,5,6,7,8,", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"1,2,3,4,5,6,7,8,zz;", {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto &c : cases) {
        unsigned char key[SUPERIO_KEY_RECORD];
        memset(key, 0xEE, sizeof key);
        EXPECT_EQ(superio_parse_key(key, c.text), 0) << c.text;
        EXPECT_EQ(key_bytes(key), c.bytes) << c.text;
    }
}

TEST(SuperioParseKey, RejectedTexts)
{
    const char *const texts[] = {
        "",            // empty
        "0x12,",       // trailing comma
        ",",           // nothing but a comma
        "0x12;0x34",   // another separator
        "0x12 ",       // a blank after a number
        " ",           // a blank alone
        "0x1g",        // not a hexadecimal digit
        "08",          // not an octal digit
        "0x",          // a prefix without digits
        "256",         // out of range
        "0x100",
        "-1",
        "1,-1",
        "99999999999999999999",
        "1,2,3,4,5,6,7,8x",   // the eighth number ends at neither a comma nor the end
    };
    for (const char *t : texts) {
        unsigned char key[SUPERIO_KEY_RECORD] = {};
        EXPECT_EQ(superio_parse_key(key, t), -1) << '"' << t << '"';
        EXPECT_LE(key[0], SUPERIO_KEY_MAX);
    }
}

TEST(SuperioParseKey, ANewKeyReplacesTheOldOne)
{
    unsigned char key[SUPERIO_KEY_RECORD];
    ASSERT_EQ(superio_parse_key(key, "1,2,3,4,5"), 0);
    ASSERT_EQ(superio_parse_key(key, "0x55"), 0);
    EXPECT_EQ(key_bytes(key), std::vector<int>{0x55});
    EXPECT_EQ(superio_parse_key(key, ""), -1);
    EXPECT_EQ(key[0], 0) << "a rejected key is no key";
}

TEST(SuperioKeyAndReset, KeyBytesGoOutInOrderAndTheResetSequenceFollows)
{
    load_appliance("superio 4e key 87,01,55,55\nreg 20 52");
    unsigned char key[SUPERIO_KEY_RECORD];
    ASSERT_EQ(superio_parse_key(key, "0x87,0x01,0x55,0x55"), 0);
    superio_write_key(0x4E, key);
    outx(0x20, 0x4E, 1);
    EXPECT_EQ(inx(0x4F, 1), 0x52u) << "the chip took the key";
    superio_reset(0x4E, 0x4F);
    EXPECT_EQ(hwsim_take_trace(), "outb 0x004e 0x87\noutb 0x004e 0x01\noutb 0x004e 0x55\noutb 0x004e 0x55\n"
                                  "outb 0x004e 0x20\ninb 0x004f -> 0x52\n"
                                  "outb 0x004e 0xaa\noutb 0x004e 0x02\noutb 0x004f 0x02\n");
    EXPECT_NE(hwsim_state().find("wait for key"), std::string::npos);

    superio_reset(0x2E, 0x2F);
    EXPECT_EQ(hwsim_take_trace(), "outb 0x002e 0xaa\noutb 0x002e 0x02\noutb 0x002f 0x02\n");
}

TEST(SuperioKeyAndReset, NoKeyNoOutput)
{
    load_appliance("");
    unsigned char key[SUPERIO_KEY_RECORD] = {0, 0x87, 0x87};
    superio_write_key(0x2E, key);
    EXPECT_EQ(hwsim_take_trace(), "");
}

} // namespace
