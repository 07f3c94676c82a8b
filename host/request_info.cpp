#include "host/request_info.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "host/host_text.h"

namespace kxhost {

namespace {

std::string ServerVariableName(const std::string& sHeader) {
    std::string sName = "HTTP_";
    for (char ch : sHeader) sName += ch == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return sName;
}

std::string WithColon(std::string_view sName) {
    std::string sResult(sName);
    if (sResult.empty() || sResult.back() != ':') sResult += ':';
    return sResult;
}

bool Put(const std::string* pFound, KxStringView* pValue) {
    if (pFound == nullptr) return false;
    if (pValue != nullptr) *pValue = KxStringView{pFound->data(), pFound->size()};
    return true;
}

}  // namespace

// Names are short: the length and the first and last eight bytes, with the
// case bit set on every byte (names equal but for case hash alike; the few
// names that collide are told apart by NoCaseEqual).
size_t RequestInfo::NoCaseHash::operator()(std::string_view sName) const {
    constexpr uint64_t CASE_BITS = 0x2020202020202020ULL;
    if (sName.empty()) return 0;
    auto word = [&](size_t nAt, size_t cb) {
        uint64_t nWord = 0;
        std::memcpy(&nWord, sName.data() + nAt, cb);
        return nWord | CASE_BITS;
    };
    const size_t cb = std::min<size_t>(sName.size(), 8);
    const uint64_t nHash = (word(0, cb) * 0x9E3779B97F4A7C15ULL) ^ word(sName.size() - cb, cb) ^ sName.size();
    return static_cast<size_t>(nHash ^ (nHash >> 29));
}

bool RequestInfo::NoCaseEqual::operator()(std::string_view sLeft, std::string_view sRight) const {
    return SameNoCase(sLeft, sRight);
}

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
    // The contract's look-up is exact: the map's match must also agree in case.
    auto exact = [&](std::string_view sName) -> const std::string* {
        const auto it = m_variables.find(sName);
        return it != m_variables.end() && it->first == sName ? &it->second : nullptr;
    };
    const std::string_view sName(pszName);
    const std::string* pFound = exact(sName);
    if (pFound == nullptr && (sName.empty() || sName.back() != ':')) pFound = exact(WithColon(sName));
    return Put(pFound, pValue);
}

bool RequestInfo::GetQueryParameter(const char* pszName, KxStringView* pValue) const {
    if (pszName == nullptr) return false;
    const auto it = std::find_if(m_queryParameters.begin(), m_queryParameters.end(), [&](const auto& parameter) {
        return SameNoCase(parameter.first, pszName);
    });
    return Put(it == m_queryParameters.end() ? nullptr : &it->second, pValue);
}

const std::string* RequestInfo::FindServerVariable(std::string_view sName) const {
    const auto it = m_variables.find(sName);
    return it == m_variables.end() ? nullptr : &it->second;
}

const std::string* RequestInfo::FindRawHeader(std::string_view sName) const {
    return FindServerVariable(WithColon(sName));
}

void RequestInfo::SetRawHeader(const std::string& sName, const std::string& sValue) {
    m_variables.insert_or_assign(WithColon(sName), sValue);
}

void RequestInfo::SetServerVariable(const std::string& sName, const std::string& sValue) {
    m_variables.insert_or_assign(sName, sValue);
}

}  // namespace kxhost
