#include "components/redis_cache_store.h"

#include <hiredis/hiredis.h>

#include <charconv>

#include "base/win_errors.h"
#include "components/memory_cache_store.h"
#include "diagnostics/trace.h"

namespace {

const HRESULT HR_NOT_FOUND = HResultFromWin32(ERROR_NOT_FOUND);
const HRESULT HR_TIMEOUT = HResultFromWin32(ERROR_TIMEOUT);
constexpr size_t MAX_IDLE_CONNECTIONS = 16;

// KEYS: item, index. ARGV: data, lifetime in seconds, item bound.
constexpr const char* ADD_SCRIPT = R"lua(
local ttl = tonumber(ARGV[2])
redis.call('SET', KEYS[1], ARGV[1], 'EX', ttl)
local t = redis.call('TIME')
local now = t[1] * 1000 + math.floor(t[2] / 1000)
redis.call('ZADD', KEYS[2], now, KEYS[1])
redis.call('ZREMRANGEBYSCORE', KEYS[2], '-inf', now - ttl * 1000)
local excess = redis.call('ZCARD', KEYS[2]) - tonumber(ARGV[3])
if excess > 0 then
  local old = redis.call('ZRANGE', KEYS[2], 0, excess - 1)
  redis.call('ZREMRANGEBYRANK', KEYS[2], 0, excess - 1)
  for _, key in ipairs(old) do redis.call('DEL', key) end
end
redis.call('EXPIRE', KEYS[2], ttl)
return 1
)lua";

// KEYS: item, index. Marks the item used.
constexpr const char* GET_SCRIPT = R"lua(
local v = redis.call('GET', KEYS[1])
if v then
  local t = redis.call('TIME')
  redis.call('ZADD', KEYS[2], 'XX', t[1] * 1000 + math.floor(t[2] / 1000), KEYS[1])
end
return v
)lua";

bool ParseNumber(std::string_view sText, int& nValue) {
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return error == std::errc() && pEnd == sText.data() + sText.size() && nValue >= 0;
}

// One command, its words binary-safe; null when the connection failed.
redisReply* Command(redisContext* pContext, const std::vector<std::string>& words) {
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const std::string& sWord : words) {
        argv.push_back(sWord.data());
        lengths.push_back(sWord.size());
    }
    return static_cast<redisReply*>(
        redisCommandArgv(pContext, static_cast<int>(argv.size()), argv.data(), lengths.data()));
}

// Keys of one cache share a prefix; the cache name is length-prefixed so
// that no name and key can make another cache's key.
std::string Prefix(const std::string& sName) { return "kx:" + std::to_string(sName.size()) + ":" + sName + ":"; }

}  // namespace

bool CRedisAddress::Parse(const std::string& sUri, CRedisAddress& address) {
    constexpr std::string_view SCHEME = "redis://";
    if (sUri.compare(0, SCHEME.size(), SCHEME) != 0) return false;
    std::string_view sRest = std::string_view(sUri).substr(SCHEME.size());
    CRedisAddress parsed;
    if (const size_t nAt = sRest.rfind('@'); nAt != std::string_view::npos) {
        const std::string_view sCredentials = sRest.substr(0, nAt);
        const size_t nColon = sCredentials.find(':');
        if (nColon == std::string_view::npos) return false;
        parsed.sUser = sCredentials.substr(0, nColon);
        parsed.sPassword = sCredentials.substr(nColon + 1);
        sRest.remove_prefix(nAt + 1);
    }
    if (const size_t nSlash = sRest.find('/'); nSlash != std::string_view::npos) {
        if (!ParseNumber(sRest.substr(nSlash + 1), parsed.nDatabase)) return false;
        sRest = sRest.substr(0, nSlash);
    }
    if (const size_t nColon = sRest.rfind(':'); nColon != std::string_view::npos) {
        if (!ParseNumber(sRest.substr(nColon + 1), parsed.nPort) || parsed.nPort == 0 || parsed.nPort > 65535)
            return false;
        sRest = sRest.substr(0, nColon);
    }
    if (sRest.empty()) return false;
    parsed.sHost = sRest;
    address = std::move(parsed);
    return true;
}

void CRedisCacheStore::CContextDeleter::operator()(redisContext* pContext) const { redisFree(pContext); }

CRedisCacheStore::CRedisCacheStore(CRedisAddress address, int nTimeoutMs)
    : m_address(std::move(address)), m_nTimeoutMs(nTimeoutMs) {}

CRedisCacheStore::~CRedisCacheStore() = default;

HRESULT CRedisCacheStore::CreateCache(const std::string& sName, long nMaxItems, long nLifetimeMinutes) {
    if (sName.empty() || nMaxItems <= 0 || nLifetimeMinutes <= 0) return E_INVALIDARG;
    const std::lock_guard<std::mutex> guard(m_lock);
    m_bounds.insert_or_assign(sName, CBounds{nMaxItems, nLifetimeMinutes * 60});
    return S_OK;
}

bool CRedisCacheStore::FindBounds(const std::string& sName, CBounds& bounds) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_bounds.find(sName);
    if (it == m_bounds.end()) return false;
    bounds = it->second;
    return true;
}

void CRedisCacheStore::Failed() {
    m_nRetryAt = CMemoryCacheStore::SteadyMilliseconds() + BACKOFF_MS;
}

CRedisCacheStore::ContextPtr CRedisCacheStore::Acquire() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (!m_idle.empty()) {
            ContextPtr spContext = std::move(m_idle.back());
            m_idle.pop_back();
            return spContext;
        }
    }
    if (CMemoryCacheStore::SteadyMilliseconds() < m_nRetryAt) return nullptr;
    const timeval timeout{m_nTimeoutMs / 1000, (m_nTimeoutMs % 1000) * 1000};
    ContextPtr spContext(redisConnectWithTimeout(m_address.sHost.c_str(), m_address.nPort, timeout));
    if (!spContext || spContext->err != 0 || redisSetTimeout(spContext.get(), timeout) != REDIS_OK) {
        Trace("[CRedisCacheStore] cannot reach Redis at %s:%d: %s", m_address.sHost.c_str(), m_address.nPort,
              spContext ? spContext->errstr : "out of memory");
        Failed();
        return nullptr;
    }
    const auto command = [&](const std::vector<std::string>& words) {
        redisReply* pReply = Command(spContext.get(), words);
        const bool bOk = pReply != nullptr && pReply->type != REDIS_REPLY_ERROR;
        if (pReply != nullptr) freeReplyObject(pReply);
        return bOk;
    };
    if ((!m_address.sPassword.empty() &&
         !command(m_address.sUser.empty() ? std::vector<std::string>{"AUTH", m_address.sPassword}
                                          : std::vector<std::string>{"AUTH", m_address.sUser, m_address.sPassword})) ||
        (m_address.nDatabase != 0 && !command({"SELECT", std::to_string(m_address.nDatabase)}))) {
        Trace("[CRedisCacheStore] Redis at %s:%d refused the log-in or the database %d", m_address.sHost.c_str(),
              m_address.nPort, m_address.nDatabase);
        Failed();
        return nullptr;
    }
    return spContext;
}

void CRedisCacheStore::Release(ContextPtr spContext) {
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_idle.size() < MAX_IDLE_CONNECTIONS) m_idle.push_back(std::move(spContext));
}

HRESULT CRedisCacheStore::Run(const char* pszScript, const std::string& sName, const std::string& sKey,
                              const std::vector<std::string>& args, std::string* pResult) {
    ContextPtr spContext = Acquire();
    if (!spContext) return HR_TIMEOUT;
    const std::string sPrefix = Prefix(sName);
    std::vector<std::string> words{"EVAL", pszScript, "2", sPrefix + "i:" + sKey, sPrefix + "lru"};
    words.insert(words.end(), args.begin(), args.end());
    redisReply* pReply = Command(spContext.get(), words);
    if (pReply == nullptr) {  // the connection is broken or timed out: drop it
        Trace("[CRedisCacheStore] Redis call failed: %s", spContext->errstr);
        Failed();
        return HR_TIMEOUT;
    }
    HRESULT hr = S_OK;
    if (pReply->type == REDIS_REPLY_ERROR) {
        Trace("[CRedisCacheStore] Redis answered an error: %.*s", static_cast<int>(pReply->len), pReply->str);
        hr = E_FAIL;
    } else if (pResult != nullptr) {
        if (pReply->type == REDIS_REPLY_STRING)
            pResult->assign(pReply->str, pReply->len);
        else
            hr = HR_NOT_FOUND;
    }
    freeReplyObject(pReply);
    Release(std::move(spContext));
    return hr;
}

HRESULT CRedisCacheStore::Add(const std::string& sName, const std::string& sKey, const std::string& sData) {
    CBounds bounds{};
    if (!FindBounds(sName, bounds)) return HR_NOT_FOUND;
    return Run(ADD_SCRIPT, sName, sKey,
               {sData, std::to_string(bounds.nLifetimeSeconds), std::to_string(bounds.nMaxItems)}, nullptr);
}

HRESULT CRedisCacheStore::Get(const std::string& sName, const std::string& sKey, std::string& sData) {
    CBounds bounds{};
    if (!FindBounds(sName, bounds)) return HR_NOT_FOUND;
    return Run(GET_SCRIPT, sName, sKey, {}, &sData);
}
