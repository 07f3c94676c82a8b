#include "host/sqlite_user_store.h"

#include <sqlite3.h>

namespace kxhost {

namespace {

constexpr const char* SCHEMA =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS user_property("
    "  user TEXT NOT NULL, id INTEGER NOT NULL, value TEXT NOT NULL, PRIMARY KEY (user, id));";

constexpr const char* SELECT_SQL = "SELECT id, value FROM user_property WHERE user = ?1";
constexpr const char* UPSERT_SQL =
    "INSERT INTO user_property(user, id, value) VALUES (?1, ?2, ?3) "
    "ON CONFLICT(user, id) DO UPDATE SET value = excluded.value";

// Makes a statement ready for its next use, whatever the last one left.
class Reset {
public:
    explicit Reset(sqlite3_stmt* pStatement) : m_pStatement(pStatement) {}
    ~Reset() {
        sqlite3_reset(m_pStatement);
        sqlite3_clear_bindings(m_pStatement);
    }
    Reset(const Reset&) = delete;
    Reset& operator=(const Reset&) = delete;

private:
    sqlite3_stmt* m_pStatement;
};

}  // namespace

std::unique_ptr<SqliteUserStore> SqliteUserStore::Open(const std::string& sPath, std::string& sError) {
    sqlite3* pDb = nullptr;
    sqlite3_stmt* pSelect = nullptr;
    sqlite3_stmt* pUpsert = nullptr;
    if (sqlite3_open_v2(sPath.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK ||
        sqlite3_busy_timeout(pDb, 1000) != SQLITE_OK || sqlite3_exec(pDb, SCHEMA, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(pDb, SELECT_SQL, -1, &pSelect, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(pDb, UPSERT_SQL, -1, &pUpsert, nullptr) != SQLITE_OK) {
        sError = "cannot open the user store " + sPath + ": " + (pDb == nullptr ? "out of memory" : sqlite3_errmsg(pDb));
        sqlite3_finalize(pSelect);
        sqlite3_finalize(pUpsert);
        sqlite3_close(pDb);
        return nullptr;
    }
    return std::unique_ptr<SqliteUserStore>(new SqliteUserStore(pDb, pSelect, pUpsert));
}

SqliteUserStore::~SqliteUserStore() {
    sqlite3_finalize(m_pSelect);
    sqlite3_finalize(m_pUpsert);
    sqlite3_close(m_pDb);
}

bool SqliteUserStore::Load(const std::string& sUser, std::map<DWORD, std::string>& values) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const Reset reset(m_pSelect);
    if (sqlite3_bind_text(m_pSelect, 1, sUser.data(), static_cast<int>(sUser.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        return false;
    int nStep;
    while ((nStep = sqlite3_step(m_pSelect)) == SQLITE_ROW) {
        const auto* pText = reinterpret_cast<const char*>(sqlite3_column_text(m_pSelect, 1));
        values[static_cast<DWORD>(sqlite3_column_int64(m_pSelect, 0))] =
            std::string(pText == nullptr ? "" : pText, static_cast<size_t>(sqlite3_column_bytes(m_pSelect, 1)));
    }
    return nStep == SQLITE_DONE;
}

bool SqliteUserStore::Save(const std::string& sUser, DWORD dwId, const std::string& sValue) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const Reset reset(m_pUpsert);
    return sqlite3_bind_text(m_pUpsert, 1, sUser.data(), static_cast<int>(sUser.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK &&
           sqlite3_bind_int64(m_pUpsert, 2, dwId) == SQLITE_OK &&
           sqlite3_bind_text(m_pUpsert, 3, sValue.data(), static_cast<int>(sValue.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK &&
           sqlite3_step(m_pUpsert) == SQLITE_DONE;
}

}  // namespace kxhost
