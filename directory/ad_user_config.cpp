#include "directory/ad_user_config.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "base/ascii_case.h"
#include "diagnostics/trace.h"
#include "directory/owa_ad_config.h"
#include "platform/clock.h"
#include "platform/hresult_error.h"
#include "platform/impersonation.h"
#include "platform/sid.h"
#include "platform/utf.h"

std::atomic<DWORD> CADUserConfig::s_dwLearnedConfigurationType{CADUserConfig::NOT_LEARNED};

namespace {

constexpr size_t FILTER_LIMIT = 519;  // UTF-16 units
constexpr int64_t FILETIME_UNIX_EPOCH = 116444736000000000;  // 1970-01-01 in 100-ns units since 1601

bool IsOneOf(const std::string& sName, std::initializer_list<const char*> names) {
    for (const char* pszName : names)
        if (SameNoCase(sName, pszName)) return true;
    return false;
}

// "M/D/YYYY h:mm:ss AM" in local time.
std::string DateTimeText(std::time_t utcTime) {
    CLocalTime local{};
    if (!ToLocalTime(static_cast<int64_t>(utcTime), local)) return "";
    const unsigned nHour = local.nHour % 12 == 0 ? 12 : local.nHour % 12;
    char szText[64];
    std::snprintf(szText, sizeof szText, "%u/%u/%u %u:%02u:%02u %s", local.nMonth, local.nDay, local.nYear, nHour,
                  local.nMinute, local.nSecond, local.nHour < 12 ? "AM" : "PM");
    return szText;
}

std::string GuidText(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != 16) return "";
    const auto le = [&](size_t nAt, size_t nCount) {
        uint32_t nValue = 0;
        for (size_t n = nCount; n-- > 0;) nValue = (nValue << 8) | bytes[nAt + n];
        return nValue;
    };
    char szText[40];
    std::snprintf(szText, sizeof szText, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", le(0, 4), le(4, 2),
                  le(6, 2), bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return szText;
}

void Append(std::string& sText, const std::string& sPiece) {
    if (!sText.empty()) sText += ';';
    sText += sPiece;
}

// Adds the column's values to sText as the attribute's kind renders them.
void AppendColumn(const ADS_SEARCH_COLUMN& column, std::string& sText) {
    const std::string sName = Utf16ToUtf8(column.sAttrName);
    for (const ADSVALUE& value : column.values) {
        switch (column.dwADsType) {
            case ADSTYPE_DN_STRING:
            case ADSTYPE_CASE_EXACT_STRING:
            case ADSTYPE_CASE_IGNORE_STRING:
            case ADSTYPE_PRINTABLE_STRING:
            case ADSTYPE_NUMERIC_STRING: Append(sText, Utf16ToUtf8(value.sText)); break;
            case ADSTYPE_BOOLEAN: Append(sText, value.bBoolean ? "TRUE" : "FALSE"); break;
            case ADSTYPE_INTEGER: Append(sText, std::to_string(value.nInteger)); break;
            case ADSTYPE_OCTET_STRING:
                if (IsOneOf(sName, {"objectSID"})) {
                    CSid sid;
                    if (SidFromBytes(value.octets.data(), value.octets.size(), sid)) Append(sText, FormatSid(sid));
                } else if (IsOneOf(sName, {"objectGUID", "msExchMailboxGUID", "msExchArchiveGUID"})) {
                    const std::string sGuid = GuidText(value.octets);
                    if (!sGuid.empty()) Append(sText, sGuid);
                }
                break;
            case ADSTYPE_LARGE_INTEGER: {
                const auto nLow = static_cast<uint32_t>(static_cast<uint64_t>(value.nLargeInteger));
                const auto nHigh = static_cast<int32_t>(static_cast<uint64_t>(value.nLargeInteger) >> 32);
                if (!IsOneOf(sName, {"badPasswordTime", "accountExpires", "lastLogon", "lastLogoff", "lockoutTime",
                                     "pwdLastSet"})) {
                    Trace(" FIndUser high: %d low: %d\r\n", nHigh, static_cast<int>(nLow));
                } else if (nLow == 0xFFFFFFFFu) {
                    sText = "  Never Expires";
                } else {
                    const int64_t nTicks = value.nLargeInteger - FILETIME_UNIX_EPOCH;
                    Append(sText, DateTimeText(static_cast<std::time_t>(nTicks / 10000000 - (nTicks % 10000000 < 0))));
                }
                break;
            }
            case ADSTYPE_UTC_TIME: Append(sText, DateTimeText(value.utcTime)); break;
            case ADSTYPE_NT_SECURITY_DESCRIPTOR: break;
            default: Trace("Unknown type %d.\n", static_cast<int>(column.dwADsType)); break;
        }
    }
}

}  // namespace

void CADUserConfig::SetFilter(const std::string& sId, DWORD dwKind) {
    const std::string sValue = EscapeFilterValue(sId);
    switch (dwKind) {
        case ID_USER_PRINCIPAL_NAME: m_sFilter = "(userPrincipalName=" + sValue + ")"; break;
        case ID_NAME: m_sFilter = "(name=" + sValue + ")"; break;
        case ID_SMTP_ADDRESS: m_sFilter = "(proxyAddresses=SMTP:" + sValue + ")"; break;
        case ID_LEGACY_EXCHANGE_DN: m_sFilter = "(legacyExchangeDN=" + sValue + ")"; break;
        case ID_X500_ADDRESS: m_sFilter = "(proxyAddresses=x500:" + sValue + ")"; break;
        case ID_SID: m_sFilter = "(ObjectSID=" + sValue + ")"; break;
        case ID_SID_OR_MASTER_ACCOUNT_SID:
            m_sFilter = "(|(ObjectSID=" + sValue + ")(msExchMasterAccountSid=" + sValue + "))";
            break;
        default: m_sFilter = "(sAMAccountName=" + sValue + ")"; break;
    }
}

HRESULT CADUserConfig::GetProperty(const std::string& sAttribute, std::string& sText) {
    CUserAttributeTexts texts;
    const HRESULT hr = GetProperties({sAttribute}, texts);
    if (hr != S_OK) return hr;
    const auto it = texts.find(sAttribute);
    if (it == texts.end()) return E_ADS_PROPERTY_NOT_FOUND;
    sText = it->second;
    return S_OK;
}

HRESULT CADUserConfig::GetProperties(const std::vector<std::string>& attributes, CUserAttributeTexts& texts) {
    std::vector<std::string> unread;
    for (const std::string& sAttribute : attributes)
        if (m_cache.find(sAttribute) == m_cache.end()) unread.push_back(sAttribute);
    if (!unread.empty()) {
        const DWORD dwLearned = s_dwLearnedConfigurationType.load(std::memory_order_relaxed);
        DWORD dwType = dwLearned == NOT_LEARNED ? m_dwConfigurationType : dwLearned;
        CUserAttributeTexts read;
        HRESULT hr = ReadProperties(unread, read, dwType);
        if (hr != S_OK && m_bUseNamingContext) {
            dwType = dwType == AS_PROCESS ? AS_CALLER : AS_PROCESS;
            m_sDefaultNamingContext.clear();
            read.clear();
            hr = ReadProperties(unread, read, dwType);
        }
        if (hr != S_OK) return hr;
        if (dwType != dwLearned && m_bUseNamingContext)
            s_dwLearnedConfigurationType.store(dwType, std::memory_order_relaxed);
        for (const std::string& sAttribute : unread) {
            const auto it = read.find(sAttribute);
            m_cache[sAttribute] = it == read.end() ? std::nullopt : std::optional<std::string>(it->second);
        }
    }
    for (const std::string& sAttribute : attributes)
        if (const auto it = m_cache.find(sAttribute); it != m_cache.end() && it->second) texts[sAttribute] = *it->second;
    return S_OK;
}

HRESULT CADUserConfig::ReadNamingContextAs(DWORD dwConfigurationType) {
    if (dwConfigurationType != AS_PROCESS && dwConfigurationType != AS_PROCESS_THEN_CALLER)
        return ReadDefaultNamingContext();
    HRESULT hr;
    {
        CRevertToSelf processIdentity;
        hr = ReadDefaultNamingContext();
    }
    if (hr != S_OK && dwConfigurationType == AS_PROCESS_THEN_CALLER) hr = ReadDefaultNamingContext();
    return hr;
}

std::u16string CADUserConfig::SearchPath() const {
    std::u16string sPath = m_sProvider.empty() ? u"GC:" : m_sProvider + u":";
    if (!m_sDomainController.empty()) sPath += u"//" + m_sDomainController + u"/";
    if (m_bUseNamingContext) sPath += (m_sDomainController.empty() ? u"//" : u"") + EscapePathDn(m_sDefaultNamingContext);
    return sPath;
}

HRESULT CADUserConfig::ReadProperties(const std::vector<std::string>& attributes, CUserAttributeTexts& texts,
                                      DWORD& dwConfigurationType) {
    const int nType = static_cast<int>(dwConfigurationType);
    std::string sAttribute;  // the names, for the trace
    for (const std::string& sName : attributes) sAttribute += (sAttribute.empty() ? "" : ",") + sName;
    std::string sTrail;
    try {
        if (m_bUseNamingContext && m_sDefaultNamingContext.empty()) {
            sTrail += "ReadDefaultNamingContext ";
            const HRESULT hr = ReadNamingContextAs(dwConfigurationType);
            if (hr != S_OK) {
                Trace("ReadProperties couldn't open AD connection ReadDefaultNamingContext 0x%x ConfigType: %d",
                      static_cast<unsigned>(hr), nType);
                return hr;
            }
            if (m_sDefaultNamingContext.empty()) sTrail += "No DefaultNamingContext ";
        }
        sTrail += " GetDirectorySearch ";
        std::unique_ptr<IDirectorySearch> spSearch;
        HRESULT hr = GetDirectorySearch(SearchPath(), spSearch);
        if (hr != S_OK) {
            Trace("ReadProperties couldn't get IDirectorySearch 0x%x ConfigType: %d", static_cast<unsigned>(hr), nType);
            return hr;
        }
        sTrail += " FindUser ";
        hr = FindUsers(spSearch.get(), Utf8ToUtf16(m_sFilter), attributes, texts);
        if (hr == E_ADS_PROPERTY_NOT_FOUND) return S_OK;  // found, without the attributes
        if (hr != S_OK) {
            sTrail += ExtendedErrorText(hr);
            Trace("CADUserConfig failed to get AD user %s Prop %s hr: 0x%x ConfigType: %d  %s", m_sFilter.c_str(),
                  sAttribute.c_str(), static_cast<unsigned>(hr), nType, sTrail.c_str());
            return hr;
        }
        return S_OK;
    } catch (const CHResultError& e) {
        Trace("ReadProperty from AD got an exception HR: 0x%x. Context: %s user %s Prop %s ConfigurationType: %d",
              static_cast<unsigned>(e.Error()), sTrail.c_str(), m_sFilter.c_str(), sAttribute.c_str(), nType);
        return e.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        Trace("ReadProperty from AD got an std exception %s Context: %s user %s Prop %s ConfigurationType: %d", e.what(),
              sTrail.c_str(), m_sFilter.c_str(), sAttribute.c_str(), nType);
        return E_FAIL;
    } catch (...) {
        Trace("ReadProperty from AD got an general exception Context: %s user %s Prop %s ConfigurationType: %d",
              sTrail.c_str(), m_sFilter.c_str(), sAttribute.c_str(), nType);
        return E_FAIL;
    }
}

HRESULT CADUserConfig::ReadDefaultNamingContext() {
    std::u16string sPath = (m_sProvider.empty() ? u"GC" : m_sProvider) + u"://";
    if (!m_sDomainController.empty()) sPath += m_sDomainController + u"/";
    sPath += u"rootDSE";
    std::unique_ptr<IADs> spRootDse;
    HRESULT hr = ADsOpenObject(sPath, nullptr, nullptr, ADS_SECURE_AUTHENTICATION, spRootDse);
    if (hr != S_OK) {
        Trace("COWAADConfig::ReadDefaultNamingContext() failed to connect hr: 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    CAdsVariant value;
    hr = spRootDse->Get(u"defaultNamingContext", value);
    if (hr == S_OK && !std::holds_alternative<std::u16string>(value)) hr = DISP_E_TYPEMISMATCH;
    if (hr != S_OK) {
        Trace("COWAADConfig::ReadDefaultNamingContext() failed to get defaultNamingContext hr: 0x%x",
              static_cast<unsigned>(hr));
        return hr;
    }
    m_sDefaultNamingContext = std::get<std::u16string>(value);
    if (m_sDefaultNamingContext.empty()) Trace("COWAADConfig::ReadDefaultNamingContext() got an empty defaultNamingContext");
    return S_OK;
}

HRESULT CADUserConfig::GetDirectorySearch(const std::u16string& sPath, std::unique_ptr<IDirectorySearch>& spSearch) {
    if (sPath != u"GC:" && sPath != u"LDAP:") {
        const HRESULT hr = ADsOpenObject(sPath, nullptr, nullptr, ADS_SECURE_AUTHENTICATION, spSearch);
        if (hr != S_OK)
            Trace("GetDirectorySearch ADsOpenObject IID_IDirectorySearch Path: %s failed: 0x%x\n", Utf16ToUtf8(sPath).c_str(),
                  static_cast<unsigned>(hr));
        return hr;
    }
    std::unique_ptr<IADsContainer> spNamespace;
    HRESULT hr = ADsOpenObject(sPath, nullptr, nullptr, ADS_SECURE_AUTHENTICATION, spNamespace);
    if (hr != S_OK) {
        Trace("GetDirectorySearch ADsOpenObject failed to OPEN GC:: 0x%x\n", static_cast<unsigned>(hr));
        return hr;
    }
    hr = spNamespace->FirstChildSearch(spSearch);
    if (hr != S_OK) {
        if (hr == S_FALSE) hr = E_FAIL;  // a namespace without a directory
        Trace("GetDirectorySearch ADsEnumerateNext failed: 0x%x\n", static_cast<unsigned>(hr));
    }
    return hr;
}

HRESULT CADUserConfig::FindUsers(IDirectorySearch* pSearch, const std::u16string& sFilter,
                                 const std::vector<std::string>& attributeNames, CUserAttributeTexts& texts) {
    if (pSearch == nullptr) return E_POINTER;
    std::u16string sFullFilter = u"(&" + m_sBaseFilter + sFilter + u")";
    if (sFullFilter.size() > FILTER_LIMIT) sFullFilter.resize(FILTER_LIMIT);
    const std::string sNarrowFilter = Utf16ToUtf8(sFullFilter);
    const ADS_SEARCHPREF_INFO scope{ADS_SEARCHPREF_SEARCH_SCOPE, ADS_SCOPE_SUBTREE};
    HRESULT hr = pSearch->SetSearchPreference(&scope, 1);
    if (hr != S_OK) {
        Trace("CADUserConfig::FindUsers SetSearchPreference failed HR 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    std::vector<std::u16string> attributes;
    for (const std::string& sName : attributeNames)
        if (!sName.empty()) attributes.push_back(Utf8ToUtf16(sName));
    ADS_SEARCH_HANDLE hSearch = nullptr;
    hr = pSearch->ExecuteSearch(sFullFilter, attributes, &hSearch);
    if (hr != S_OK) {
        Trace("Execute search failed %s 0x%x", sNarrowFilter.c_str(), static_cast<unsigned>(hr));
        return hr;
    }
    HRESULT hrError = S_OK;
    const auto failed = [&](HRESULT hrStep, const char* pszLine) {
        if (hrStep >= 0) return false;
        Trace(pszLine, static_cast<unsigned>(hrStep));
        if (hrError == S_OK) hrError = hrStep;
        return true;
    };
    int nCount = 0, nRows = 0;
    HRESULT hrRow = pSearch->GetFirstRow(hSearch);
    failed(hrRow, "CADUserConfig::FindUsers GetFirstRow failed HR 0x%x");
    while (hrRow == S_OK) {
        ++nRows;
        std::u16string sColumn;
        HRESULT hrName = pSearch->GetNextColumnName(hSearch, sColumn);
        failed(hrName, "CADUserConfig::FindUsers First call GetNextColumnName failed HR 0x%x");
        while (hrName == S_OK) {
            ADS_SEARCH_COLUMN column;
            if (!failed(pSearch->GetColumn(hSearch, sColumn, &column), "CADUserConfig::FindUsers GetColumn failed HR 0x%x")) {
                AppendColumn(column, texts[Utf16ToUtf8(column.sAttrName)]);
                ++nCount;
                pSearch->FreeColumn(&column);
            }
            hrName = pSearch->GetNextColumnName(hSearch, sColumn);
            failed(hrName, "CADUserConfig::FindUsers GetNextColumnName failed HR 0x%x");
        }
        hrRow = pSearch->GetNextRow(hSearch);
        failed(hrRow, "CADUserConfig::FindUsers GetNextRow failed HR 0x%x");
    }
    failed(pSearch->CloseSearchHandle(hSearch), "CADUserConfig::FindUsers CloseSearchHandle failed HR 0x%x");
    if (nRows > 1 && hrError == S_OK) {
        // Values of two people joined would be wrong for both.
        texts.clear();
        Trace("CADUserConfig::FindUsers %s found %d users; the identifier must name one", sNarrowFilter.c_str(), nRows);
        return E_ADS_USER_NOT_UNIQUE;
    }
    if (nCount > 0 && hrError == S_OK) {
        Trace("CADUserConfig::FindUsers %s hr:0x%x Count: %d", sNarrowFilter.c_str(), 0u, nCount);
        return S_OK;
    }
    // A user without the attributes is found all the same.
    hr = hrError != S_OK ? hrError : nRows > 0 ? E_ADS_PROPERTY_NOT_FOUND : E_FAIL;
    Trace("CADUserConfig::FindUsers %s hr:0x%x Count = 0 Error! No property was found", sNarrowFilter.c_str(),
          static_cast<unsigned>(hr));
    return hr;
}
