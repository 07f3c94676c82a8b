// Writes trace lines from a process of its own, for the multi-process tests,
// and the number of lines the log lock dropped into FOLDER/TAG.dropped.
//   kx_trace_writer MODE FOLDER FILE SIZE_KB LINES COMMON_FILES TAG
#include <cstdlib>
#include <fstream>
#include <string>

#include "diagnostics/trace.h"
#include "diagnostics/trace_log.h"
#include "tests/support/fake_trace_settings.h"

int main(int argc, char** argv) {
    if (argc != 8) return 2;
    FakeTraceSettings settings;
    settings.m_numbers = {{SETTING_TRACE_SWITCH, 1}, {SETTING_LOG_MODE, std::atoi(argv[1])},
                          {SETTING_LOG_SIZE_KB, std::atoi(argv[4])}};
    settings.m_strings = {{SETTING_LOG_FOLDER, argv[2]}, {SETTING_PRODUCT_LOG_NAME, argv[3]}};
    settings.m_sCommonFiles = argv[6];
    InitTrace(settings, "KX_ServiceWorker.dll", -1);
    const int nLines = std::atoi(argv[5]);
    for (int n = 0; n < nLines; ++n) Trace("%s-%d.", argv[7], n);
    FlushTrace(true);
    std::ofstream(std::string(argv[2]) + "/" + argv[7] + ".dropped") << GetTraceLogConfig().nDroppedLines;
    return 0;
}
