#include "settings/basic_settings.h"

#include <algorithm>
#include <cstdint>

#include "base/win_errors.h"
#include "diagnostics/trace.h"

namespace {

constexpr FILETIME64 TICKS_PER_MINUTE = 60ull * 10000000ull;

}  // namespace

int32_t DecimalValue(std::u16string_view sText) {
    size_t n = 0;
    while (n < sText.size() && (sText[n] == ' ' || (sText[n] >= 9 && sText[n] <= 13))) ++n;
    bool bNegative = false;
    if (n < sText.size() && (sText[n] == '-' || sText[n] == '+')) bNegative = sText[n++] == '-';
    int64_t nValue = 0;
    for (; n < sText.size() && sText[n] >= '0' && sText[n] <= '9'; ++n) {
        nValue = nValue * 10 + (sText[n] - '0');
        if (nValue > INT32_MAX) nValue = static_cast<int64_t>(INT32_MAX) + 1;  // saturates below
    }
    if (bNegative) nValue = -nValue;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, nValue)));
}

HRESULT CBasicSettings::GetFileDate(const std::string& sPath, FILETIME64& fileDate) {
    return HResultFromWin32(GetFileLastWriteTime(sPath, fileDate));
}

void CBasicSettings::MarkLoaded(const std::string& sPath) {
    if (m_path != sPath) m_path = sPath;
    m_sLastFailure.clear();
    m_lastCheck = FileTimeNow();
    m_fileDate = m_lastCheck.load();
    HashFileDate();
}

namespace {

bool IntervalPassed(FILETIME64 lastCheck, FILETIME64 now, int nRefreshMinutes) {
    const int64_t nMinutes = now >= lastCheck ? static_cast<int64_t>((now - lastCheck) / TICKS_PER_MINUTE) : 0;
    return nMinutes >= nRefreshMinutes;
}

}  // namespace

bool CBasicSettings::PeekRefreshNeeded() const {
    FILETIME64 fileDate = 0;
    return !m_path.empty() && IntervalPassed(m_lastCheck, FileTimeNow(), m_refreshMinutes) &&
           GetFileDate(m_path, fileDate) == 0 && fileDate > m_fileDate;
}

bool CBasicSettings::IsCheckDue() const { return IntervalPassed(m_lastCheck, FileTimeNow(), m_refreshMinutes); }

HRESULT CBasicSettings::IsRefreshNeeded(bool& bReload, FILETIME64& newFileDate) {
    bReload = false;
    const FILETIME64 now = FileTimeNow();
    if (!IntervalPassed(m_lastCheck, now, m_refreshMinutes) || m_path.empty()) return 0;
    FILETIME64 fileDate = 0;
    const HRESULT hr = GetFileDate(m_path, fileDate);
    if (hr != 0) {
        Trace("GetFileDate %s 0x%x", m_path.c_str(), static_cast<unsigned>(hr));
        return hr;
    }
    if (fileDate <= m_fileDate) {
        m_lastCheck = now;
        return 0;
    }
    bReload = true;
    newFileDate = fileDate;
    if (IsTraceOn()) {
        const CFileTimeParts current = SplitFileTime(fileDate), previous = SplitFileTime(m_fileDate);
        Trace("Reload Settings %s. Curent LastModifiedDate %d.%d.%d - %d:%d:%d:%d Interval: %d minutes", m_path.c_str(),
              current.nDay, current.nMonth, current.nYear, current.nHour, current.nMinute, current.nSecond,
              current.nMillisecond, m_refreshMinutes.load());
        Trace("Previous LastModifiedDate %d.%d.%d - %d:%d:%d:%d", previous.nDay, previous.nMonth, previous.nYear,
              previous.nHour, previous.nMinute, previous.nSecond, previous.nMillisecond);
    }
    return 0;
}

void CBasicSettings::CommitCheck(FILETIME64 newFileDate) {
    m_fileDate = newFileDate;
    m_lastCheck = FileTimeNow();
}

HRESULT CBasicSettings::Reload() {
    const std::string sPath = m_path;  // Load may store it again
    const HRESULT hr = Load(sPath);
    if (hr != 0) Trace("Refresh failed to load %s HR= 0x%x", sPath.c_str(), static_cast<unsigned>(hr));
    HashFileDate();
    return hr;
}

void CBasicSettings::HashFileDate() {
    FILETIME64 fileDate = 0;
    const HRESULT hr = GetFileDate(m_path, fileDate);
    if (hr != 0)
        Trace("CBasicSettings::HashFileDate failed to read filedate %s. HR 0x%x", m_path.c_str(), static_cast<unsigned>(hr));
    else
        m_fileDate = fileDate;
    const FILETIME64 date = m_fileDate;
    const std::string sText =
        std::to_string(static_cast<uint32_t>(date)) + "_" + std::to_string(static_cast<uint32_t>(date >> 32));
    uint32_t nHash = 0;
    for (char ch : sText) nHash = nHash * 33 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(ch)));
    m_hash = std::to_string(nHash);
}
