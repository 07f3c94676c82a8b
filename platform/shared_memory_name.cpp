#include "platform/shared_section.h"

std::string SharedMemoryName(const std::string& sText) {
    std::string sName;
    for (char ch : sText.substr(0, 200)) {
        const bool bKeep = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                           ch == '.' || ch == '_' || ch == '-';
        sName += bKeep ? ch : '_';
    }
    return AccountSectionName(sName);
}
