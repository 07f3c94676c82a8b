// Changes as the directory-change records CDirectoryChanges hands out
// (directory_changes.h).
#ifndef KX_PLATFORM_NOTIFY_RECORDS_H
#define KX_PLATFORM_NOTIFY_RECORDS_H

#include <deque>
#include <string>

#include "base/win_errors.h"

struct CNotifyChange {
    DWORD dwAction;
    std::u16string sName;  // relative to the watched folder, '/' between folders
};

// Writes the changes from the front as records into pBuffer, as many as fit
// (a first name longer than the whole buffer is cut), and removes them; the
// bytes written.
DWORD WriteNotifyRecords(std::deque<CNotifyChange>& changes, BYTE* pBuffer, DWORD cbBuffer);

#endif  // KX_PLATFORM_NOTIFY_RECORDS_H
