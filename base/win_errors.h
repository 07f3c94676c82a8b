// Win32 error codes, HRESULTs and the other Win32 constants the worker uses,
// by their Windows names. Built for Windows, Windows' headers define them
// (as macros, with these values).
#ifndef KX_BASE_WIN_ERRORS_H
#define KX_BASE_WIN_ERRORS_H

#include "kx/win_types.h"

#ifndef _WIN32
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_ARENA_TRASHED = 7;  // the design's code for a missing context piece or pointer
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_FORMAT = 11;  // the design's code for a required name left empty
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_EXCEPTION_IN_SERVICE = 1064;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_CONNECTION_REFUSED = 1225;
constexpr DWORD ERROR_LOGON_FAILURE = 1326;
constexpr DWORD ERROR_INVALID_SID = 1337;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_DS_NO_SUCH_OBJECT = 8240;
constexpr DWORD ERROR_DS_SERVER_DOWN = 8250;
constexpr DWORD ERROR_DS_GENERIC_ERROR = 8341;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);

// Event types of the event log.
constexpr uint16_t EVENTLOG_ERROR_TYPE = 1;
constexpr uint16_t EVENTLOG_WARNING_TYPE = 2;
constexpr uint16_t EVENTLOG_INFORMATION_TYPE = 4;

// What happened to a file of a watched folder.
constexpr DWORD FILE_ACTION_ADDED = 1;
constexpr DWORD FILE_ACTION_REMOVED = 2;
constexpr DWORD FILE_ACTION_MODIFIED = 3;
constexpr DWORD FILE_ACTION_RENAMED_OLD_NAME = 4;
constexpr DWORD FILE_ACTION_RENAMED_NEW_NAME = 5;

// Registry value types.
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;
#endif  // _WIN32

// The HRESULT of a Win32 error (facility 7); 0 stays 0.
inline HRESULT HResultFromWin32(DWORD dwError) {
    return dwError == 0 ? 0 : static_cast<HRESULT>((dwError & 0xFFFF) | 0x80070000u);
}
inline bool IsWin32Facility(HRESULT hr) { return (static_cast<uint32_t>(hr) & 0x7FFF0000u) == 0x00070000u; }

#endif  // KX_BASE_WIN_ERRORS_H
