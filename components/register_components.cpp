#include "components/register_components.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "components/cache_component.h"
#include "components/exchange_access_component.h"
#include "components/holiday_component.h"
#include "components/kx_exchange_access_component.h"
#include "components/shared_cache_store.h"
#include "diagnostics/trace.h"
#include "diagnostics/trace_log.h"
#include "platform/secret_file.h"

namespace {

constexpr int SETTING_CACHE_URI = 201;            // "redis://host:port/db"; empty: in-process
constexpr int SETTING_EWS_CA_FILE = 202;          // trusted certificates for EWS; empty: the system's
constexpr int SETTING_EWS_CONNECT_SECONDS = 203;  // default 10
constexpr int SETTING_EWS_TIMEOUT_SECONDS = 204;  // default 30
constexpr int SETTING_EWS_MAX_ANSWER_KB = 205;    // default 4096
constexpr int SETTING_EWS_CREDENTIALS = 206;      // file of user=, password=, domain=

long PositiveSetting(ITraceSettings& settings, int nId, long nDefault) {
    int nValue = 0;
    return settings.GetSettingFromID(nId, nValue, 0) && nValue > 0 ? nValue : nDefault;
}

CEwsTransportOptions TransportOptions(ITraceSettings& settings) {
    CEwsTransportOptions options;
    settings.GetSettingFromID(SETTING_EWS_CA_FILE, options.sCaFile, 0);
    options.nConnectTimeoutMs = PositiveSetting(settings, SETTING_EWS_CONNECT_SECONDS, 10) * 1000;
    options.nTimeoutMs = PositiveSetting(settings, SETTING_EWS_TIMEOUT_SECONDS, 30) * 1000;
    options.cbMaxAnswer = static_cast<size_t>(PositiveSetting(settings, SETTING_EWS_MAX_ANSWER_KB, 4096)) * 1024;
    return options;
}

// The service account of the credentials file; none (Negotiate with the
// process's Kerberos credential) when no file is set or it is refused. The
// file is read once per path, not for every component made.
CEwsCredentials ServiceCredentials(ITraceSettings& settings) {
    std::string sPath;
    if (!settings.GetSettingFromID(SETTING_EWS_CREDENTIALS, sPath, 0) || sPath.empty()) return {};
    static std::mutex s_lock;
    static std::string s_sPath;
    static CEwsCredentials s_credentials;
    const std::lock_guard<std::mutex> guard(s_lock);
    if (sPath != s_sPath) {
        s_sPath = sPath;
        s_credentials = {};
        std::map<std::string, std::string> values;
        std::string sWhyNot;
        if (ReadSecretFile(sPath, values, sWhyNot))
            s_credentials = {values["user"], values["password"], values["domain"]};
        else
            Trace("[RegisterComponents] EWS credentials not used: %s", sWhyNot.c_str());
    }
    return s_credentials;
}

// The holiday component's store, made with the first instance.
std::mutex g_holidayLock;
std::shared_ptr<CHolidayStore> g_spHolidayStore;

std::shared_ptr<CHolidayStore> HolidayStore(ITraceSettings& settings) {
    const std::lock_guard<std::mutex> guard(g_holidayLock);
    if (g_spHolidayStore == nullptr)
        g_spHolidayStore = std::make_shared<CHolidayStore>(TransportOptions(settings),
                                                           [pSettings = &settings] { return ServiceCredentials(*pSettings); });
    return g_spHolidayStore;
}

std::shared_ptr<ICacheStore> ChooseCacheStore(ITraceSettings& settings) {
    std::string sUri;
    if (const char* pszUri = std::getenv("QV_CACHE_URI"); pszUri != nullptr && *pszUri != '\0')
        sUri = pszUri;
    else
        settings.GetSettingFromID(SETTING_CACHE_URI, sUri, 0);
    return MakeCacheStore(sUri);
}

}  // namespace

void RegisterComponents(ITraceSettings& settings) {
    ITraceSettings* pSettings = &settings;
    RegisterComponent(CLSID_QVCache, [pSettings] {
        // Chosen when the first cache is made, once the settings are read.
        static std::once_flag s_storeChosen;
        static std::shared_ptr<ICacheStore> s_spStore;
        std::call_once(s_storeChosen, [&] { s_spStore = ChooseCacheStore(*pSettings); });
        return std::make_shared<CCacheComponent>(s_spStore);
    });
    RegisterComponent(CLSID_KXExchangeAccess, [pSettings] {
        return std::make_shared<CKXExchangeAccessComponent>(TransportOptions(*pSettings),
                                                            ServiceCredentials(*pSettings));
    });
    RegisterComponent(CLSID_ExchangeAccess, [pSettings] {
        return std::make_shared<CExchangeAccessComponent>(TransportOptions(*pSettings), ServiceCredentials(*pSettings));
    });
    RegisterComponent(CLSID_CHoliday, [pSettings] { return std::make_shared<CHolidayComponent>(HolidayStore(*pSettings)); });
}

void StopComponentWork() {
    std::shared_ptr<CHolidayStore> spStore;
    {
        const std::lock_guard<std::mutex> guard(g_holidayLock);
        spStore = g_spHolidayStore;
    }
    if (spStore != nullptr) spStore->Stop();
}
