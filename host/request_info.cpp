#include "host/request_info.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

namespace kxhost {

namespace {

std::string ServerVariableName(const std::string& sHeader) {
    std::string sName = "HTTP_";
    for (char ch : sHeader) sName += ch == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return sName;
}

std::string WithColon(const std::string& sName) {
    return !sName.empty() && sName.back() == ':' ? sName : sName + ":";
}

bool Put(const std::string* pFound, KxStringView* pValue) {
    if (pFound == nullptr) return false;
    if (pValue != nullptr) *pValue = KxStringView{pFound->data(), pFound->size()};
    return true;
}

}  // namespace

RequestInfo::RequestInfo(const std::string& sMethod, const std::string& sUrl,
                         const std::vector<std::pair<std::string, std::string>>& headers,
                         const std::map<std::string, std::string>& serverVariables) {
    m_variables["HTTP_METHOD"] = sMethod;
    m_variables["REQUEST_METHOD"] = sMethod;
    for (const auto& [sName, sValue] : headers) {
        m_variables[WithColon(sName)] = sValue;
        m_variables[ServerVariableName(sName)] = sValue;
    }
    SetUrl(sUrl);
    for (const auto& [sName, sValue] : serverVariables) m_variables[sName] = sValue;
}

void RequestInfo::SetUrl(const std::string& sUrl) {
    const size_t nQuery = sUrl.find('?');
    const std::string sQuery = nQuery == std::string::npos ? std::string() : sUrl.substr(nQuery + 1);
    m_variables["HTTP_URL"] = sUrl;
    m_variables["URL"] = sUrl.substr(0, nQuery);
    m_variables["QUERY_STRING"] = sQuery;
    m_queryParameters.clear();
    size_t nStart = 0;
    while (nStart < sQuery.size()) {
        size_t nEnd = sQuery.find('&', nStart);
        if (nEnd == std::string::npos) nEnd = sQuery.size();
        const std::string sPair = sQuery.substr(nStart, nEnd - nStart);
        const size_t nEquals = sPair.find('=');
        if (!sPair.empty())
            m_queryParameters.emplace_back(sPair.substr(0, nEquals),
                                           nEquals == std::string::npos ? std::string() : sPair.substr(nEquals + 1));
        nStart = nEnd + 1;
    }
}

bool RequestInfo::GetRequestHeader(const char* pszName, KxStringView* pValue) const {
    if (pszName == nullptr) return false;
    const std::string sName(pszName);
    auto it = m_variables.find(sName);
    if (it == m_variables.end() && (sName.empty() || sName.back() != ':')) it = m_variables.find(sName + ":");
    return Put(it == m_variables.end() ? nullptr : &it->second, pValue);
}

bool RequestInfo::GetQueryParameter(const char* pszName, KxStringView* pValue) const {
    if (pszName == nullptr) return false;
    const auto it = std::find_if(m_queryParameters.begin(), m_queryParameters.end(), [&](const auto& parameter) {
        return strcasecmp(parameter.first.c_str(), pszName) == 0;
    });
    return Put(it == m_queryParameters.end() ? nullptr : &it->second, pValue);
}

const std::string* RequestInfo::FindServerVariable(const std::string& sName) const {
    for (const auto& [sKey, sValue] : m_variables)
        if (strcasecmp(sKey.c_str(), sName.c_str()) == 0) return &sValue;
    return nullptr;
}

const std::string* RequestInfo::FindRawHeader(const std::string& sName) const {
    return FindServerVariable(WithColon(sName));
}

void RequestInfo::SetRawHeader(const std::string& sName, const std::string& sValue) {
    for (auto& [sKey, sExisting] : m_variables)
        if (strcasecmp(sKey.c_str(), WithColon(sName).c_str()) == 0) {
            sExisting = sValue;
            return;
        }
    m_variables[WithColon(sName)] = sValue;
}

}  // namespace kxhost
