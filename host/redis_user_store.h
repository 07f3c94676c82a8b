// User properties in Redis, for several proxies serving the same users: a
// hash per user. Calls wait at most 250 ms.
#ifndef KX_HOST_REDIS_USER_STORE_H
#define KX_HOST_REDIS_USER_STORE_H

#include <mutex>
#include <string>

#include "host/user_store.h"

struct redisContext;

namespace kxhost {

class RedisUserStore : public UserStore {
public:
    // sUri: "redis://[:password@]host[:port][/db]"; null with sError when it is not one.
    static std::unique_ptr<RedisUserStore> Open(const std::string& sUri, std::string& sError);
    ~RedisUserStore() override;

    bool Load(const std::string& sUser, std::map<DWORD, std::string>& values) override;
    bool Save(const std::string& sUser, DWORD dwId, const std::string& sValue) override;

private:
    RedisUserStore() = default;
    // The connection, made (again) when there is none; null when Redis does not answer.
    redisContext* Connection();
    void Drop();

    std::string m_sHost;
    int m_nPort = 6379;
    std::string m_sPassword;
    int m_nDb = 0;
    std::mutex m_lock;
    redisContext* m_pContext = nullptr;
};

}  // namespace kxhost

#endif  // KX_HOST_REDIS_USER_STORE_H
