// The Windows scalar types, fixed width so that structures shared with the
// host keep their Windows x64 layout; built for Windows, Windows' own.
#ifndef KX_WIN_TYPES_H
#define KX_WIN_TYPES_H

#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
typedef uint32_t DWORD;
typedef int32_t BOOL;
typedef int32_t HRESULT;
typedef char CHAR;
typedef uint8_t BYTE;
typedef uint32_t ULONG;
typedef uintptr_t ULONG_PTR;
typedef void* PVOID;
typedef void* LPVOID;
typedef void* HANDLE;
typedef char* LPSTR;
typedef DWORD* LPDWORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif  // _WIN32

static_assert(sizeof(DWORD) == 4 && sizeof(BOOL) == 4 && sizeof(HRESULT) == 4);
static_assert(sizeof(void*) == 8, "the host contract is 64-bit only");

#endif  // KX_WIN_TYPES_H
