// The users' stored calendar properties: read from Exchange as custom
// properties, cached per user and session as "<SETTINGS><name>value</name>
// ...</SETTINGS>".
#include <algorithm>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/component_interfaces.h"
#include "settings/exchange_access.h"
#include "settings/sw_general_settings.h"

namespace {

constexpr std::string_view SETTINGS_END = "</SETTINGS>";

// The definition of the property id in a list (const or not); null when none.
template <class TDefinitions>
auto* FindDefinition(TDefinitions& definitions, DWORD dwPropertyId) {
    const auto it = std::find_if(definitions.begin(), definitions.end(), [&](const CUserPropertyDefinition& d) {
        return d.dwPropertyId == dwPropertyId;
    });
    return it == definitions.end() ? nullptr : &*it;
}

// The element of a property: the start of its opening tag and the end of
// its closing tag, and where its value lies; false when it is not whole.
struct CElementSpan {
    size_t nOpen, nValue, nClose, nEnd;
};
bool FindElement(const std::string& sXml, const std::string& sName, CElementSpan& span) {
    const std::string sOpen = "<" + sName + ">", sClose = "</" + sName + ">";
    span.nOpen = sXml.find(sOpen);
    if (span.nOpen == std::string::npos) return false;
    span.nValue = span.nOpen + sOpen.size();
    span.nClose = sXml.find(sClose, span.nValue);
    if (span.nClose == std::string::npos) return false;
    span.nEnd = span.nClose + sClose.size();
    return true;
}

}  // namespace

bool CSWGeneralSettings::GetUserProp(const std::string& sUserIn, DWORD dwPropertyId, std::string& sValue,
                                     const std::string& sEwsUrl, const std::string& sSessionId, bool bInvalidate,
                                     const std::string& sMailbox, bool bRequestAll) {
    std::string sUser = sUserIn;
    const bool bReduced = ExtractUserName(sUser);
    Trace("[CSWGeneralSettings::GetUserProp] Get property from cache, User: %s, SessionId: %s, Id: 0x%x, Mailbox: %s",
          sUser.c_str(), sSessionId.c_str(), static_cast<unsigned>(dwPropertyId), sMailbox.c_str());
    bool bResult = false;
    if (bReduced) {
        if (bInvalidate) InvalidateUserProp(sUser, dwPropertyId, sSessionId);
        std::vector<CUserPropertyDefinition> definitions = m_userProperties;
        std::string sXml;
        const bool bCached = m_hiddenMessageCache.GetItem(m_hiddenMessageCacheName, sUser, sXml, sSessionId) == S_OK;
        bool bFoundInCache = false;
        if (bCached) {
            Trace("[CSWGeneralSettings::GetUserProp] Get property from cache successfully, Value: %s !", sXml.c_str());
            for (const CUserPropertyDefinition& definition : m_userProperties)
                if (FindPropertyInXML(sXml, definitions, definition.dwPropertyId) &&
                    definition.dwPropertyId == dwPropertyId)
                    bFoundInCache = true;
        }
        if (bFoundInCache) {
            sValue = FindDefinition(definitions, dwPropertyId)->sDefaultValue;
            bResult = true;
        } else {
            for (CUserPropertyDefinition& definition : definitions)
                if (bRequestAll) definition.dwRequested = 1;
            if (CUserPropertyDefinition* pDefinition = FindDefinition(definitions, dwPropertyId)) {
                sValue = pDefinition->sDefaultValue;
                pDefinition->dwRequested = 1;
            } else {
                Trace("[CSWGeneralSettings::GetUserProp] Warning!: No defaults for Property Id: 0x%x.",
                      static_cast<unsigned>(dwPropertyId));
            }
            if (!GetUserProperties(definitions, sUser, sEwsUrl, sMailbox)) {
                bResult = true;  // the default stands
            } else {
                Trace("[CSWGeneralSettings::GetUserProp] Warning!: Get property from cache FAILED, query EWS");
                if (const CUserPropertyDefinition* pRead = FindDefinition(definitions, dwPropertyId))
                    sValue = pRead->sDefaultValue;
                BuildXMLProperties(sXml, definitions);
                Trace("[CSWGeneralSettings::GetUserProp] Get property from EWS successfully, Value: %s.! Add to cache.",
                      sValue.c_str());
                const HRESULT hr = m_hiddenMessageCache.AddItem(m_hiddenMessageCacheName, sUser, sXml, sSessionId);
                bResult = hr >= 0;
                if (!bResult) {
                    Trace("GetUserProp AddItem failed User %s. Session %s. CustomProp %s", sUser.c_str(),
                          sSessionId.c_str(), sXml.c_str());
                    m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "GetUserProp AddItem failed User %s. Session %s. "
                                                                 "CustomProp %s",
                                            sUser.c_str(), sSessionId.c_str(), sXml.c_str());
                }
            }
        }
    }
    Trace("[CSWGeneralSettings::GetUserProp] method returned %s.", bResult ? "TRUE" : "FALSE");
    return bResult;
}

bool CSWGeneralSettings::GetUserProperties(std::vector<CUserPropertyDefinition>& definitions,
                                           const std::string& sUser, const std::string& sEwsUrl,
                                           const std::string& sMailbox) {
    Trace("[CSWGeneralSettings::GetUserProperties] Get data using EWS starts for User: %s, url: %s SomeBodyElse "
          "Mailbox %s",
          sUser.c_str(), sEwsUrl.c_str(), sMailbox.c_str());
    CExchangeIdentity identity;
    if (GetExchangeIdentity(sUser, {}, identity) < 0) return false;
    CExchangeAccess access(m_eventLog);
    HRESULT hr = access.Initialize(ExchangeAccessVersion(), CONNECTION_EWS, sEwsUrl,
                                   sMailbox.empty() ? identity.sName : sMailbox, {}, {});
    if (hr >= 0) hr = access.Impersonate(identity.nKind, identity.sName);
    if (hr < 0) {
        Trace("GetUserProperties access to EWS failed hr 0x%x", static_cast<unsigned>(hr));
        m_eventLog.ReportEventf(
            EVENTLOG_ERROR_TYPE, "%s HR: 0x%x",
            ("Quorvane Services failed to access Exchange to get User Preferences for " + sUser).c_str(),
            static_cast<unsigned>(hr));
        return false;
    }
    hr = access.GetCustomProperties(definitions);
    if (hr < 0) {
        Trace("GetUserProperties failed to GetCustomProperties for %s hr 0x%x", sUser.c_str(),
              static_cast<unsigned>(hr));
        return false;
    }
    return true;
}

void CSWGeneralSettings::BuildXMLProperties(std::string& sXml, const std::vector<CUserPropertyDefinition>& definitions) {
    Trace("BuildXMLProperties begins");
    if (sXml.empty()) {
        sXml = "<SETTINGS>";
        for (const CUserPropertyDefinition& definition : definitions) {
            if (definition.sPropertyName.empty()) {
                Trace("BuildXMLProperties got an empty property name for SW %u",
                      static_cast<unsigned>(definition.dwServiceWorkerId));
                continue;
            }
            sXml += "<" + definition.sPropertyName + ">" + definition.sDefaultValue + "</" + definition.sPropertyName +
                    ">";
        }
        sXml += SETTINGS_END;
    } else if (sXml.size() < SETTINGS_END.size()) {
        Trace("Invalid XML %s", sXml.c_str());
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE,
                                "User Property wasn't updated. BuildXMLProperties got an invalid XML %s", sXml.c_str());
    } else {
        for (const CUserPropertyDefinition& definition : definitions) {
            if (definition.sPropertyName.empty()) continue;
            CElementSpan span{};
            if (FindElement(sXml, definition.sPropertyName, span))
                sXml.replace(span.nValue, span.nClose - span.nValue, definition.sDefaultValue);
            else
                sXml.insert(sXml.size() - SETTINGS_END.size(), "<" + definition.sPropertyName + ">" +
                                                                  definition.sDefaultValue + "</" +
                                                                  definition.sPropertyName + ">");
        }
    }
    Trace("BuildXMLProperties ends");
}

bool CSWGeneralSettings::FindPropertyInXML(const std::string& sXml, std::vector<CUserPropertyDefinition>& definitions,
                                           DWORD dwPropertyId) {
    Trace("FindPropertyInXML begins %d", static_cast<int>(dwPropertyId));
    CUserPropertyDefinition* pDefinition = FindDefinition(definitions, dwPropertyId);
    if (pDefinition == nullptr) {
        Trace("FindPropertyInXML didn't find the item %d in %s", static_cast<int>(dwPropertyId), sXml.c_str());
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "FindPropertyInXML didn't find item %d %s",
                                static_cast<int>(dwPropertyId), sXml.c_str());
        return false;
    }
    CElementSpan span{};
    const bool bFound = !pDefinition->sPropertyName.empty() && FindElement(sXml, pDefinition->sPropertyName, span);
    if (bFound) pDefinition->sDefaultValue = sXml.substr(span.nValue, span.nClose - span.nValue);
    Trace("FindPropertyInXML ends ID: %d, %s", static_cast<int>(dwPropertyId), bFound ? "found" : "not found");
    return bFound;
}

bool CSWGeneralSettings::RemovePropertyFromXML(std::string& sXml,
                                               const std::vector<CUserPropertyDefinition>& definitions,
                                               DWORD dwPropertyId) {
    Trace("RemovePropertyFromXML begins %d", static_cast<int>(dwPropertyId));
    const CUserPropertyDefinition* pDefinition = FindDefinition(definitions, dwPropertyId);
    if (pDefinition == nullptr) {
        Trace("RemovePropertyFromXML didn't find the item %d in %s", static_cast<int>(dwPropertyId), sXml.c_str());
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "RemovePropertyFromXML didn't find the item %d in %s",
                                static_cast<int>(dwPropertyId), sXml.c_str());
        Trace("RemovePropertyFromXML ends ID: %d, %d", static_cast<int>(dwPropertyId), 0);
        return false;
    }
    CElementSpan span{};
    if (!pDefinition->sPropertyName.empty() && FindElement(sXml, pDefinition->sPropertyName, span)) {
        sXml.erase(span.nOpen, span.nEnd - span.nOpen);
        Trace("RemovePropertyFromXML ID: %d, %s removed", static_cast<int>(dwPropertyId),
              pDefinition->sPropertyName.c_str());
    }
    Trace("RemovePropertyFromXML ends ID: %d, %d", static_cast<int>(dwPropertyId), 1);
    return true;
}

void CSWGeneralSettings::InvalidateUserProp(const std::string& sUser, DWORD dwPropertyId,
                                            const std::string& sSessionId) {
    Trace("InvalidateUserProp begins ID: %d", static_cast<int>(dwPropertyId));
    std::string sXml;
    if (m_hiddenMessageCache.GetItem(m_hiddenMessageCacheName, sUser, sXml, sSessionId) == S_OK) {
        RemovePropertyFromXML(sXml, m_userProperties, dwPropertyId);
        if (const HRESULT hr = m_hiddenMessageCache.AddItem(m_hiddenMessageCacheName, sUser, sXml, sSessionId);
            hr < 0) {
            Trace("InvalidateUserProp failed to refresh item to cache for User %s", sUser.c_str());
            m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE,
                                    "InvalidateUserProp failed to refresh item to cache for User %s. Session %s. "
                                    "HRESULT 0x%x",
                                    sUser.c_str(), sSessionId.c_str(), static_cast<unsigned>(hr));
        }
    }
    Trace("InvalidateUserProp ends %d", static_cast<int>(dwPropertyId));
}
