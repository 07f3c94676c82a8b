#include "host/sqlite_user_store.h"

#include <sqlite3.h>

namespace kxhost {

namespace {

constexpr const char* SCHEMA =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS user_property("
    "  user TEXT NOT NULL, id INTEGER NOT NULL, value TEXT NOT NULL, PRIMARY KEY (user, id));";

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* pDb, const char* pszSql) { sqlite3_prepare_v2(pDb, pszSql, -1, &m_pStatement, nullptr); }
    ~Statement() { sqlite3_finalize(m_pStatement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* Get() const { return m_pStatement; }

private:
    sqlite3_stmt* m_pStatement = nullptr;
};

}  // namespace

std::unique_ptr<SqliteUserStore> SqliteUserStore::Open(const std::string& sPath, std::string& sError) {
    sqlite3* pDb = nullptr;
    if (sqlite3_open_v2(sPath.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK ||
        sqlite3_busy_timeout(pDb, 1000) != SQLITE_OK || sqlite3_exec(pDb, SCHEMA, nullptr, nullptr, nullptr) != SQLITE_OK) {
        sError = "cannot open the user store " + sPath + ": " + (pDb == nullptr ? "out of memory" : sqlite3_errmsg(pDb));
        sqlite3_close(pDb);
        return nullptr;
    }
    return std::unique_ptr<SqliteUserStore>(new SqliteUserStore(pDb));
}

SqliteUserStore::~SqliteUserStore() { sqlite3_close(m_pDb); }

bool SqliteUserStore::Load(const std::string& sUser, std::map<DWORD, std::string>& values) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const Statement select(m_pDb, "SELECT id, value FROM user_property WHERE user = ?1");
    if (select.Get() == nullptr ||
        sqlite3_bind_text(select.Get(), 1, sUser.data(), static_cast<int>(sUser.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        return false;
    int nStep;
    while ((nStep = sqlite3_step(select.Get())) == SQLITE_ROW) {
        const auto* pText = reinterpret_cast<const char*>(sqlite3_column_text(select.Get(), 1));
        values[static_cast<DWORD>(sqlite3_column_int64(select.Get(), 0))] =
            std::string(pText == nullptr ? "" : pText, static_cast<size_t>(sqlite3_column_bytes(select.Get(), 1)));
    }
    return nStep == SQLITE_DONE;
}

bool SqliteUserStore::Save(const std::string& sUser, DWORD dwId, const std::string& sValue) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const Statement upsert(m_pDb,
                           "INSERT INTO user_property(user, id, value) VALUES (?1, ?2, ?3) "
                           "ON CONFLICT(user, id) DO UPDATE SET value = excluded.value");
    return upsert.Get() != nullptr &&
           sqlite3_bind_text(upsert.Get(), 1, sUser.data(), static_cast<int>(sUser.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK &&
           sqlite3_bind_int64(upsert.Get(), 2, dwId) == SQLITE_OK &&
           sqlite3_bind_text(upsert.Get(), 3, sValue.data(), static_cast<int>(sValue.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK &&
           sqlite3_step(upsert.Get()) == SQLITE_DONE;
}

}  // namespace kxhost
