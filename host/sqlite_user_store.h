// User properties in a SQLite file: nothing to start, shared by the
// processes of one machine.
#ifndef KX_HOST_SQLITE_USER_STORE_H
#define KX_HOST_SQLITE_USER_STORE_H

#include <mutex>
#include <string>

#include "host/user_store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kxhost {

class SqliteUserStore : public UserStore {
public:
    ~SqliteUserStore() override;
    // The store in sPath, its table made when missing; null with sError when it cannot be.
    static std::unique_ptr<SqliteUserStore> Open(const std::string& sPath, std::string& sError);

    bool Load(const std::string& sUser, std::map<DWORD, std::string>& values) override;
    bool Save(const std::string& sUser, DWORD dwId, const std::string& sValue) override;

private:
    SqliteUserStore(sqlite3* pDb, sqlite3_stmt* pSelect, sqlite3_stmt* pUpsert)
        : m_pDb(pDb), m_pSelect(pSelect), m_pUpsert(pUpsert) {}
    std::mutex m_lock;  // guards the statements, which are prepared once
    sqlite3* m_pDb;
    sqlite3_stmt* m_pSelect;
    sqlite3_stmt* m_pUpsert;
};

}  // namespace kxhost

#endif  // KX_HOST_SQLITE_USER_STORE_H
