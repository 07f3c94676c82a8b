#include "forms/sw_form_script_path.h"

#include "forms/cached_script_decorator.h"
#include "forms/sw_form_context.h"

CSWFormScriptPath::CSWFormScriptPath(const std::string& sProductName, const std::string& sVersionInfo) {
    CSWFormScriptPath::Initialize(sProductName, sVersionInfo);
}

void CSWFormScriptPath::Initialize(const std::string& sBaseFolder, const std::string& sProductName,
                                   const std::string& sVersionInfo) {
    if (sBaseFolder.empty()) throw CSWFormException("Initialize CSWFormScriptPath failed: empty base folder");
    if (sProductName.empty()) throw CSWFormException("Initialize CSWFormScriptPath failed: empty product name");
    if (sVersionInfo.empty()) throw CSWFormException("Initialize CSWFormScriptPath failed: empty version info");
    m_sBaseFolder = sBaseFolder;
    m_sProductName = sProductName;
    m_sVersionInfo = sVersionInfo;
}

void CSWFormScriptPath::Initialize(const std::string& sProductName, const std::string& sVersionInfo) {
    Initialize("QVScripts", sProductName, sVersionInfo);
}

std::string CSWFormScriptPath::GetScriptPath(const std::string& sFileName) const {
    std::string sPath;
    sPath.reserve(256);
    sPath.append(m_sBaseFolder).append("/").append(m_sProductName).append("/").append(m_sVersionInfo).append("/");
    return sPath.append(sFileName);
}

std::string CSWFormScriptPath::GetScriptPath(const std::string& sFileName,
                                             const CCachedScriptDecorator* pDecorator) const {
    return pDecorator == nullptr ? std::string() : GetScriptPath(pDecorator->GetPrefixFolder() + sFileName);
}
