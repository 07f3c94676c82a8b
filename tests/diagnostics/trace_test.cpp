#include <gtest/gtest.h>

#include <string>

#include "diagnostics/trace.h"
#include "tests/support/trace_capture.h"

namespace {

int g_nSinkCalls = 0;
void CountingSink(const char*, size_t) { ++g_nSinkCalls; }

TEST(Trace, LevelZeroNeverCallsTheSink) {
    SetTraceSink(&CountingSink);
    SetTraceLevel(0);
    g_nSinkCalls = 0;
    Trace("nothing %s", "here");
    TraceError(2, "nothing %d", 1);
    EXPECT_EQ(g_nSinkCalls, 0);
    SetTraceSink(nullptr);
}

TEST(Trace, ControlCharactersInTracedValuesCannotForgeALine) {
    TraceCapture trace;
    Trace("[extractCookie] cookie:<%s>", "a=1\r\n2026/12/06 10:00:00.000 1 [KX] forged\x01\x7f\tend");
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0],
              "[extractCookie] cookie:<a=1\\r\\n2026/12/06 10:00:00.000 1 [KX] forged\\x01\\x7f\tend>");
}

TEST(Trace, LongMessagesAreCutTo4096Bytes) {
    TraceCapture trace;
    const std::string sLong(5000, 'x');
    Trace("%s", sLong.c_str());
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0], sLong.substr(0, 4096));
}

TEST(Trace, ErrorLinesCarryTheSystemText) {
    TraceCapture trace;
    TraceError(0x7ABCDEF, "GetIISParmT %s failed Error: %d", "LOCAL_ADDR", 0x7ABCDEF);
    TraceError(2, "open %s", "SWSettings.xml");
    const auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "GetIISParmT LOCAL_ADDR failed Error: 128699887   ") << "no text: three blanks";
    EXPECT_EQ(lines[1], "open SWSettings.xml   The system cannot find the file specified.");
}

TEST(Trace, ErrorMessagesAreCutTo512Bytes) {
    TraceCapture trace;
    const std::string sLong(3000, 'y');
    TraceError(2, "%s", sLong.c_str());
    ASSERT_EQ(trace.Lines().size(), 1u);
    EXPECT_EQ(trace.Lines()[0], sLong.substr(0, 511) + "   The system cannot find the file specified.");
}

}  // namespace
