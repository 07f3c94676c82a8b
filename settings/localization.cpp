// The user's language and the localized strings of the resource module.
#include "base/ascii_case.h"
#include "diagnostics/trace.h"
#include "settings/sw_general_settings.h"

bool CSWGeneralSettings::GetResource(uint32_t resId, std::string& sText, LANGID langId,
                                     const std::string& sCharSet) const {
    std::u16string sWide;
    if (!m_resource.LoadString(resId, sWide, langId)) {
        Trace("GetResource can not get res ID %d for LANGID %d.", static_cast<int>(resId), langId);
        return false;
    }
    if (!m_pageCharSets.Convert(sWide, sCharSet, sText)) {
        Trace("GetResource can not translate the res ID %d LANGID %d, CharSet %s", static_cast<int>(resId), langId,
              sCharSet.c_str());
        return false;
    }
    return true;
}

bool CSWGeneralSettings::GetResources(const std::vector<uint32_t>& ids, std::map<uint32_t, std::string>& texts,
                                      bool bUtf8, LANGID langId, const std::string& sCharSet) const {
    const std::string sTarget = bUtf8 ? "utf-8" : sCharSet;
    bool bAll = true;
    for (const uint32_t resId : ids) {
        std::string sText;
        if (!GetResource(resId, sText, langId, sTarget)) {
            Trace("GetResources can not get res ID %d for LANGID %d.", static_cast<int>(resId), langId);
            bAll = false;
        } else if (!sText.empty()) {
            texts.emplace(resId, std::move(sText));
        }
    }
    return bAll;
}

bool CSWGeneralSettings::MatchLanguage(const std::string& sList, std::string& sLanguage) const {
    sLanguage = "en";
    if (sList.empty()) return false;
    for (size_t nStart = 0; nStart <= sList.size();) {
        size_t nEnd = sList.find(';', nStart);
        if (nEnd == std::string::npos) nEnd = sList.size();
        const std::string_view sPiece(sList.data() + nStart, nEnd - nStart);
        if (sPiece.empty() && nStart != 0) break;
        for (const auto& [sTag, sCode] : LanguageMap())
            if (sTag.empty() || StartsWithNoCase(sPiece, sTag)) {
                sLanguage = sCode;
                return !sCode.empty();
            }
        nStart = nEnd + 1;
    }
    return false;
}

void CSWGeneralSettings::ResolveLanguage(const std::string& sList, std::string& sLanguage, LANGID& langId) const {
    if (MatchLanguage(sList, sLanguage)) {
        m_resource.GetLangId(sLanguage, langId);
        return;
    }
    langId = LANGID_ENGLISH;
    Trace("[CSWGeneralSettings::DetectUserLanguage] Languages: %s not supported. Set english as default", sList.c_str());
}

bool CSWGeneralSettings::DetectUserLanguage(const std::string& sUser, const std::string& sCookieHeader,
                                            const std::string& sBrowserLanguages, std::string& sLanguage,
                                            LANGID& langId, const std::string& sMailbox,
                                            const std::string& sOtherKey) {
    std::string sList;
    if (GetADProperty(sUser, sCookieHeader, "msExchUserCulture", sList, sMailbox, sOtherKey) < 0) {
        Trace("[CSWGeneralSettings::DetectUserLanguage] failed and goes with Browser language");
        sList = sBrowserLanguages;
    } else {
        for (char& ch : sList)
            if (ch == ',') ch = ';';
    }
    ResolveLanguage(sList, sLanguage, langId);
    Trace("CSWGeneralSettings User: %s langid: %d, language: %s", sUser.c_str(), langId, sLanguage.c_str());
    return true;
}
