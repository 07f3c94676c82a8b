#include "base/file_names.h"

#include <cctype>
#include <cstring>

namespace {

void Trim(std::string& sText) {
    const size_t nFirst = sText.find_first_not_of(' ');
    if (nFirst == std::string::npos) {
        sText.clear();
        return;
    }
    sText = sText.substr(nFirst, sText.find_last_not_of(' ') - nFirst + 1);
}

// The first occurrence of sPrefix followed by a digit and a '.'.
bool DeviceWithExtension(const std::string& sName, const char* pszPrefix) {
    const size_t nAt = sName.find(pszPrefix);
    if (nAt == std::string::npos) return false;
    const size_t nDigit = nAt + std::strlen(pszPrefix);
    return nDigit + 1 < sName.size() && std::isdigit(static_cast<unsigned char>(sName[nDigit])) &&
           sName[nDigit + 1] == '.';
}

}  // namespace

void CleanFileName(std::string& sName) {
    Trim(sName);
    for (char& ch : sName)
        if (std::strchr("\\/:\"?*<>|", ch) != nullptr && ch != '\0') ch = '_';
}

bool IsValidFileName(std::string& sName) {
    Trim(sName);
    for (const char* pszReserved : {"AUX", "CON", "NUL", "PRN", "CLOCKS$"})
        if (sName == pszReserved) return false;
    return !DeviceWithExtension(sName, "COM") && !DeviceWithExtension(sName, "LPT");
}
