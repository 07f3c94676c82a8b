#include "components/holiday_job.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "base/win_errors.h"
#include "components/ews_client.h"
#include "diagnostics/trace.h"

namespace {

constexpr size_t CREATE_BATCH = 50;
constexpr size_t DELETE_BATCH = 100;
constexpr const char* CATEGORY = "Holiday";

std::string MarkerValue(const std::string& sSection, const CHoliday& holiday) {
    char szDate[32];
    std::snprintf(szDate, sizeof(szDate), "%04d-%02d-%02d", holiday.nYear % 10000, holiday.nMonth % 100,
                  holiday.nDay % 100);
    return sSection + "|" + szDate + "|" + holiday.sName;
}

HRESULT Failed(const CEwsClient& client, const char* pszStep, std::string& sError) {
    sError = std::string(pszStep) + ": " + client.LastError().sText;
    return client.LastError().hr < 0 ? client.LastError().hr : E_FAIL;
}

// Runs fn on each batch of items; stops when it fails or the work is cancelled.
template <class TItem, class TFunction>
HRESULT InBatches(const std::vector<TItem>& items, size_t nBatch, const std::atomic<bool>& bCancelled, TFunction fn) {
    for (size_t nStart = 0; nStart < items.size(); nStart += nBatch) {
        if (bCancelled) return E_ABORT;
        const auto itStart = items.begin() + static_cast<std::ptrdiff_t>(nStart);
        const std::vector<TItem> batch(itStart, itStart + static_cast<std::ptrdiff_t>(std::min(nBatch, items.size() - nStart)));
        if (const HRESULT hr = fn(batch); hr != S_OK) return hr;
    }
    return bCancelled ? E_ABORT : S_OK;
}

HRESULT Import(CEwsClient& client, const CHolidayJob& job, const std::vector<CEwsMarkedItem>& existing,
               const std::atomic<bool>& bCancelled, std::string& sError) {
    std::set<std::string> made;
    for (const CEwsMarkedItem& item : existing) made.insert(item.sMarker);
    std::vector<CEwsHolidayItem> missing;
    for (const std::string& sSection : job.sections) {
        const CHolidaySection* pSection = job.spFile->Find(sSection);
        if (pSection == nullptr) {
            Trace("[HolidayImport] the holiday file has no section [%s]", sSection.c_str());
            continue;
        }
        for (const CHoliday& holiday : pSection->holidays) {
            std::string sMarker = MarkerValue(pSection->sName, holiday);
            if (!made.insert(sMarker).second) continue;
            missing.push_back(CEwsHolidayItem{holiday.sName, pSection->sName, holiday.nYear, holiday.nMonth,
                                              holiday.nDay, std::move(sMarker)});
        }
    }
    Trace("[HolidayImport] user %s: %zu holidays to add, %zu there already", job.sUser.c_str(), missing.size(),
          existing.size());
    return InBatches(missing, CREATE_BATCH, bCancelled, [&](const std::vector<CEwsHolidayItem>& batch) {
        return client.CreateHolidayItems(HolidayMarker(), CATEGORY, job.connection.sTimeZone, batch) == S_OK
                   ? S_OK
                   : Failed(client, "CreateItem", sError);
    });
}

HRESULT Remove(CEwsClient& client, const CHolidayJob& job, const std::vector<CEwsMarkedItem>& existing,
               const std::atomic<bool>& bCancelled, std::string& sError) {
    std::set<std::string> listed;
    for (const CHolidaySection& section : job.spFile->Sections())
        for (const CHoliday& holiday : section.holidays) listed.insert(MarkerValue(section.sName, holiday));
    std::vector<std::string> ids;
    for (const CEwsMarkedItem& item : existing)
        if (listed.count(item.sMarker) != 0) ids.push_back(item.sId);
    Trace("[HolidayImport] user %s: %zu holidays to remove", job.sUser.c_str(), ids.size());
    return InBatches(ids, DELETE_BATCH, bCancelled, [&](const std::vector<std::string>& batch) {
        return client.DeleteItems(batch) == S_OK ? S_OK : Failed(client, "DeleteItem", sError);
    });
}

// Whether the calendar folder holds every record with its value (work
// asked for again before the first request was done).
bool IsRecorded(CEwsClient& client, const std::vector<CEwsExtendedProperty>& records) {
    if (records.empty()) return false;
    std::vector<CEwsExtendedProperty> stored = records;
    for (CEwsExtendedProperty& property : stored) property.bFound = false;
    if (client.GetFolderProperties("calendar", stored) != S_OK) return false;
    for (size_t n = 0; n < stored.size(); ++n)
        if (!stored[n].bFound || stored[n].sValue != records[n].sValue) return false;
    return true;
}

}  // namespace

const CEwsExtendedProperty& HolidayMarker() {
    static const CEwsExtendedProperty MARKER{"6F3B9C2E-84D1-4A7B-9E5C-1D2A3B4C5D6E", "QuorvaneKalyxaHoliday", {}, false};
    return MARKER;
}

HRESULT RunHolidayJob(CEwsClient& client, const CEwsCredentials& credentials, const CHolidayJob& job,
                      const std::atomic<bool>& bCancelled, std::string& sError) {
    if (job.spFile == nullptr) {
        sError = "no holiday file";
        return E_INVALIDARG;
    }
    if (!client.Connect(job.connection.sEwsUrl, credentials)) return Failed(client, "connect", sError);
    client.SetServerVersion(job.connection.nVersion);
    if (!job.connection.sActAs.empty()) client.ImpersonateAs(job.connection.nActAsKind, job.connection.sActAs);
    if (!job.connection.sMailbox.empty()) client.SetMailbox(job.connection.sMailbox);
    if (IsRecorded(client, job.connection.records)) {
        Trace("[HolidayImport] user %s: the calendar records this work as done already", job.sUser.c_str());
        return S_OK;
    }
    std::vector<CEwsMarkedItem> existing;
    if (client.FindMarkedItems(HolidayMarker(), existing) != S_OK) return Failed(client, "FindItem", sError);
    const HRESULT hr = job.work == CHolidayWork::IMPORT ? Import(client, job, existing, bCancelled, sError)
                                                        : Remove(client, job, existing, bCancelled, sError);
    if (hr != S_OK) return hr;
    if (!job.connection.records.empty() && client.SetFolderProperties("calendar", job.connection.records) != S_OK)
        return Failed(client, "UpdateFolder", sError);
    return S_OK;
}
