#include "platform/secret_file.h"

void ParseSecretText(const std::string& sText, std::map<std::string, std::string>& values) {
    for (size_t nStart = 0; nStart < sText.size();) {
        size_t nEnd = sText.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = sText.size();
        std::string sLine = sText.substr(nStart, nEnd - nStart);
        if (!sLine.empty() && sLine.back() == '\r') sLine.pop_back();
        if (const size_t nEquals = sLine.find('='); nEquals != std::string::npos && nEquals > 0)
            values[sLine.substr(0, nEquals)] = sLine.substr(nEquals + 1);
        nStart = nEnd + 1;
    }
}
