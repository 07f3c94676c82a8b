// Turns tracing on for a test and collects the lines.
#ifndef KX_TESTS_TRACE_CAPTURE_H
#define KX_TESTS_TRACE_CAPTURE_H

#include <string>
#include <vector>

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(const std::string& sLine) const;
    int SinkCalls() const;
};

#endif  // KX_TESTS_TRACE_CAPTURE_H
