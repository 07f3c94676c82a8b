#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "diagnostics/event_log.h"
#include "platform/module_path.h"
#include "settings/kx_general_settings.h"
#include "tests/support/trace_capture.h"

namespace {

std::vector<CEventRecord> g_events;
void Collect(const CEventRecord& event) { g_events.push_back(event); }

// The test program lies in <build>/tests/unit/bin/: its "product folder" is
// <build>/tests/unit/, which has no Settings/ folder, so the start fails as
// for a broken install.
TEST(GeneralSettings, MissingSettingsFailTheStartAndAreReported) {
    const std::filesystem::path program = GetOwnModuleFileName();
    ASSERT_FALSE(std::filesystem::exists(program.parent_path().parent_path() / "Settings"))
        << "the test needs a product folder without settings: " << program;
    TraceCapture trace;
    SetEventSink(&Collect);
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    pSettings->SetEventIds(0x60000065, 0xE0000067, 0x60000068);
    EXPECT_FALSE(pSettings->Init("Quorvane Kalyxa", "KX_ServiceWorker.dll", "KXRes.dll", "Software\\Quorvane\\Kalyxa", 1));
    EXPECT_FALSE(pSettings->IsInitialized());
    SetEventSink(nullptr);
    ASSERT_GE(g_events.size(), 2u);
    EXPECT_EQ(g_events.back().dwEventId, 0xE0000067u);
    EXPECT_EQ(g_events.back().wType, EVENTLOG_ERROR_TYPE);
    bool bTextReported = false;
    for (const CEventRecord& event : g_events)
        bTextReported = bTextReported || (event.dwEventId == 0x60000068u && !event.strings.empty() &&
                                          event.strings[0].find("Loading Settings failed") != std::string::npos);
    EXPECT_TRUE(bTextReported);
    EXPECT_EQ(g_events.front().sSource, "Quorvane Kalyxa");
}

}  // namespace
