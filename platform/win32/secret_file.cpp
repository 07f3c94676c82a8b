#include "platform/secret_file.h"

#include <windows.h>

#include "platform/win32/private_security.h"
#include "platform/win32/wide.h"

namespace {

constexpr LONGLONG MAX_SECRET_FILE_SIZE = 64 * 1024;

}  // namespace

bool ReadSecretFile(const std::string& sPath, std::map<std::string, std::string>& values, std::string& sWhyNot) {
    const HANDLE hFile = CreateFileW(Widen(sPath).c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    const bool bSafe = hFile != INVALID_HANDLE_VALUE && GetFileInformationByHandle(hFile, &info) &&
                       (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                       GetFileSizeEx(hFile, &size) && size.QuadPart <= MAX_SECRET_FILE_SIZE &&
                       IsOwnPrivate(hFile, SE_FILE_OBJECT, true);
    std::string sText;
    DWORD cbRead = 0;
    if (bSafe) {
        sText.resize(static_cast<size_t>(size.QuadPart));
        if (!ReadFile(hFile, sText.data(), static_cast<DWORD>(sText.size()), &cbRead, nullptr)) cbRead = 0;
        sText.resize(cbRead);
    }
    if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
    if (!bSafe) {
        sWhyNot = sPath + " must be a regular file of the Administrators' (or ours) that only they and we can read";
        return false;
    }
    ParseSecretText(sText, values);
    return true;
}
