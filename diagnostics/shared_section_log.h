// The trace log kept in a named shared-memory section that every worker
// process opening the same name writes into. The first 100 bytes are the
// header "current, high-water, wrap, size"; lines follow and wrap around.
#ifndef KX_DIAGNOSTICS_SHARED_SECTION_LOG_H
#define KX_DIAGNOSTICS_SHARED_SECTION_LOG_H

#include <string>

#include "platform/shared_section.h"

class CSharedSectionLog {
public:
    CSharedSectionLog() = default;
    ~CSharedSectionLog() { Release(); }
    CSharedSectionLog(const CSharedSectionLog&) = delete;
    CSharedSectionLog& operator=(const CSharedSectionLog&) = delete;

    enum Outcome { WRITTEN, UNAVAILABLE, REFUSED };

    // Writes one line, opening or creating the section sName first. The
    // creator sizes it cbMax; an opener adopts the size in the header. A
    // section that cannot be opened, or whose header makes no sense, leaves
    // the line unwritten (UNAVAILABLE) and is tried again on the next line;
    // one that another account made, or with a wider mode, is REFUSED.
    Outcome Write(const std::string& sName, int cbMax, int nWrapOffset, const char* pLine, size_t cbLine);

    bool IsMapped() const { return m_section.IsOpen(); }
    const std::string& Name() const { return m_sName; }
    int MaxSize() const { return m_cbMax; }
    // The section's text from its start to the first zero byte.
    std::string Text() const;
    void Release();

private:
    Outcome Open(const std::string& sName, int cbMax, int nWrapOffset);

    CSharedSection m_section;
    std::string m_sName;
    int m_cbMax = 0;  // the size recorded in the header
};

#endif  // KX_DIAGNOSTICS_SHARED_SECTION_LOG_H
