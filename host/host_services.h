// The host's services table and what stands behind it: a per-user property
// store and switches that let tests make the services fail.
#ifndef KX_HOST_HOST_SERVICES_H
#define KX_HOST_HOST_SERVICES_H

#include <map>
#include <optional>
#include <set>
#include <string>

#include "kx/host_abi.h"

namespace kxhost {

class UserStore;

class HostServices {
public:
    HostServices();
    HostServices(const HostServices&) = delete;
    HostServices& operator=(const HostServices&) = delete;

    CCoreServices* Table() { return &m_table; }

    // User properties by user, then id; or, when set, the store that keeps them.
    std::map<std::string, std::map<DWORD, std::string>> m_userProperties;
    UserStore* m_pUserStore = nullptr;
    // The ids every load gives an entry for (empty when the user has no
    // value): the product's user properties.
    std::set<DWORD> m_knownPropertyIds = {0x8601, 0x8602, 0x8109, 0x810A, 0x810B};

    // Test switches.
    bool m_bFailLoads = false;                 // LoadUserProperties answers 0
    std::optional<DWORD> m_submitResult;       // SubmitBufferCommands answers this instead of applying

    // What the worker asked for.
    int m_nLoadCalls = 0;
    int m_nSaveCalls = 0;
    int m_nSubmitCalls = 0;

private:
    CCoreServices m_table{};
};

}  // namespace kxhost

#endif  // KX_HOST_HOST_SERVICES_H
