#include "holidays/holiday_attempts.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr uint64_t TICKS_PER_MINUTE = 600000000ull;

}  // namespace

bool CHolidayAttempts::MayStart(const std::string& sUser, bool bImport, const std::string& sHash,
                                int nRetryMinutes, FILETIME64 now) {
    CCritSecLock guard(m_lock);
    CUserRecord& record = m_users[sUser];
    std::string& sLastHash = bImport ? record.sImportHash : record.sDeleteHash;
    FILETIME64& tried = bImport ? record.importTried : record.deleteTried;
    if (sLastHash == sHash && tried != 0 && now >= tried &&
        (now - tried) / TICKS_PER_MINUTE < static_cast<uint64_t>(std::max(nRetryMinutes, 0)))
        return false;
    sLastHash = sHash;
    tried = now;
    return true;
}
