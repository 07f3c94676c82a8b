#include "forms/cached_script_decorator.h"

#include <string_view>

#include "base/ascii_case.h"
#include "base/text_search.h"

CCachedScriptDecorator::CCachedScriptDecorator(const std::string& sPrefix)
    : m_sHead(sPrefix.substr(0, HEAD_LENGTH)), m_sTail(sPrefix.size() > HEAD_LENGTH ? sPrefix.substr(HEAD_LENGTH) : "") {}

bool CCachedScriptDecorator::IsUsablePrefix(const std::string& sPrefix) {
    constexpr std::string_view PUNCTUATION = "-._~!$()*+,;=:@%/";
    for (const char ch : sPrefix) {
        const auto byte = static_cast<unsigned char>(ch);
        if (!IsAsciiAlpha(byte) && !IsAsciiDigit(byte) && PUNCTUATION.find(ch) == std::string_view::npos) return false;
    }
    return true;
}

std::string CCachedScriptDecorator::GetPrefixFolder() const {
    std::string sFolder = GetPrefix();
    if (sFolder.empty() || sFolder.back() != '/') sFolder += '/';
    return sFolder;
}

std::string CCachedScriptDecorator::StripPrefixHead(const std::string& s) const {
    return s.size() > m_sHead.size() ? s.substr(m_sHead.size()) : s;
}

bool CCachedScriptDecorator::IsDecorated(const std::string& s) const {
    return s.size() > m_sHead.size() && s.compare(m_sHead.size(), m_sTail.size(), m_sTail) == 0;
}

bool CCachedScriptDecorator::ContainsPrefixFolder(const std::string& s) const {
    const std::string sFolder = GetPrefixFolder();
    return s.size() > sFolder.size() && FindNoCase(s.data(), 0, s.size(), sFolder) != SIZE_MAX;
}

std::string CCachedScriptDecorator::RemovePrefixFolders(const std::string& s) const {
    const std::string sFolder = GetPrefixFolder();
    std::string sOut;
    size_t nFrom = 0;
    for (size_t nHit = FindNoCase(s.data(), 0, s.size(), sFolder); nHit != SIZE_MAX;
         nHit = FindNoCase(s.data(), nFrom, s.size(), sFolder)) {
        sOut.append(s, nFrom, nHit - nFrom).append(m_sTail);
        nFrom = nHit + sFolder.size();
    }
    return sOut.append(s, nFrom, std::string::npos);
}
