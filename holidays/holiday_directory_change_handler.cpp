#include "holidays/holiday_directory_change_handler.h"

#include <memory>

#include "base/ascii_case.h"
#include "diagnostics/trace.h"
#include "holidays/holiday_handling.h"
#include "platform/component_interfaces.h"
#include "platform/utf.h"

namespace {

constexpr const char* IMPORT_FOLDER = "/Import/";
constexpr const char* DELETE_FOLDER = "/Delete/";

bool IsHolidayFile(const std::string& sPath) {
    return sPath.size() >= 4 && SameNoCase(std::string_view(sPath).substr(sPath.size() - 4), ".hol");
}

bool IsUnder(const std::string& sPath, const char* pszFolder) { return sPath.find(pszFolder) != std::string::npos; }

// Drops the file from the holiday component when it holds it.
void RemoveFromComponent(const std::string& sPath, bool bImport) {
    const char* pszOperation = bImport ? "RemoveHolidayFile" : "RemoveDeleteHolidayFile";
    const char* pszIsLoaded = bImport ? "IsHolydayFileLoaded" : "IsDeleteFileLoaded";
    std::shared_ptr<IHoliday> spHoliday;
    HRESULT hr = CoCreateInstance(CLSID_CHoliday, spHoliday);
    if (hr < 0) {
        Trace("%s CoCreateInstance HOL::CLSID_CHoliday failed %s, HR: 0x%x", pszOperation, sPath.c_str(),
              static_cast<unsigned>(hr));
        return;
    }
    const std::u16string sWidePath = Utf8ToUtf16(sPath);
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    hr = bImport ? spHoliday->IsHolydayFileLoaded(sWidePath, bLoaded) : spHoliday->IsDeleteFileLoaded(sWidePath, bLoaded);
    if (hr < 0) {
        Trace("%s %s failed %s, HR: 0x%x", pszOperation, pszIsLoaded, sPath.c_str(), static_cast<unsigned>(hr));
        return;
    }
    if (bLoaded == VARIANT_FALSE) {
        Trace("%s %s returned false %s, file not loaded yet is not neccesssary to remove it", pszOperation,
              pszIsLoaded, sPath.c_str());
        return;
    }
    VARIANT_BOOL bRemoved = VARIANT_FALSE;
    hr = bImport ? spHoliday->RemoveHolidayFile(sWidePath, bRemoved)
                 : spHoliday->RemoveDeleteHolidayFile(sWidePath, bRemoved);
    if (hr < 0)
        Trace("%s failed %s, HR: 0x%x", pszOperation, sPath.c_str(), static_cast<unsigned>(hr));
    else if (bRemoved != VARIANT_FALSE)
        Trace("%s  %s, returned true ", pszOperation, sPath.c_str());
    else
        Trace("%s returned false %s, ", pszOperation, sPath.c_str());
}

}  // namespace

void CHolidayDirectoryChangeHandler::On_FileAdded(const std::string& sPath) {
    if (!IsHolidayFile(sPath)) return;
    const bool bImport = IsUnder(sPath, IMPORT_FOLDER);
    if (!bImport && !IsUnder(sPath, DELETE_FOLDER)) return;
    m_handling.Files().SetLoaded(bImport, false);
    m_handling.Files().Update(sPath, bImport);
}

void CHolidayDirectoryChangeHandler::On_FileNameChanged(const std::string& sOldPath, const std::string& sNewPath) {
    if (!IsHolidayFile(sNewPath)) return;
    for (const bool bImport : {true, false}) {
        if (!IsUnder(sOldPath, bImport ? IMPORT_FOLDER : DELETE_FOLDER) ||
            sOldPath != m_handling.Files().Get(bImport).sPath)
            continue;
        m_handling.Files().SetLoaded(bImport, false);
        m_handling.Files().Update(sNewPath, bImport);
        return;
    }
    // A file saved through a rename (written under another name first) is a new version.
    On_FileAdded(sNewPath);
}

void CHolidayDirectoryChangeHandler::On_FileRemoved(const std::string& sPath) {
    if (!IsHolidayFile(sPath)) return;
    try {
        if (IsUnder(sPath, DELETE_FOLDER))
            RemoveFromComponent(sPath, false);
        else if (IsUnder(sPath, IMPORT_FOLDER))
            RemoveFromComponent(sPath, true);
    } catch (const std::exception& e) {
        Trace("CHolidayDirectoryChangeHandler::On_FileRemoved General exception %s", e.what());
    }
}

void CHolidayDirectoryChangeHandler::On_ReadDirectoryChangesError(DWORD dwError, const std::string& sDirectory) {
    Trace("CHolidayDirectoryChangeHandler::On_ReadDirectoryChangesError got an error for Dir %s %d", sDirectory.c_str(),
          static_cast<int>(dwError));
}

void CHolidayDirectoryChangeHandler::On_WatchStarted(DWORD dwError, const std::string& sDirectory) {
    Trace("CHolidayDirectoryChangeHandler::On_WatchStarted for Dir %s with %d", sDirectory.c_str(),
          static_cast<int>(dwError));
    m_handling.RescanHolidayFiles();
}

void CHolidayDirectoryChangeHandler::On_WatchStopped(DWORD dwError, const std::string& sDirectory) {
    Trace("CHolidayDirectoryChangeHandler::On_WatchStopped for Dir %s with %d", sDirectory.c_str(),
          static_cast<int>(dwError));
    m_handling.MarkMonitorEnded();
}
