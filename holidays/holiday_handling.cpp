#include "holidays/holiday_handling.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "holidays/holiday_directory_change_handler.h"
#include "platform/component_interfaces.h"
#include "platform/impersonation.h"
#include "platform/utf.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"

namespace {

constexpr int SETTING_RETRY_MINUTES = 142;
constexpr int SETTING_AUTOMATIC = 143;
constexpr int SETTING_MAX_ATTEMPTS = 145;
constexpr DWORD PROPERTY_LAST_IMPORTED = 0x8109;
constexpr DWORD PROPERTY_LAST_DELETED = 0x810A;
constexpr DWORD PROPERTY_LAST_SECTIONS = 0x810B;

CEventLog& Events() { return CKXGeneralSettings::GetInstance()->EventLog(); }

int Setting(int nId, int nDefault) {
    int nValue = nDefault;
    CKXGeneralSettings::GetInstance()->GetSettingFromID(nId, nValue, -1);
    return nValue;
}

// A configuration value: ";", "=", "%", "|" and control characters as %XX.
std::string Encoded(const std::string& sValue) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string sOut;
    for (const char ch : sValue) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || ch == ';' || ch == '=' || ch == '%' || ch == '|')
            sOut.append("%").append(1, HEX[byte >> 4]).append(1, HEX[byte & 15]);
        else
            sOut += ch;
    }
    return sOut;
}

// The latest ".hol" file of a folder by name (as a sorted listing gives it); empty when none.
std::string LatestHolidayFile(const std::string& sFolder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sFolder, error)) {
        const std::string sName = entry.path().filename().string();
        if (entry.is_regular_file(error) && sName.size() > 4 && SameNoCase(sName.substr(sName.size() - 4), ".hol"))
            names.push_back(sName);
    }
    if (names.empty()) return {};
    return sFolder + *std::max_element(names.begin(), names.end(), CNoCaseLess());
}

bool ContainsSection(const std::string& sList, const std::string& sSection) {
    for (size_t nStart = 0; nStart <= sList.size();) {
        size_t nEnd = sList.find(';', nStart);
        if (nEnd == std::string::npos) nEnd = sList.size();
        if (sList.compare(nStart, nEnd - nStart, sSection) == 0) return true;
        nStart = nEnd + 1;
    }
    return false;
}

// The holiday component, reporting a failure to make it.
std::shared_ptr<IHoliday> MakeComponent(const char* pszCaller, int nTry) {
    std::shared_ptr<IHoliday> spHoliday;
    const HRESULT hr = CoCreateInstance(CLSID_CHoliday, spHoliday);
    if (hr >= 0) return spHoliday;
    Trace("%s failed to create COM object CLSID_CHoliday IHoliday hr: 0x%x.", pszCaller, static_cast<unsigned>(hr));
    if (nTry <= 1)
        Events().ReportEventf(EVENTLOG_ERROR_TYPE,
                              "Kalyxa %s failed to create COM object CLSID_CHoliday  IHoliday hr: 0x%x.", pszCaller,
                              static_cast<unsigned>(hr));
    else if (nTry >= 100)
        Events().ReportEventf(EVENTLOG_ERROR_TYPE,
                              "Kalyxa %s failed to create COM object CLSID_CHoliday  IHoliday hr: 0x%x. It tried %d "
                              "times already",
                              pszCaller, static_cast<unsigned>(hr), nTry);
    return nullptr;
}

}  // namespace

void CHolidayHandling::CheckHolidayFiles(const std::string& sProductFolder) {
    const std::string sHolidayFolder = sProductFolder + "Holiday";
    {
        CCritSecLock guard(m_monitorLock);
        m_sHolidayFolder = sHolidayFolder;
    }
    m_files.Clear();
    for (const bool bImport : {true, false}) {
        const std::string sFolder = sHolidayFolder + (bImport ? "/Import/" : "/Delete/");
        std::error_code error;
        std::filesystem::create_directories(sFolder, error);
        const std::string sPath = LatestHolidayFile(sFolder);
        const char* pszSide = bImport ? "Import" : "Delete";
        if (sPath.empty()) continue;
        if (const DWORD dwError = m_files.Update(sPath, bImport); dwError != ERROR_SUCCESS)
            Trace("CheckHolidayFiles %s Path %s %d", pszSide, sPath.c_str(), static_cast<int>(dwError));
        else
            Trace("CheckHolidayFiles %s Path %s", pszSide, sPath.c_str());
    }
}

std::string CHolidayHandling::HolidayFolder() {
    CCritSecLock guard(m_monitorLock);
    return m_sHolidayFolder;
}

void CHolidayHandling::RescanHolidayFiles() {
    const std::string sHolidayFolder = HolidayFolder();
    for (const bool bImport : {true, false}) {
        const std::string sPath = LatestHolidayFile(sHolidayFolder + (bImport ? "/Import/" : "/Delete/"));
        std::string sHash;
        if (!sPath.empty() && HolidayFileHash(sPath, sHash) == ERROR_SUCCESS && sHash != m_files.Get(bImport).sHash)
            m_files.Update(sPath, bImport);
    }
}

DWORD CHolidayHandling::StartFolderMonitoring() {
    CCritSecLock guard(m_monitorLock);
    DWORD dwResult = ERROR_SUCCESS;
    if (m_monitor.State() != CFolderMonitor::STATE_WATCHING) {
        if (m_monitor.Directory().empty()) m_monitor.SetDirectory(m_sHolidayFolder);
        if (!m_monitor.HasHandler()) m_monitor.SetHandler(std::make_shared<CHolidayDirectoryChangeHandler>(*this));
        dwResult = m_monitor.StartThreadMonitor();
    }
    Trace("StartFolderMonitoring returned %d", static_cast<int>(dwResult));
    return dwResult;
}

void CHolidayHandling::MarkMonitorEnded() {
    CCritSecLock guard(m_monitorLock);
    m_monitor.SetState(CFolderMonitor::STATE_ENDED);
}

HRESULT CHolidayHandling::LoadImportHoliday() {
    const CCurrentHolidayFile file = m_files.Get(true);
    if (file.sPath.empty() || file.sHash.empty()) return S_FALSE;
    const std::shared_ptr<IHoliday> spHoliday = MakeComponent("LoadImportHoliday", file.nAttempts + 1);
    if (spHoliday == nullptr) return E_FAIL;
    const std::u16string sPath = Utf8ToUtf16(file.sPath);
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    if (spHoliday->IsHolydayFileLoaded(sPath, bLoaded) < 0 || bLoaded != VARIANT_FALSE) return S_OK;
    // Only loads count towards the limit, not the look-ups of a loaded file.
    const int nAttempt = m_files.CountAttempt(true);
    const int nLimit = Setting(SETTING_MAX_ATTEMPTS, 100);
    if (nAttempt > nLimit) {
        Trace("LoadImportHoliday reached a max attemps %d for loading import file %s", nLimit, file.sPath.c_str());
        return E_ABORT;
    }
    uint16_t nResult = 0;
    const HRESULT hr = spHoliday->LoadHolidayFile(sPath, nResult);
    if (hr < 0) {
        Trace("LoadImportHoliday failed hr: 0x%x,", static_cast<unsigned>(hr));
        Events().ReportEventf(EVENTLOG_ERROR_TYPE, "Kalyxa LoadImportHoliday holiday file %s failed %s HR: 0x%x",
                              file.sPath.c_str(), file.sHash.c_str(), static_cast<unsigned>(hr));
        return hr;
    }
    if (nResult < HOLIDAY_FILE_LOADED) {
        m_files.SetLoaded(true, false);
        std::u16string sDescription, sSource;
        spHoliday->GetErrorDescription(sDescription, sSource);
        const std::string sText = Utf16ToUtf8(sDescription), sWhere = Utf16ToUtf8(sSource);
        if (nAttempt == 1)
            Events().ReportEventf(EVENTLOG_ERROR_TYPE, "Kalyxa Loading import holiday file %s  %s failed %s, Source %s",
                                  file.sPath.c_str(), file.sHash.c_str(), sText.c_str(), sWhere.c_str());
        else if (nAttempt == nLimit)
            Events().ReportEventf(EVENTLOG_ERROR_TYPE,
                                  "Kalyxa Loading import holiday file %s  %s failed %s, Source %s. It tried %d times "
                                  "already, no more attamps will be performed for this file. Please correct the "
                                  "problem and save again the file in order to be reloaded",
                                  file.sPath.c_str(), file.sHash.c_str(), sText.c_str(), sWhere.c_str(), nAttempt);
        return E_FAIL;
    }
    Events().ReportEventf(EVENTLOG_INFORMATION_TYPE, "Kalyxa LoadImportHoliday holiday file %s Succeded %s",
                          file.sPath.c_str(), file.sHash.c_str());
    m_files.SetLoaded(true, true);
    return S_OK;
}

void CHolidayHandling::ProcessUserHolidays(const CHolidayUser& user) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    const int nRetryMinutes = Setting(SETTING_RETRY_MINUTES, 3);
    if (Setting(SETTING_AUTOMATIC, 0) == 0) return;
    std::string sSections;
    pSettings->GetSettingFromID(kx_setting::HOLIDAY_SECTIONS, sSections, -1);
    const CCurrentHolidayFile removal = m_files.Get(false);
    const CCurrentHolidayFile import = m_files.Get(true);
    const auto property = [&](DWORD dwId) {
        std::string sValue;
        pSettings->GetUserProp(user.sUser, dwId, sValue, user.sEwsUrl, user.sSessionId, true, user.sMailbox, false);
        return sValue;
    };
    bool bRemovalDue = false;
    if (!removal.sHash.empty())
        bRemovalDue = property(PROPERTY_LAST_DELETED) != removal.sHash &&
                      m_attempts.MayStart(user.sUser, false, removal.sHash, nRetryMinutes, FileTimeNow());
    bool bImportDue = false;
    if (!import.sHash.empty() && sSections.empty()) {
        if (!import.bLoaded) LoadImportHoliday();
    } else if (!import.sHash.empty()) {
        bImportDue = property(PROPERTY_LAST_IMPORTED) != import.sHash;
        if (!bImportDue) {
            const std::string sImported = property(PROPERTY_LAST_SECTIONS);
            for (size_t nStart = 0; nStart <= sSections.size() && !bImportDue;) {
                size_t nEnd = sSections.find(';', nStart);
                if (nEnd == std::string::npos) nEnd = sSections.size();
                const std::string sSection = sSections.substr(nStart, nEnd - nStart);
                bImportDue = !sSection.empty() && !ContainsSection(sImported, sSection);
                nStart = nEnd + 1;
            }
        }
        bImportDue = bImportDue && m_attempts.MayStart(user.sUser, true, import.sHash, nRetryMinutes, FileTimeNow());
    }
    if (bRemovalDue) Trigger(user, false, removal, sSections);
    if (bImportDue) Trigger(user, true, import, sSections);
}

HRESULT CHolidayHandling::Trigger(const CHolidayUser& user, bool bImport, const CCurrentHolidayFile& file,
                                  const std::string& sSections) {
    const char* pszCaller = bImport ? "TriggerHolidayImport" : "TriggerHolidayDelete";
    const CRevertToSelf processIdentity;
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    try {
        const std::shared_ptr<IHoliday> spHoliday = MakeComponent(pszCaller, 1);
        if (spHoliday == nullptr) return E_FAIL;
        if (const auto spHoliday2 = std::dynamic_pointer_cast<IHoliday2>(spHoliday)) {
            if (spHoliday2->Initialize(Utf8ToUtf16(HolidayFolder()), 0) < 0)
                Trace("%s Holiday2 failed to initialize", pszCaller);
        } else {
            Trace("%s Holiday processing doesn't have IHoliday2 interface", pszCaller);
        }
        // The work acts as the user, in the calendar the user properties are read from.
        CExchangeIdentity identity;
        if (const HRESULT hr = pSettings->GetExchangeIdentity(user.sUser, user.sCookie, identity); hr < 0) {
            Trace("%s has no Exchange identity for user %s hr: 0x%x", pszCaller, user.sUser.c_str(),
                  static_cast<unsigned>(hr));
            return hr;
        }
        const std::string& sMailbox = user.sMailbox.empty() ? identity.sName : user.sMailbox;
        std::string sConfiguration = "ews=" + Encoded(user.sEwsUrl) + ";mailbox=" + Encoded(sMailbox) +
                                     ";actas=" + Encoded(std::to_string(identity.nKind) + "|" + identity.sName) +
                                     ";tz=" + Encoded(user.sTimeZone) +
                                     ";version=" + std::to_string(pSettings->ExchangeAccessVersion());
        const auto record = [&](DWORD dwId, const std::string& sValue) {
            for (const CUserPropertyDefinition& definition : pSettings->UserPropertyDefinitions())
                if (definition.dwPropertyId == dwId)
                    sConfiguration += ";record=" + Encoded(definition.sPropertySetGuid) + "|" +
                                      Encoded(definition.sPropertyName) + "|" + Encoded(sValue);
        };
        if (bImport) {
            record(PROPERTY_LAST_IMPORTED, file.sHash);
            record(PROPERTY_LAST_SECTIONS, sSections);
        } else {
            record(PROPERTY_LAST_DELETED, file.sHash);
        }
        long nResult = 0;
        HRESULT hr = spHoliday->Configure(1, Utf8ToUtf16(sConfiguration), nResult);
        if (hr < 0 || nResult != 0) {
            Trace("%s Configure failed hr: 0x%x, lRet: %ld", pszCaller, static_cast<unsigned>(hr), nResult);
            return hr < 0 ? hr : E_FAIL;
        }
        const std::u16string sPath = Utf8ToUtf16(file.sPath);
        VARIANT_BOOL bLoaded = VARIANT_FALSE;
        hr = bImport ? spHoliday->IsHolydayFileLoaded(sPath, bLoaded) : spHoliday->IsDeleteFileLoaded(sPath, bLoaded);
        if (hr < 0) {
            Trace("%s %s failed hr: 0x%x,", pszCaller, bImport ? "IsHolydayFileLoaded" : "IsDeleteFileLoaded",
                  static_cast<unsigned>(hr));
            return hr;
        }
        if (bLoaded == VARIANT_FALSE) {
            const int nAttempt = m_files.CountAttempt(bImport);
            const int nLimit = Setting(SETTING_MAX_ATTEMPTS, 100);
            if (nAttempt > nLimit) {
                Trace("%s reached a max attemps %d for loading %s file %s", pszCaller, nLimit,
                      bImport ? "import" : "delete", file.sPath.c_str());
                return E_ABORT;
            }
            uint16_t nLoaded = 0;
            hr = bImport ? spHoliday->LoadHolidayFile(sPath, nLoaded) : spHoliday->LoadDeleteFile(sPath, nLoaded);
            if (hr < 0) {
                Trace("LoadHolidayFile failed hr: 0x%x,", static_cast<unsigned>(hr));
                return hr;
            }
            if (nLoaded < HOLIDAY_FILE_LOADED) {
                std::u16string sDescription, sSource;
                spHoliday->GetErrorDescription(sDescription, sSource);
                Trace("LoadHolidayFile failed %s, Source %s", Utf16ToUtf8(sDescription).c_str(),
                      Utf16ToUtf8(sSource).c_str());
                Events().ReportEventf(EVENTLOG_ERROR_TYPE, "Kalyxa Loading %s holiday file %s  %s failed %s, Source %s",
                                      bImport ? "import" : "delete", file.sPath.c_str(), file.sHash.c_str(),
                                      Utf16ToUtf8(sDescription).c_str(), Utf16ToUtf8(sSource).c_str());
                m_files.SetLoaded(bImport, false);
                return E_FAIL;
            }
            Trace("LoadHolidayFile succeded %s", file.sPath.c_str());
            Events().ReportEventf(EVENTLOG_INFORMATION_TYPE, "Kalyxa Loaded %s holiday file %s Hash: %s for automatic %s",
                                  bImport ? "import" : "delete", file.sPath.c_str(), file.sHash.c_str(),
                                  bImport ? "import" : "delete");
            m_files.SetLoaded(bImport, true);
        }
        if (!bImport) {
            hr = spHoliday->DeleteHolidays(Utf8ToUtf16(user.sUser), nResult);
            Trace("DeleteHolidays asyncronously was triggered for User: %s, TZ: %s, DeleteHashFile: %s ",
                  user.sUser.c_str(), user.sTimeZone.c_str(), file.sHash.c_str());
            if (hr < 0 || nResult != 0)
                Trace("DeleteHolidays failed hr: 0x%x, lRet: %d", static_cast<unsigned>(hr), static_cast<int>(nResult));
            return hr < 0 ? hr : nResult == 0 ? S_OK : E_FAIL;
        }
        std::vector<std::u16string> sections;
        hr = pSettings->GetHolidaySections(sections);
        if (hr < 0 || sections.empty()) {
            Trace("TriggerHolidayImport GetHolidaySections failed or empty safearray sections hr: 0x%x, User: %s",
                  static_cast<unsigned>(hr), user.sUser.c_str());
            return hr < 0 ? hr : E_FAIL;
        }
        hr = spHoliday->AddHolidays(Utf8ToUtf16(user.sUser), sections, Utf8ToUtf16(user.sMailbox), 0, nResult);
        Trace("AddHolidays asynchronously was triggered for User: %s, Mb: %s TZ: %s, ImportedHashFile: %s ",
              user.sUser.c_str(), user.sMailbox.c_str(), user.sTimeZone.c_str(), file.sHash.c_str());
        if (hr < 0 || nResult != 0)
            Trace("AddHolidays failed hr: 0x%x, lRet: %d", static_cast<unsigned>(hr), static_cast<int>(nResult));
        return hr < 0 ? hr : nResult == 0 ? S_OK : E_FAIL;
    } catch (const std::exception& e) {
        Events().ReportEventf(EVENTLOG_ERROR_TYPE, "Kalyxa %s got STD EXCEPTION %s.  %s", pszCaller, e.what(),
                              file.sPath.c_str());
        return E_FAIL;
    }
}
