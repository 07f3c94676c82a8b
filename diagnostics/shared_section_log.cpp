#include "diagnostics/shared_section_log.h"

#include <algorithm>
#include <cstring>

#include "diagnostics/log_format.h"

namespace {

// Room kept free at the end: a line that would end within it wraps.
constexpr int LINE_RESERVE = 257;

enum HeaderField { CURRENT, HIGH_WATER, WRAP, SIZE, FIELD_COUNT };

// Where writing resumes after a wrap; never inside the header.
int WrapTarget(int nWrapOffset) { return std::max(nWrapOffset, LOG_HEADER_SIZE); }

}  // namespace

bool CSharedSectionLog::Open(const std::string& sName, int cbMax, int nWrapOffset) {
    m_mapping = OpenSharedMemory(sName, static_cast<size_t>(cbMax), 0x7FFFFFFF);
    if (m_mapping.pView == nullptr) return false;
    char* pView = static_cast<char*>(m_mapping.pView);
    if (m_mapping.bCreated) {
        const int header[FIELD_COUNT] = {LOG_HEADER_SIZE, LOG_HEADER_SIZE, nWrapOffset, cbMax};
        WriteLogHeader(pView, header, FIELD_COUNT, false);
        m_cbMax = cbMax;
    } else {
        // Adopt the creator's size; the object must really be that large.
        int header[FIELD_COUNT];
        if (m_mapping.cbView < static_cast<size_t>(LOG_HEADER_SIZE + LINE_RESERVE) ||
            !ReadLogHeader(pView, m_mapping.cbView, header, FIELD_COUNT) ||
            header[SIZE] <= LOG_HEADER_SIZE + LINE_RESERVE || static_cast<size_t>(header[SIZE]) > m_mapping.cbView) {
            UnmapSharedMemory(m_mapping);
            return false;
        }
        m_cbMax = header[SIZE];
    }
    m_sName = sName;
    return true;
}

void CSharedSectionLog::Write(const std::string& sName, int cbMax, int nWrapOffset, const char* pLine, size_t cbLine) {
    if (IsMapped() && sName != m_sName) Release();
    if (!IsMapped() && !Open(sName, cbMax, nWrapOffset)) return;
    char* pView = static_cast<char*>(m_mapping.pView);

    // Another process may have written anything into the header: distrust it.
    int header[FIELD_COUNT] = {};
    int nCurrent = LOG_HEADER_SIZE, nHighWater = LOG_HEADER_SIZE;
    if (ReadLogHeader(pView, LOG_HEADER_SIZE, header, FIELD_COUNT)) {
        nCurrent = std::clamp(header[CURRENT], LOG_HEADER_SIZE, m_cbMax);
        nHighWater = std::clamp(header[HIGH_WATER], LOG_HEADER_SIZE, m_cbMax);
        nWrapOffset = header[WRAP];
    }
    const int nWrapTo = std::min(WrapTarget(nWrapOffset), m_cbMax - LINE_RESERVE);
    if (static_cast<long long>(nCurrent) + static_cast<long long>(cbLine) + LINE_RESERVE >= m_cbMax) nCurrent = nWrapTo;
    const size_t cbFits = std::min(cbLine, static_cast<size_t>(m_cbMax - nCurrent - 1));
    std::memcpy(pView + nCurrent, pLine, cbFits);
    nCurrent += static_cast<int>(cbFits);
    nHighWater = std::max(nHighWater, nCurrent);
    const int updated[FIELD_COUNT] = {nCurrent, nHighWater, nWrapOffset, m_cbMax};
    WriteLogHeader(pView, updated, FIELD_COUNT, false);
}

std::string CSharedSectionLog::Text() const {
    if (!IsMapped()) return {};
    const char* pView = static_cast<const char*>(m_mapping.pView);
    const size_t cbView = std::min(m_mapping.cbView, static_cast<size_t>(m_cbMax));
    return std::string(pView, strnlen(pView, cbView));
}

void CSharedSectionLog::Release() {
    UnmapSharedMemory(m_mapping);
    m_sName.clear();
    m_cbMax = 0;
}
