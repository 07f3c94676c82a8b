// User properties in a SQLite file: nothing to start, shared by the
// processes of one machine.
#ifndef KX_HOST_SQLITE_USER_STORE_H
#define KX_HOST_SQLITE_USER_STORE_H

#include <mutex>
#include <string>

#include "host/user_store.h"

struct sqlite3;

namespace kxhost {

class SqliteUserStore : public UserStore {
public:
    ~SqliteUserStore() override;
    // The store in sPath, its table made when missing; null with sError when it cannot be.
    static std::unique_ptr<SqliteUserStore> Open(const std::string& sPath, std::string& sError);

    bool Load(const std::string& sUser, std::map<DWORD, std::string>& values) override;
    bool Save(const std::string& sUser, DWORD dwId, const std::string& sValue) override;

private:
    explicit SqliteUserStore(sqlite3* pDb) : m_pDb(pDb) {}
    std::mutex m_lock;
    sqlite3* m_pDb;
};

}  // namespace kxhost

#endif  // KX_HOST_SQLITE_USER_STORE_H
