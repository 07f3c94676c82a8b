#include "platform/file_io.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/private_security.h"
#include "platform/win32/wide.h"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE AsHandle(intptr_t nHandle) { return reinterpret_cast<HANDLE>(nHandle); }

// Repeats a positioned ReadFile or WriteFile until all is done, the end is
// reached or it fails; the bytes done.
template <class Buffer, class Call>
size_t Transfer(HANDLE hFile, Buffer pBuffer, size_t cbBuffer, uint64_t qwOffset, Call call) {
    size_t cbDone = 0;
    while (hFile != INVALID_HANDLE_VALUE && cbDone < cbBuffer) {
        const uint64_t qwAt = qwOffset + cbDone;
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(qwAt);
        at.OffsetHigh = static_cast<DWORD>(qwAt >> 32);
        const DWORD cbStep = static_cast<DWORD>(std::min<size_t>(cbBuffer - cbDone, 1u << 30));
        DWORD cbStepDone = 0;
        if (!call(hFile, pBuffer + cbDone, cbStep, &cbStepDone, &at) || cbStepDone == 0) break;
        cbDone += cbStepDone;
    }
    return cbDone;
}

// A regular file or folder, not a link or other reparse point.
bool IsPlain(HANDLE hFile, bool bFolder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(hFile, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    return ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == bFolder;
}

}  // namespace

DWORD ReadRegularFile(const std::string& sPath, size_t cbMax, std::string& sText) {
    sText.clear();
    const std::wstring sWide = Widen(sPath);
    const DWORD dwAttributes = GetFileAttributesW(sWide.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD dwError = GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND
                                                                                  : ERROR_ACCESS_DENIED;
    }
    if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return ERROR_INVALID_DATA;
    const HANDLE hFile = CreateFileW(sWide.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    DWORD dwResult = 0;
    LARGE_INTEGER size{};
    if (GetFileType(hFile) != FILE_TYPE_DISK)
        dwResult = ERROR_INVALID_DATA;
    else if (!GetFileSizeEx(hFile, &size))
        dwResult = ERROR_READ_FAULT;
    else if (static_cast<uint64_t>(size.QuadPart) > cbMax)
        dwResult = ERROR_FILE_TOO_LARGE;
    if (dwResult == 0) {
        // The file may grow while it is read: never more than cbMax.
        sText.resize(static_cast<size_t>(size.QuadPart));
        sText.resize(Transfer(hFile, sText.data(), sText.size(), 0, ::ReadFile));
    }
    CloseHandle(hFile);
    return dwResult;
}

PrivateAccess EnsurePrivateFolder(const std::string& sPath) {
    const std::wstring sWide = Widen(sPath);
    CPrivateSecurity security(true);
    if (security.Attributes() == nullptr) return PrivateAccess::FAILED;
    const bool bCreated = CreateDirectoryW(sWide.c_str(), security.Attributes()) != 0;
    if (!bCreated && GetLastError() != ERROR_ALREADY_EXISTS) return PrivateAccess::FAILED;
    const HANDLE hFolder = CreateFileW(sWide.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, SHARE_ALL, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (hFolder == INVALID_HANDLE_VALUE) return PrivateAccess::FAILED;
    const bool bOurs = IsPlain(hFolder, true) && IsOwnPrivate(hFolder, SE_FILE_OBJECT);
    CloseHandle(hFolder);
    return bOurs ? PrivateAccess::READY : PrivateAccess::REFUSED;
}

PrivateAccess CPlatformFile::Open(const std::string& sPath, bool bTruncate) {
    Close();
    const std::wstring sWide = Widen(sPath);
    constexpr DWORD ACCESS = GENERIC_READ | GENERIC_WRITE | READ_CONTROL;
    while (true) {
        HANDLE hFile = CreateFileW(sWide.c_str(), ACCESS, SHARE_ALL, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            if (!IsPlain(hFile, false) || !IsOwnPrivate(hFile, SE_FILE_OBJECT) ||
                (bTruncate && !SetEndOfFile(hFile))) {
                CloseHandle(hFile);
                return PrivateAccess::REFUSED;
            }
            m_handle = reinterpret_cast<intptr_t>(hFile);
            return PrivateAccess::READY;
        }
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return PrivateAccess::FAILED;
        CPrivateSecurity security(false);
        if (security.Attributes() == nullptr) return PrivateAccess::FAILED;
        hFile = CreateFileW(sWide.c_str(), ACCESS, SHARE_ALL, security.Attributes(), CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            m_handle = reinterpret_cast<intptr_t>(hFile);
            return PrivateAccess::READY;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return PrivateAccess::FAILED;
        // Lost a creation race: open what the other made.
    }
}

size_t CPlatformFile::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    return Transfer(AsHandle(m_handle), pBuffer, cbBuffer, qwOffset, ::ReadFile);
}

size_t CPlatformFile::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    return Transfer(AsHandle(m_handle), pData, cbData, qwOffset, ::WriteFile);
}

bool CPlatformFile::Append(const char* pData, size_t cbData) const {
    LARGE_INTEGER size{};
    return IsOpen() && GetFileSizeEx(AsHandle(m_handle), &size) &&
           WriteAt(pData, cbData, static_cast<uint64_t>(size.QuadPart)) == cbData;
}

void CPlatformFile::Sync() const {
    if (IsOpen()) FlushFileBuffers(AsHandle(m_handle));
}

void CPlatformFile::Close() {
    if (IsOpen()) CloseHandle(AsHandle(m_handle));
    m_handle = -1;
}
