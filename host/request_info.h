// The host's parsed request: headers, server variables and query parameters.
#ifndef KX_HOST_REQUEST_INFO_H
#define KX_HOST_REQUEST_INFO_H

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kx/host_abi.h"

namespace kxhost {

class RequestInfo final : public IRequestInfo {
public:
    // url is the path with an optional "?query"; headers are name/value pairs
    // as sent ("Cookie", "a=1"); serverVariables are given by their IIS names.
    RequestInfo(const std::string& sMethod, const std::string& sUrl,
                const std::vector<std::pair<std::string, std::string>>& headers,
                const std::map<std::string, std::string>& serverVariables);

    bool GetRequestHeader(const char* pszName, KxStringView* pValue) const override;
    bool GetQueryParameter(const char* pszName, KxStringView* pValue) const override;

    // IIS server variables are matched ignoring case; null when unknown.
    const std::string* FindServerVariable(std::string_view sName) const;
    // A request header by its name as sent, ignoring case ("Cookie:" or "Cookie").
    const std::string* FindRawHeader(std::string_view sName) const;

    void SetRawHeader(const std::string& sName, const std::string& sValue);
    void SetServerVariable(const std::string& sName, const std::string& sValue);
    // The request URL (path and optional "?query") with its query parameters.
    void SetUrl(const std::string& sUrl);

private:
    // ASCII case is ignored; both take any string-like key.
    struct NoCaseHash {
        using is_transparent = void;
        size_t operator()(std::string_view sName) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view sLeft, std::string_view sRight) const;
    };
    // IIS server variables ("HTTP_COOKIE") and raw headers ("Cookie:"), by
    // name ignoring case.
    std::unordered_map<std::string, std::string, NoCaseHash, NoCaseEqual> m_variables;
    std::vector<std::pair<std::string, std::string>> m_queryParameters;
};

}  // namespace kxhost

#endif  // KX_HOST_REQUEST_INFO_H
