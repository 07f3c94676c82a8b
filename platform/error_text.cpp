#include "platform/error_text.h"

#include <string.h>

#include <algorithm>
#include <cstdio>

std::string SystemErrorText(DWORD dwError) {
    if (dwError == 0 || dwError > 0x7FFFFFFF) return {};
    char szBuffer[512];
    const int nError = static_cast<int>(dwError);
    // GNU strerror_r: returns a pointer to the text (maybe not szBuffer).
    const char* pszText = strerror_r(nError, szBuffer, sizeof(szBuffer));
    char szUnknown[64];
    std::snprintf(szUnknown, sizeof(szUnknown), "Unknown error %d", nError);
    if (pszText == nullptr || std::string(pszText) == szUnknown) return {};
    std::string sText(pszText);
    std::replace(sText.begin(), sText.end(), '\r', ' ');
    std::replace(sText.begin(), sText.end(), '\n', ' ');
    return sText;
}
