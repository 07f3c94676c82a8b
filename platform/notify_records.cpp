#include "platform/notify_records.h"

#include <cstring>

#include "platform/directory_changes.h"

DWORD WriteNotifyRecords(std::deque<CNotifyChange>& changes, BYTE* pBuffer, DWORD cbBuffer) {
    DWORD nOffset = 0;
    BYTE* pPrevious = nullptr;
    while (!changes.empty()) {
        CNotifyChange& change = changes.front();
        const DWORD nStart = (nOffset + 3) & ~3u;
        if (nStart + FILE_NOTIFY_HEADER_SIZE + 2 > cbBuffer) break;
        const DWORD cbRoom = cbBuffer - nStart - FILE_NOTIFY_HEADER_SIZE;
        if (change.sName.size() * 2 > cbRoom) {
            if (pPrevious != nullptr) break;
            change.sName.resize(cbRoom / 2);  // longer than any buffer: cut
        }
        BYTE* pRecord = pBuffer + nStart;
        const DWORD header[3] = {0, change.dwAction, static_cast<DWORD>(change.sName.size() * 2)};
        std::memcpy(pRecord, header, sizeof(header));
        std::memcpy(pRecord + FILE_NOTIFY_HEADER_SIZE, change.sName.data(), header[2]);
        if (pPrevious != nullptr) {
            const auto nNext = static_cast<DWORD>(pRecord - pPrevious);
            std::memcpy(pPrevious, &nNext, sizeof(nNext));
        }
        pPrevious = pRecord;
        nOffset = nStart + FILE_NOTIFY_HEADER_SIZE + header[2];
        changes.pop_front();
    }
    return nOffset;
}
