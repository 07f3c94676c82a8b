#include "platform/error_text.h"

#include <algorithm>
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
    {ERROR_LOGON_FAILURE, "The user name or password is incorrect."},
    {ERROR_INVALID_SID, "The security ID structure is invalid."},
    {ERROR_INVALID_INDEX, "Invalid index."},
    {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
    {ERROR_RESOURCE_NAME_NOT_FOUND, "The specified resource name cannot be found in the image file."},
    {ERROR_DS_NO_SUCH_OBJECT, "There is no such object on the server."},
    {ERROR_DS_SERVER_DOWN, "The server is not operational."},
    {ERROR_DS_GENERIC_ERROR, "A directory service error has occurred."},
};

}  // namespace

std::string SystemErrorText(DWORD dwError) {
    const auto* pEnd = std::end(TEXTS);
    const auto* pEntry = std::lower_bound(std::begin(TEXTS), pEnd, dwError,
                                          [](const auto& entry, DWORD dwCode) { return entry.first < dwCode; });
    return pEntry != pEnd && pEntry->first == dwError ? pEntry->second : "";
}
