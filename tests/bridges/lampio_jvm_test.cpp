// The LED library of each variant, loaded by a real JVM through LEDContral,
// switching a latch on the simulated appliance.
#include "run_program.h"

#include <gtest/gtest.h>

namespace {

struct led_case {
    const char *name;
    const char *variant;          // folder of the test build
    const char *scenario;
    std::vector<std::string> calls;  // LED STATE pairs
    const char *traffic;          // the trace
    const char *final_latch;      // state line of the latch afterwards
};

void PrintTo(const led_case &c, std::ostream *os) { *os << c.name; }

class LampioJvm : public testing::TestWithParam<led_case> {};

TEST_P(LampioJvm, RegisterBeforeAndAfter)
{
    const led_case &c = GetParam();
    run_request r;
    r.program = JAVA;
    r.args = {"-Xcheck:jni", std::string("-Djava.library.path=") + LAMPIO_TEST_BUILDS + "/" + c.variant, "-cp",
              JAVA_CLASSES, "LedCalls"};
    r.args.insert(r.args.end(), c.calls.begin(), c.calls.end());
    r.scenario = c.scenario;
    run_result res = run_program(r);
    EXPECT_EQ(res.out, "done\n");
    EXPECT_EQ(res.err, "");
    EXPECT_EQ(res.status, 0);
    EXPECT_EQ(res.trace, c.traffic);
    EXPECT_EQ(res.state, c.final_latch);
}

#define IN378(v) "iopl 3 -> ok\ninb 0x0378 -> 0x" v "\n"
#define OUT378(v) "outb 0x0378 0x" v "\n"
#define IN2FC(v) "iopl 3 -> ok\ninb 0x02fc -> 0x" v "\n"
#define OUT2FC(v) "outb 0x02fc 0x" v "\n"

INSTANTIATE_TEST_SUITE_P(
    Variant378, LampioJvm,
    testing::Values(
        led_case{"SetOnClearBit", "lampio-378", "latch 378 00", {"8", "1"}, IN378("00") OUT378("08"),
                 "latch 0x0378 0x08\n"},
        led_case{"SetOnSetBitWritesNothing", "lampio-378", "latch 378 08", {"8", "1"}, IN378("08"),
                 "latch 0x0378 0x08\n"},
        led_case{"ClearOnSetBitKeepsTheOthers", "lampio-378", "latch 378 5c", {"8", "-1"},
                 IN378("5c") OUT378("54"), "latch 0x0378 0x54\n"},
        led_case{"ClearOnClearBitWritesNothing", "lampio-378", "latch 378 54", {"8", "-1"}, IN378("54"),
                 "latch 0x0378 0x54\n"},
        led_case{"OtherStatesOnlyRead", "lampio-378", "latch 378 a5",
                 {"1", "0", "2", "2", "1", "-2", "2", "0x7fffffff"},
                 IN378("a5") IN378("a5") IN378("a5") IN378("a5"), "latch 0x0378 0xa5\n"},
        led_case{"MultiBitMaskCountsAsSetWhenAnyBitIs", "lampio-378", "latch 378 08", {"0x18", "1", "0x18", "-1"},
                 IN378("08") IN378("08") OUT378("00"), "latch 0x0378 0x00\n"},
        led_case{"ZeroMaskSetWritesTheByteBackClearWritesNothing", "lampio-378", "latch 378 5a",
                 {"0", "1", "0", "-1"}, IN378("5a") OUT378("5a") IN378("5a"), "latch 0x0378 0x5a\n"},
        led_case{"SixteenIsBitFourUntranslated", "lampio-378", "latch 378 00", {"16", "1"},
                 IN378("00") OUT378("10"), "latch 0x0378 0x10\n"},
        led_case{"TwoCallsInARow", "lampio-378", "latch 378 a5", {"2", "1", "2", "-1"},
                 IN378("a5") OUT378("a7") IN378("a7") OUT378("a5"), "latch 0x0378 0xa5\n"},
        led_case{"BitsAboveSevenTakeNoPart", "lampio-378", "latch 378 00", {"0x101", "1", "0x200", "-1"},
                 IN378("00") OUT378("01") IN378("01"), "latch 0x0378 0x01\n"},
        led_case{"RefusedPrivilegeTouchesNoPort", "lampio-378", "latch 378 00\niopl deny", {"8", "1"},
                 "iopl 3 -> EPERM\n", "latch 0x0378 0x00\n"}),
    [](const testing::TestParamInfo<led_case> &i) { return std::string(i.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Variant2fc, LampioJvm,
    testing::Values(
        led_case{"EightIsBitZeroAndMinusOneSets", "lampio-2fc", "latch 2fc 00", {"8", "-1"},
                 IN2FC("00") OUT2FC("01"), "latch 0x02fc 0x01\n"},
        led_case{"SixteenIsBitOne", "lampio-2fc", "latch 2fc 00", {"16", "-1"}, IN2FC("00") OUT2FC("02"),
                 "latch 0x02fc 0x02\n"},
        led_case{"TwentyFourIsNotTranslated", "lampio-2fc", "latch 2fc 00", {"24", "-1"},
                 IN2FC("00") OUT2FC("18"), "latch 0x02fc 0x18\n"},
        led_case{"OneClears", "lampio-2fc", "latch 2fc 0b", {"1", "1"}, IN2FC("0b") OUT2FC("0a"),
                 "latch 0x02fc 0x0a\n"},
        led_case{"TwoIsBitOneUntranslated", "lampio-2fc", "latch 2fc 00", {"2", "-1"}, IN2FC("00") OUT2FC("02"),
                 "latch 0x02fc 0x02\n"},
        led_case{"TranslatedLedsClearWithOne", "lampio-2fc", "latch 2fc 0f", {"8", "1", "16", "1"},
                 IN2FC("0f") OUT2FC("0e") IN2FC("0e") OUT2FC("0c"), "latch 0x02fc 0x0c\n"},
        led_case{"ZeroMaskMinusOneWritesTheByteBack", "lampio-2fc", "latch 2fc 5a", {"0", "-1", "0", "1"},
                 IN2FC("5a") OUT2FC("5a") IN2FC("5a"), "latch 0x02fc 0x5a\n"},
        led_case{"MultiBitMaskAnyBitCountsAsSet", "lampio-2fc", "latch 2fc 02", {"3", "-1", "3", "1"},
                 IN2FC("02") IN2FC("02") OUT2FC("00"), "latch 0x02fc 0x00\n"},
        led_case{"SetThenClearWritesTwice", "lampio-2fc", "latch 2fc a4", {"16", "-1", "16", "1"},
                 IN2FC("a4") OUT2FC("a6") IN2FC("a6") OUT2FC("a4"), "latch 0x02fc 0xa4\n"},
        led_case{"NoChangeNeededWritesNothing", "lampio-2fc", "latch 2fc 01", {"8", "-1", "16", "1", "2", "0"},
                 IN2FC("01") IN2FC("01") IN2FC("01"), "latch 0x02fc 0x01\n"},
        led_case{"RefusedPrivilegeTouchesNoPort", "lampio-2fc", "latch 2fc 03\niopl deny", {"8", "1"},
                 "iopl 3 -> EPERM\n", "latch 0x02fc 0x03\n"}),
    [](const testing::TestParamInfo<led_case> &i) { return std::string(i.param.name); });

} // namespace
