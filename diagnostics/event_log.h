// Operator-relevant events, reported to the system log.
#ifndef KX_DIAGNOSTICS_EVENT_LOG_H
#define KX_DIAGNOSTICS_EVENT_LOG_H

#include <cstdint>
#include <string>
#include <vector>

#include "base/printf_format.h"
#include "base/win_errors.h"

// One reported event, as a sink receives it.
struct CEventRecord {
    std::string sSource;
    uint16_t wType;  // 1 error, 2 warning, else information
    uint16_t wCategory;
    DWORD dwEventId;
    std::vector<std::string> strings;
};

typedef void (*EventSink)(const CEventRecord& event);

// Replaces where events go (the system log); null restores it.
void SetEventSink(EventSink pfnSink);

class CEventLog {
public:
    static constexpr const char* DEFAULT_SOURCE = "Quorvane Ombrel";
    static constexpr size_t MAX_STRINGS = 6;

    CEventLog() = default;
    ~CEventLog() { Close(); }
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    // Registers the source once; a second call does nothing.
    bool Register(const char* pszSourceName = DEFAULT_SOURCE);
    bool IsRegistered() const { return m_bRegistered; }
    // 87 when not registered. ppStrings is a null-terminated list; the first
    // six are taken. The raw data is not kept by the system log.
    DWORD Report(uint16_t wType, uint16_t wCategory, DWORD dwEventId, DWORD cbRawData, const void* pRawData,
                 const char* const* ppStrings);
    DWORD Close();

    // The message ids the settings object uses: initialisation succeeded,
    // initialisation failed, free text.
    void SetMessageIds(DWORD dwSuccess, DWORD dwFailure, DWORD dwError);
    DWORD SuccessId() const { return m_dwSuccessId; }
    DWORD FailureId() const { return m_dwFailureId; }
    DWORD ErrorId() const { return m_dwErrorId; }

    // Formats (at most 2048 characters) and reports the text with the free
    // text id; an empty text is not reported.
    DWORD ReportEventf(uint16_t wType, const char* pszFormat, ...) KX_PRINTF_FORMAT(3, 4);
    // The same, as "ERROR: <system text>. <text>".
    DWORD ReportErrorf(DWORD dwError, uint16_t wType, const char* pszFormat, ...) KX_PRINTF_FORMAT(4, 5);

private:
    DWORD ReportText(uint16_t wType, const std::string& sText);

    bool m_bRegistered = false;
    std::string m_sSource;
    DWORD m_dwSuccessId = 0;
    DWORD m_dwFailureId = 0;
    DWORD m_dwErrorId = 0;
};

#endif  // KX_DIAGNOSTICS_EVENT_LOG_H
