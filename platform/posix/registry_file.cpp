#include "platform/posix/registry_file.h"

#include <charconv>
#include <cstdlib>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "platform/file_io.h"
#include "platform/utf.h"

namespace {

constexpr std::string_view HEADER = "Windows Registry Editor Version 5.00";
constexpr std::string_view LOCAL_MACHINE = "HKEY_LOCAL_MACHINE\\";
constexpr size_t MAX_FILE_SIZE = 16 * 1024 * 1024;

// A quoted string with \\ and \" escapes starting at sText[0] == '"'; the
// rest of the text after the closing quote is left in sText.
bool ReadQuoted(std::string_view& sText, std::string& sOut) {
    if (sText.empty() || sText[0] != '"') return false;
    sOut.clear();
    for (size_t n = 1; n < sText.size(); ++n) {
        if (sText[n] == '\\' && n + 1 < sText.size()) {
            sOut += sText[++n];
        } else if (sText[n] == '"') {
            sText.remove_prefix(n + 1);
            return true;
        } else {
            sOut += sText[n];
        }
    }
    return false;
}

}  // namespace

std::string CRegistryFile::ConfiguredPath() {
    const char* pszPath = std::getenv("QV_REGISTRY_FILE");
    return pszPath != nullptr && *pszPath != '\0' ? pszPath : "/etc/quorvane/registry.reg";
}

bool CRegistryFile::Load(std::string& sError) {
    m_keys.clear();
    std::string sText;
    const DWORD dwError = ReadRegularFile(ConfiguredPath(), MAX_FILE_SIZE, sText);
    if (dwError == ERROR_FILE_NOT_FOUND) return true;  // no file: no keys
    if (dwError != 0) {
        sError = dwError == ERROR_FILE_TOO_LARGE ? "registry file too large"
                 : dwError == ERROR_INVALID_DATA ? "registry file is no regular file"
                                                 : "registry file cannot be read";
        return false;
    }
    // regedit writes UTF-16LE with a byte-order mark; older exports are text.
    if (sText.size() >= 2 && static_cast<unsigned char>(sText[0]) == 0xFF &&
        static_cast<unsigned char>(sText[1]) == 0xFE) {
        if (sText.size() % 2 != 0) {
            sError = "registry file: UTF-16 text of an odd length";
            return false;
        }
        std::u16string sWide(sText.size() / 2 - 1, u'\0');
        for (size_t n = 0; n < sWide.size(); ++n)
            sWide[n] = static_cast<char16_t>(static_cast<unsigned char>(sText[2 + 2 * n]) |
                                             static_cast<unsigned char>(sText[3 + 2 * n]) << 8);
        return Parse(Utf16ToUtf8(sWide), sError);
    }
    return Parse(sText, sError);
}

bool CRegistryFile::Parse(std::string_view sText, std::string& sError) {
    m_keys.clear();
    std::map<std::string, std::map<std::string, CRegistryValue>> keys;  // kept only when the whole file parses
    if (sText.substr(0, 3) == "\xEF\xBB\xBF") sText.remove_prefix(3);
    std::map<std::string, CRegistryValue>* pKey = nullptr;
    size_t nLine = 0;
    bool bHeader = false;
    while (!sText.empty()) {
        const size_t nEnd = sText.find('\n');
        std::string_view sLine = TrimAsciiSpace(sText.substr(0, nEnd));
        sText.remove_prefix(nEnd == std::string_view::npos ? sText.size() : nEnd + 1);
        ++nLine;
        // A value continued on the next lines (hex: data) is joined into one.
        std::string sJoined;
        while (!sLine.empty() && sLine.back() == '\\' && !sText.empty()) {
            sJoined.append(sLine.substr(0, sLine.size() - 1));
            const size_t nNext = sText.find('\n');
            sLine = TrimAsciiSpace(sText.substr(0, nNext));
            sText.remove_prefix(nNext == std::string_view::npos ? sText.size() : nNext + 1);
            ++nLine;
        }
        if (!sJoined.empty()) {
            sJoined.append(sLine);
            sLine = sJoined;
        }
        if (sLine.empty() || sLine[0] == ';') continue;
        if (!bHeader) {
            if (sLine != HEADER) {
                sError = "line 1: not a registry export";
                return false;
            }
            bHeader = true;
            continue;
        }
        if (sLine[0] == '[') {
            if (sLine.back() != ']' || sLine.size() < 3) {
                sError = "line " + std::to_string(nLine) + ": malformed key";
                return false;
            }
            pKey = &keys[UpperAscii(sLine.substr(1, sLine.size() - 2))];
            continue;
        }
        std::string sName;
        if (sLine[0] == '@') {
            sLine.remove_prefix(1);
        } else if (!ReadQuoted(sLine, sName)) {
            sError = "line " + std::to_string(nLine) + ": malformed value name";
            return false;
        }
        sLine = TrimAsciiSpace(sLine);
        if (pKey == nullptr || sLine.empty() || sLine[0] != '=') {
            sError = "line " + std::to_string(nLine) + ": value outside a key or without '='";
            return false;
        }
        sLine = TrimAsciiSpace(sLine.substr(1));
        CRegistryValue value;
        if (sLine.substr(0, 6) == "dword:") {
            const std::string_view sDigits = sLine.substr(6);
            const auto [pEnd, error] =
                std::from_chars(sDigits.data(), sDigits.data() + sDigits.size(), value.dwValue, 16);
            if (error != std::errc() || pEnd != sDigits.data() + sDigits.size() || sDigits.size() > 8) {
                sError = "line " + std::to_string(nLine) + ": malformed dword";
                return false;
            }
            value.dwType = REG_DWORD;
        } else if (!sLine.empty() && sLine[0] == '"') {
            if (!ReadQuoted(sLine, value.sText)) {
                sError = "line " + std::to_string(nLine) + ": unterminated string";
                return false;
            }
            value.dwType = REG_SZ;
        }
        (*pKey)[UpperAscii(sName)] = std::move(value);
    }
    if (!bHeader) {
        sError = "empty registry file";
        return false;
    }
    m_keys = std::move(keys);
    return true;
}

bool CRegistryFile::HasLocalMachineKey(std::string_view sKey) const {
    return m_keys.count(UpperAscii(std::string(LOCAL_MACHINE) + std::string(sKey))) != 0;
}

const CRegistryValue* CRegistryFile::FindLocalMachineValue(std::string_view sKey, std::string_view sName) const {
    const auto itKey = m_keys.find(UpperAscii(std::string(LOCAL_MACHINE) + std::string(sKey)));
    if (itKey == m_keys.end()) return nullptr;
    const auto itValue = itKey->second.find(UpperAscii(sName));
    return itValue == itKey->second.end() ? nullptr : &itValue->second;
}
