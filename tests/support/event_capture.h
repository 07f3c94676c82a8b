// Collects the events reported while it lives.
#ifndef KX_TESTS_EVENT_CAPTURE_H
#define KX_TESTS_EVENT_CAPTURE_H

#include <string>
#include <vector>

#include "diagnostics/event_log.h"

class EventCapture {
public:
    EventCapture() {
        Events().clear();
        SetEventSink(&Collect);
    }
    ~EventCapture() { SetEventSink(nullptr); }
    EventCapture(const EventCapture&) = delete;
    EventCapture& operator=(const EventCapture&) = delete;

    // Whether an event's first text holds the piece.
    bool Contains(const std::string& sPiece) const {
        for (const CEventRecord& event : Events())
            if (!event.strings.empty() && event.strings[0].find(sPiece) != std::string::npos) return true;
        return false;
    }
    size_t Count() const { return Events().size(); }

private:
    static std::vector<CEventRecord>& Events() {
        static std::vector<CEventRecord> s_events;
        return s_events;
    }
    static void Collect(const CEventRecord& event) { Events().push_back(event); }
};

#endif  // KX_TESTS_EVENT_CAPTURE_H
