#include "host/redis_user_store.h"

#include <hiredis/hiredis.h>

#include <cstdlib>

namespace kxhost {

namespace {

constexpr timeval TIMEOUT = {0, 250 * 1000};

std::string KeyOf(const std::string& sUser) { return "kx:userprops:" + sUser; }

// A reply, freed when it goes.
class Reply {
public:
    explicit Reply(void* pReply) : m_pReply(static_cast<redisReply*>(pReply)) {}
    ~Reply() {
        if (m_pReply != nullptr) freeReplyObject(m_pReply);
    }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    const redisReply* operator->() const { return m_pReply; }
    explicit operator bool() const { return m_pReply != nullptr && m_pReply->type != REDIS_REPLY_ERROR; }

private:
    redisReply* m_pReply;
};

bool ParseNumber(const std::string& sText, int nMax, int& nValue) {
    if (sText.empty() || sText.size() > 5 || sText.find_first_not_of("0123456789") != std::string::npos) return false;
    nValue = std::atoi(sText.c_str());
    return nValue <= nMax;
}

}  // namespace

std::unique_ptr<RedisUserStore> RedisUserStore::Open(const std::string& sUri, std::string& sError) {
    constexpr std::string_view SCHEME = "redis://";
    if (sUri.compare(0, SCHEME.size(), SCHEME) != 0) {
        sError = "not a Redis address: " + sUri;
        return nullptr;
    }
    std::unique_ptr<RedisUserStore> spStore(new RedisUserStore());
    std::string sRest = sUri.substr(SCHEME.size());
    const size_t nAt = sRest.rfind('@');
    if (nAt != std::string::npos) {
        const std::string sCredentials = sRest.substr(0, nAt);
        const size_t nColon = sCredentials.find(':');
        spStore->m_sPassword = nColon == std::string::npos ? std::string() : sCredentials.substr(nColon + 1);
        sRest = sRest.substr(nAt + 1);
    }
    const size_t nSlash = sRest.find('/');
    const std::string sAuthority = sRest.substr(0, nSlash);
    const size_t nColon = sAuthority.rfind(':');
    spStore->m_sHost = sAuthority.substr(0, nColon);
    const bool bValid = !spStore->m_sHost.empty() &&
                  (nColon == std::string::npos || ParseNumber(sAuthority.substr(nColon + 1), 65535, spStore->m_nPort)) &&
                  (nSlash == std::string::npos || nSlash + 1 == sRest.size() ||
                   ParseNumber(sRest.substr(nSlash + 1), 65535, spStore->m_nDb));
    if (!bValid) {
        sError = "not a Redis address: " + sUri;
        return nullptr;
    }
    return spStore;
}

RedisUserStore::~RedisUserStore() { Drop(); }

void RedisUserStore::Drop() {
    if (m_pContext != nullptr) redisFree(m_pContext);
    m_pContext = nullptr;
}

redisContext* RedisUserStore::Connection() {
    if (m_pContext != nullptr) return m_pContext;
    m_pContext = redisConnectWithTimeout(m_sHost.c_str(), m_nPort, TIMEOUT);
    if (m_pContext == nullptr || m_pContext->err != 0 || redisSetTimeout(m_pContext, TIMEOUT) != REDIS_OK) {
        Drop();
        return nullptr;
    }
    bool bReady = true;
    if (!m_sPassword.empty())
        bReady = static_cast<bool>(Reply(redisCommand(m_pContext, "AUTH %b", m_sPassword.data(), m_sPassword.size())));
    if (bReady && m_nDb != 0) bReady = static_cast<bool>(Reply(redisCommand(m_pContext, "SELECT %d", m_nDb)));
    if (!bReady) Drop();
    return m_pContext;
}

bool RedisUserStore::Load(const std::string& sUser, std::map<DWORD, std::string>& values) {
    const std::lock_guard<std::mutex> guard(m_lock);
    redisContext* pContext = Connection();
    if (pContext == nullptr) return false;
    const std::string sKey = KeyOf(sUser);
    const Reply reply(redisCommand(pContext, "HGETALL %b", sKey.data(), sKey.size()));
    if (!reply || reply->type != REDIS_REPLY_ARRAY) {
        Drop();
        return false;
    }
    for (size_t n = 0; n + 1 < reply->elements; n += 2) {
        const redisReply* pField = reply->element[n];
        const redisReply* pValue = reply->element[n + 1];
        if (pField->type != REDIS_REPLY_STRING || pValue->type != REDIS_REPLY_STRING) continue;
        const std::string sField(pField->str, pField->len);
        if (sField.size() > 10 || sField.find_first_not_of("0123456789") != std::string::npos || sField.empty())
            continue;
        values[static_cast<DWORD>(std::strtoul(sField.c_str(), nullptr, 10))] = std::string(pValue->str, pValue->len);
    }
    return true;
}

bool RedisUserStore::Save(const std::string& sUser, DWORD dwId, const std::string& sValue) {
    const std::lock_guard<std::mutex> guard(m_lock);
    redisContext* pContext = Connection();
    if (pContext == nullptr) return false;
    const std::string sKey = KeyOf(sUser);
    const std::string sField = std::to_string(dwId);
    const Reply reply(redisCommand(pContext, "HSET %b %b %b", sKey.data(), sKey.size(), sField.data(), sField.size(),
                                   sValue.data(), sValue.size()));
    if (!reply) Drop();
    return static_cast<bool>(reply);
}

}  // namespace kxhost
