#include "platform/error_text.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/win_errors.h"

namespace {

// Sorted by code.
constexpr std::pair<DWORD, const char*> TEXTS[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_ARENA_TRASHED, "The storage control blocks were destroyed."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_BAD_FORMAT, "An attempt was made to load a program with an incorrect format."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved."},
    {ERROR_NO_DATA, "The pipe is being closed."},
    {ERROR_EXCEPTION_IN_SERVICE, "An exception occurred in the service when handling the control request."},
    {ERROR_NOT_FOUND, "Element not found."},
    {ERROR_CONNECTION_REFUSED, "The remote computer refused the network connection."},
    {ERROR_LOGON_FAILURE, "The user name or password is incorrect."},
    {ERROR_INVALID_SID, "The security ID structure is invalid."},
    {ERROR_INVALID_INDEX, "Invalid index."},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "The specified resource name cannot be found in the image file."},
    {ERROR_DS_NO_SUCH_OBJECT, "There is no such object on the server."},
    {ERROR_DS_SERVER_DOWN, "The server is not operational."},
    {ERROR_DS_GENERIC_ERROR, "A directory service error has occurred."},
    {0x80004001, "Not implemented"},
    {0x80004002, "No such interface supported"},
    {0x80004003, "Invalid pointer"},
    {0x80004005, "Unspecified error"},
    {0x8000FFFF, "Catastrophic failure"},
    {0x80040154, "Class not registered"},
};

}  // namespace

std::string SystemErrorText(DWORD dwError) {
    const auto* pEnd = std::end(TEXTS);
    const auto* pEntry = std::lower_bound(std::begin(TEXTS), pEnd, dwError,
                                          [](const auto& entry, DWORD dwCode) { return entry.first < dwCode; });
    return pEntry != pEnd && pEntry->first == dwError ? pEntry->second : "";
}

std::string ComErrorMessage(HRESULT hr) {
    const DWORD dwCode = static_cast<DWORD>(hr);
    std::string sText = SystemErrorText(IsWin32Facility(hr) ? dwCode & 0xFFFF : dwCode);
    if (!sText.empty()) return sText;
    char szText[32];
    std::snprintf(szText, sizeof szText, "Unknown error 0x%0X", static_cast<unsigned>(dwCode));
    return szText;
}
