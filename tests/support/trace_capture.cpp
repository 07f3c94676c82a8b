#include "tests/support/trace_capture.h"

#include <algorithm>
#include <mutex>

#include "diagnostics/trace.h"

namespace {

std::mutex g_mutex;
std::vector<std::string> g_lines;

void CaptureSink(const char* pszLine, size_t cbLine) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_lines.emplace_back(pszLine, cbLine);
}

}  // namespace

TraceCapture::TraceCapture() {
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        g_lines.clear();
    }
    SetTraceSink(&CaptureSink);
    SetTraceLevel(TRACE_LEVEL_LOG);
}

TraceCapture::~TraceCapture() {
    SetTraceLevel(0);
    SetTraceSink(nullptr);
}

std::vector<std::string> TraceCapture::Lines() const {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_lines;
}

bool TraceCapture::Contains(const std::string& sLine) const {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), sLine) != lines.end();
}

int TraceCapture::SinkCalls() const { return static_cast<int>(Lines().size()); }
