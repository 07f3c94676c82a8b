#include "settings/resource.h"

#include <vector>

#include "base/win_errors.h"
#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"
#include "platform/error_text.h"
#include "platform/file_io.h"

namespace {
constexpr size_t MAX_MODULE_SIZE = 64 * 1024 * 1024;
}

CResource::CResource()
    : m_languages{{"en", 4105},  {"fr", 1036},  {"de", 1031},  {"es", 3082},  {"pt-br", 1046},
                  {"pt", 2070},  {"da", 1030},  {"sv", 1053},  {"hu", 1038},  {"fi", 1035},
                  {"he", 1037},  {"it", 1040},  {"ar", 1025},  {"ja", 1041},  {"no", 1044},
                  {"chs", 2052}, {"cht", 1028}, {"nl", 1043},  {"tr", 1055},  {"el", 1032}} {}

bool CResource::LoadModule(const std::string& sPath, CEventLog* pEventLog) {
    UnloadModule();
    std::string sBytes, sError;
    DWORD dwError = ReadRegularFile(sPath, MAX_MODULE_SIZE, sBytes);
    if (dwError == 0) {
        if (m_module.Parse(std::vector<uint8_t>(sBytes.begin(), sBytes.end()), sError)) {
            m_modulePath = sPath;
            return true;
        }
        dwError = ERROR_BAD_FORMAT;
    } else {
        sError = SystemErrorText(dwError);
    }
    if (pEventLog != nullptr) {
        std::string sSystemText = SystemErrorText(dwError);
        sSystemText.erase(sSystemText.find_last_not_of(' ') + 1);
        const std::string sMessage =
            " Resource Class LoadModule failed  " + sPath + " error " + std::to_string(static_cast<int>(dwError));
        pEventLog->ReportEventf(EVENTLOG_ERROR_TYPE, "%s   %s", sMessage.c_str(), sSystemText.c_str());
    }
    Trace("Resource Class LoadModule failed  %s error %d, %s", sPath.c_str(), static_cast<int>(dwError), sError.c_str());
    return false;
}

bool CResource::UnloadModule() {
    m_module.Clear();
    m_modulePath.clear();
    return true;
}

bool CResource::LoadString(uint32_t resId, std::u16string& sText, LANGID langId) const {
    if (!m_module.IsLoaded()) {
        Trace("Resource class NULL handler LoadString");
        return false;
    }
    if (!m_module.FindString(resId, langId, sText)) {
        Trace("Resource Class LoadString failed. It couldn't find the resource %d error %d", static_cast<int>(resId),
              static_cast<int>(ERROR_RESOURCE_NAME_NOT_FOUND));
        return false;
    }
    return true;
}

bool CResource::GetLangId(const std::string& sCode, LANGID& langId) const {
    for (const auto& [sLanguage, nLangId] : m_languages)
        if (sLanguage == sCode) {
            langId = nLangId;
            return true;
        }
    Trace("Resource class can not find language %s. Set english as default", sCode.c_str());
    langId = LANGID_ENGLISH;
    return false;
}
