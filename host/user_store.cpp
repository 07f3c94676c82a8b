#include "host/user_store.h"

#include "host/redis_user_store.h"
#include "host/sqlite_user_store.h"

namespace kxhost {

std::unique_ptr<UserStore> OpenUserStore(const std::string& sLocation, std::string& sError) {
    if (sLocation.rfind("redis://", 0) == 0) return RedisUserStore::Open(sLocation, sError);
    return SqliteUserStore::Open(sLocation, sError);
}

}  // namespace kxhost
