// The system's text for a Win32 error code.
#ifndef KX_PLATFORM_ERROR_TEXT_H
#define KX_PLATFORM_ERROR_TEXT_H

#include <string>

#include "kx/win_types.h"

// Windows' own message (English) for the Win32 codes the worker reports,
// without line breaks; empty for any other code, as FormatMessage gives
// nothing for a code the system does not know.
std::string SystemErrorText(DWORD dwError);

// The text a COM error shows for an HRESULT: the system's message (of the
// Win32 code for facility 7), else "Unknown error 0x<hr>".
std::string ComErrorMessage(HRESULT hr);

#endif  // KX_PLATFORM_ERROR_TEXT_H
