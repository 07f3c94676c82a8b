// When holiday work was last started for each user: a run for the same
// file waits the retry time before it is started again.
#ifndef KX_HOLIDAYS_HOLIDAY_ATTEMPTS_H
#define KX_HOLIDAYS_HOLIDAY_ATTEMPTS_H

#include <map>
#include <string>

#include "base/sync.h"
#include "platform/file_time.h"

class CHolidayAttempts {
public:
    // Whether a run for the hash may start at `now` (none started for it
    // within the last nRetryMinutes whole minutes); marks it started. A
    // clock set back counts as the wait passed.
    bool MayStart(const std::string& sUser, bool bImport, const std::string& sHash, int nRetryMinutes,
                  FILETIME64 now);

private:
    struct CUserRecord {
        std::string sImportHash;
        std::string sDeleteHash;
        FILETIME64 importTried = 0;
        FILETIME64 deleteTried = 0;
    };
    CCritSec m_lock;
    std::map<std::string, CUserRecord> m_users;
};

#endif  // KX_HOLIDAYS_HOLIDAY_ATTEMPTS_H
