// ReadDirectoryChangesW, kept pending from Open on so that no change between
// reads is lost; its records are handed out as many as fit each Read.
#include "platform/directory_changes.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <filesystem>
#include <system_error>

#include "platform/notify_records.h"
#include "platform/win32/wide.h"

namespace {

constexpr DWORD FILTER = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                         FILE_NOTIFY_CHANGE_ATTRIBUTES;

}  // namespace

class CDirectoryChanges::CNative {
public:
    CNative()
        : m_hStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_hDone(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CNative() {
        Close();
        if (m_hStop != nullptr) CloseHandle(m_hStop);
        if (m_hDone != nullptr) CloseHandle(m_hDone);
    }

    DWORD Open(const std::string& sDirectory, bool bSubtree) {
        Close();
        if (m_hStop == nullptr || m_hDone == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
        ResetEvent(m_hStop);
        m_bStopped = false;
        m_hFolder = CreateFileW(Widen(sDirectory).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        if (m_hFolder == INVALID_HANDLE_VALUE) {
            const DWORD dwError = GetLastError();
            return dwError == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : dwError;
        }
        m_sRoot = sDirectory;
        m_bSubtree = bSubtree;
        const DWORD dwError = Watch();
        if (dwError != ERROR_SUCCESS) Close();
        return dwError;
    }

    DWORD Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned) {
        cbReturned = 0;
        if (m_hFolder == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        while (m_pending.empty()) {
            if (m_bStopped) return ERROR_OPERATION_ABORTED;
            const HANDLE handles[] = {m_hStop, m_hDone};
            if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
                return ERROR_OPERATION_ABORTED;
            DWORD cbDone = 0;
            const bool bDone = GetOverlappedResult(m_hFolder, &m_watch, &cbDone, FALSE);
            m_bWatching = false;
            // The folder itself went away: its handle reports access denied.
            if (!bDone) return GetLastError();
            if (cbDone == 0)
                Rescan();  // more changes than the buffer held: every file counts as changed
            else
                Translate(cbDone);
            if (const DWORD dwError = Watch(); dwError != ERROR_SUCCESS) return dwError;
        }
        if (m_bStopped) return ERROR_OPERATION_ABORTED;
        cbReturned = WriteNotifyRecords(m_pending, pBuffer, cbBuffer);
        return ERROR_SUCCESS;
    }

    void Stop() {
        m_bStopped = true;
        if (m_hStop != nullptr) SetEvent(m_hStop);
    }

private:
    DWORD Watch() {
        m_watch = OVERLAPPED{};
        m_watch.hEvent = m_hDone;
        ResetEvent(m_hDone);
        if (!ReadDirectoryChangesW(m_hFolder, m_records, sizeof(m_records), m_bSubtree ? TRUE : FALSE, FILTER,
                                   nullptr, &m_watch, nullptr))
            return GetLastError();
        m_bWatching = true;
        return ERROR_SUCCESS;
    }

    void Translate(DWORD cbRecords) {
        for (DWORD nOffset = 0; nOffset + sizeof(FILE_NOTIFY_INFORMATION) <= cbRecords;) {
            FILE_NOTIFY_INFORMATION record;
            std::memcpy(&record, m_records + nOffset, sizeof(record));
            const size_t cchName = record.FileNameLength / sizeof(wchar_t);
            const BYTE* pName = m_records + nOffset + offsetof(FILE_NOTIFY_INFORMATION, FileName);
            if (pName + cchName * sizeof(wchar_t) > m_records + cbRecords) break;
            std::u16string sName(cchName, u'\0');
            std::memcpy(sName.data(), pName, cchName * sizeof(char16_t));
            for (char16_t& ch : sName)
                if (ch == u'\\') ch = u'/';
            m_pending.push_back(CNotifyChange{record.Action, std::move(sName)});
            if (record.NextEntryOffset == 0) break;
            nOffset += record.NextEntryOffset;
        }
    }

    void Rescan() {
        std::error_code error;
        const std::filesystem::path root(Widen(m_sRoot));
        for (auto it = std::filesystem::recursive_directory_iterator(root, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (!m_bSubtree) it.disable_recursion_pending();
            if (!it->is_regular_file(error)) continue;
            const std::wstring sRelative = std::filesystem::relative(it->path(), root, error).generic_wstring();
            m_pending.push_back(CNotifyChange{FILE_ACTION_MODIFIED, std::u16string(sRelative.begin(), sRelative.end())});
        }
    }

    void Close() {
        if (m_hFolder != INVALID_HANDLE_VALUE) {
            if (m_bWatching) {
                DWORD cbDone = 0;
                CancelIoEx(m_hFolder, &m_watch);
                GetOverlappedResult(m_hFolder, &m_watch, &cbDone, TRUE);
            }
            CloseHandle(m_hFolder);
        }
        m_hFolder = INVALID_HANDLE_VALUE;
        m_bWatching = false;
        m_pending.clear();
    }

    HANDLE m_hStop;
    HANDLE m_hDone;
    HANDLE m_hFolder = INVALID_HANDLE_VALUE;
    OVERLAPPED m_watch{};
    bool m_bWatching = false;
    std::atomic<bool> m_bStopped{false};
    bool m_bSubtree = true;
    std::string m_sRoot;
    std::deque<CNotifyChange> m_pending;
    alignas(DWORD) BYTE m_records[65536];
};

CDirectoryChanges::CDirectoryChanges() : m_pNative(std::make_unique<CNative>()) {}
CDirectoryChanges::~CDirectoryChanges() = default;

DWORD CDirectoryChanges::Open(const std::string& sDirectory, bool bSubtree) {
    return m_pNative->Open(sDirectory, bSubtree);
}

DWORD CDirectoryChanges::Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned) {
    return m_pNative->Read(pBuffer, cbBuffer, cbReturned);
}

void CDirectoryChanges::Stop() { m_pNative->Stop(); }
