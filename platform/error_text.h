// The system's text for an error number.
#ifndef KX_PLATFORM_ERROR_TEXT_H
#define KX_PLATFORM_ERROR_TEXT_H

#include <string>

#include "kx/win_types.h"

// The system's message for an errno value, CR and LF replaced by blanks;
// empty when the system has no text for the number.
std::string SystemErrorText(DWORD dwError);

#endif  // KX_PLATFORM_ERROR_TEXT_H
