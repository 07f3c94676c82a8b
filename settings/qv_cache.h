// The wrapper of the cache component. It keeps no instance: every
// operation makes one, uses it once and lets it go; the items live in the
// component's process-wide store.
#ifndef KX_SETTINGS_QV_CACHE_H
#define KX_SETTINGS_QV_CACHE_H

#include <memory>
#include <string>

#include "kx/win_types.h"

class CEventLog;
class IQVCacheComponent;
struct CComponentFailure;

class CQVCache {
public:
    explicit CQVCache(CEventLog& eventLog) : m_eventLog(eventLog) {}
    virtual ~CQVCache() = default;

    HRESULT Init();
    HRESULT CreateCache(const std::string& sCacheName, long nMaxItems, long nLifetimeMinutes);
    HRESULT AddItem(const std::string& sCacheName, const std::string& sKey, const std::string& sData,
                    const std::string& sSession, const std::string& sPropertyName = {});
    // Remembers, for the item's lifetime, that the directory or Exchange
    // holds no such value.
    HRESULT AddAbsent(const std::string& sCacheName, const std::string& sKey, const std::string& sSession,
                      const std::string& sPropertyName);
    // S_OK with the data; S_FALSE when the value is remembered as absent;
    // 0x80070490 on a miss (quietly: the caller asks the directory or Exchange).
    HRESULT GetItem(const std::string& sCacheName, const std::string& sKey, std::string& sData,
                    const std::string& sSession, const std::string& sPropertyName = {});

private:
    // A new instance; raises the COM error when none can be made.
    std::shared_ptr<IQVCacheComponent> Instance();
    HRESULT Failed(const char* pszOperation, const CComponentFailure& failure);

    CEventLog& m_eventLog;
    bool m_bInitialized = false;
};

#endif  // KX_SETTINGS_QV_CACHE_H
