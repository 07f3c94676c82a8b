#include "components/memory_cache_store.h"

#include <chrono>

#include "base/win_errors.h"

namespace {
const HRESULT HR_NOT_FOUND = HResultFromWin32(ERROR_NOT_FOUND);
}

int64_t CMemoryCacheStore::SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CMemoryCacheStore::CNamedCache* CMemoryCacheStore::Find(const std::string& sName) const {
    const size_t nCaches = m_nCaches.load(std::memory_order_acquire);
    for (size_t n = 0; n < nCaches; ++n)
        if (m_caches[n].sName == sName) return m_caches[n].spCache.get();
    return nullptr;
}

HRESULT CMemoryCacheStore::CreateCache(const std::string& sName, long nMaxItems, long nLifetimeMinutes) {
    if (sName.empty() || nMaxItems <= 0 || nLifetimeMinutes <= 0) return E_INVALIDARG;
    CNamedCache* pCache;
    {
        const std::lock_guard<std::mutex> guard(m_cachesLock);
        pCache = Find(sName);
        if (pCache == nullptr) {
            const size_t nCaches = m_nCaches.load(std::memory_order_relaxed);
            if (nCaches == MAX_CACHES) return E_OUTOFMEMORY;
            m_caches[nCaches] = {sName, std::make_unique<CNamedCache>()};
            pCache = m_caches[nCaches].spCache.get();
            m_nCaches.store(nCaches + 1, std::memory_order_release);
        }
    }
    const std::lock_guard<std::mutex> guard(pCache->lock);
    pCache->nMaxItems = static_cast<size_t>(nMaxItems);
    pCache->nLifetimeMs = static_cast<int64_t>(nLifetimeMinutes) * 60 * 1000;
    while (pCache->items.size() > pCache->nMaxItems) {
        pCache->index.erase(pCache->items.back().sKey);
        pCache->items.pop_back();
    }
    return S_OK;
}

HRESULT CMemoryCacheStore::Add(const std::string& sName, const std::string& sKey, const std::string& sData) {
    CNamedCache* pCache = Find(sName);
    if (pCache == nullptr) return HR_NOT_FOUND;
    const int64_t nNow = m_pfnNow();
    const std::lock_guard<std::mutex> guard(pCache->lock);
    if (const auto it = pCache->index.find(sKey); it != pCache->index.end()) {
        it->second->sData = sData;
        it->second->nExpiresAt = nNow + pCache->nLifetimeMs;
        pCache->items.splice(pCache->items.begin(), pCache->items, it->second);
        return S_OK;
    }
    if (pCache->items.size() >= pCache->nMaxItems) {
        pCache->index.erase(pCache->items.back().sKey);
        pCache->items.pop_back();
    }
    pCache->items.push_front(CItem{sKey, sData, nNow + pCache->nLifetimeMs});
    pCache->index.emplace(sKey, pCache->items.begin());
    return S_OK;
}

HRESULT CMemoryCacheStore::Get(const std::string& sName, const std::string& sKey, std::string& sData) {
    CNamedCache* pCache = Find(sName);
    if (pCache == nullptr) return HR_NOT_FOUND;
    const int64_t nNow = m_pfnNow();
    const std::lock_guard<std::mutex> guard(pCache->lock);
    const auto it = pCache->index.find(sKey);
    if (it == pCache->index.end()) return HR_NOT_FOUND;
    if (it->second->nExpiresAt <= nNow) {
        pCache->items.erase(it->second);
        pCache->index.erase(it);
        return HR_NOT_FOUND;
    }
    pCache->items.splice(pCache->items.begin(), pCache->items, it->second);
    sData = it->second->sData;
    return S_OK;
}
