#include "diagnostics/shared_section_log.h"

#include <algorithm>
#include <cstring>

#include "diagnostics/log_format.h"

namespace {

// Room kept free at the end: a line that would end within it wraps.
constexpr int LINE_RESERVE = 257;

enum HeaderField { FIELD_CURRENT, FIELD_HIGH_WATER, FIELD_WRAP, FIELD_SIZE, FIELD_COUNT };

bool WriteAllAt(const CSharedSection& section, const char* pData, size_t cbData, uint64_t qwOffset) {
    return section.WriteAt(pData, cbData, qwOffset) == cbData;
}

// Where writing resumes after a wrap; never inside the header.
int WrapTarget(int nWrapOffset) { return std::max(nWrapOffset, LOG_HEADER_SIZE); }

}  // namespace

CSharedSectionLog::Outcome CSharedSectionLog::Open(const std::string& sName, int cbMax, int nWrapOffset) {
    const CSharedSection::Opened opened = m_section.Open(sName, static_cast<size_t>(cbMax));
    if (opened == CSharedSection::REFUSED) return REFUSED;
    if (opened == CSharedSection::UNAVAILABLE) return UNAVAILABLE;
    char szHeader[LOG_HEADER_SIZE];
    if (opened == CSharedSection::CREATED) {
        const int header[FIELD_COUNT] = {LOG_HEADER_SIZE, LOG_HEADER_SIZE, nWrapOffset, cbMax};
        WriteLogHeader(szHeader, header, FIELD_COUNT, false);
        if (!WriteAllAt(m_section, szHeader, sizeof(szHeader), 0)) {
            m_section.Close();
            return UNAVAILABLE;
        }
        m_cbMax = cbMax;
    } else {
        // Adopt the creator's size.
        int header[FIELD_COUNT];
        const size_t cbRead = m_section.ReadAt(szHeader, sizeof(szHeader), 0);
        if (cbRead < sizeof(szHeader) || !ReadLogHeader(szHeader, cbRead, header, FIELD_COUNT) ||
            header[FIELD_SIZE] <= LOG_HEADER_SIZE + LINE_RESERVE) {
            m_section.Close();
            return UNAVAILABLE;
        }
        m_cbMax = header[FIELD_SIZE];
    }
    m_sName = sName;
    return WRITTEN;
}

CSharedSectionLog::Outcome CSharedSectionLog::Write(const std::string& sName, int cbMax, int nWrapOffset,
                                                    const char* pLine, size_t cbLine) {
    if (IsMapped() && sName != m_sName) Release();
    if (!IsMapped()) {
        const Outcome outcome = Open(sName, cbMax, nWrapOffset);
        if (outcome != WRITTEN) return outcome;
    }

    // Another process may have written anything into the header: distrust it.
    char szHeader[LOG_HEADER_SIZE];
    int header[FIELD_COUNT] = {};
    int nCurrent = LOG_HEADER_SIZE, nHighWater = LOG_HEADER_SIZE;
    const size_t cbRead = m_section.ReadAt(szHeader, sizeof(szHeader), 0);
    if (ReadLogHeader(szHeader, cbRead, header, FIELD_COUNT)) {
        nCurrent = std::clamp(header[FIELD_CURRENT], LOG_HEADER_SIZE, m_cbMax);
        nHighWater = std::clamp(header[FIELD_HIGH_WATER], LOG_HEADER_SIZE, m_cbMax);
        nWrapOffset = header[FIELD_WRAP];
    }
    const int nWrapTo = std::min(WrapTarget(nWrapOffset), m_cbMax - LINE_RESERVE);
    if (static_cast<long long>(nCurrent) + static_cast<long long>(cbLine) + LINE_RESERVE >= m_cbMax) nCurrent = nWrapTo;
    const size_t cbFits = std::min(cbLine, static_cast<size_t>(m_cbMax - nCurrent - 1));
    if (!WriteAllAt(m_section, pLine, cbFits, static_cast<uint64_t>(nCurrent))) return UNAVAILABLE;
    nCurrent += static_cast<int>(cbFits);
    nHighWater = std::max(nHighWater, nCurrent);
    const int updated[FIELD_COUNT] = {nCurrent, nHighWater, nWrapOffset, m_cbMax};
    WriteLogHeader(szHeader, updated, FIELD_COUNT, false);
    WriteAllAt(m_section, szHeader, sizeof(szHeader), 0);
    return WRITTEN;
}

std::string CSharedSectionLog::Text() const {
    if (!IsMapped()) return {};
    std::string sText(static_cast<size_t>(m_cbMax), '\0');
    sText.resize(m_section.ReadAt(sText.data(), sText.size(), 0));
    sText.resize(strnlen(sText.data(), sText.size()));
    return sText;
}

void CSharedSectionLog::Release() {
    m_section.Close();
    m_sName.clear();
    m_cbMax = 0;
}
