// Reading a settings file into an XML document, with the reason of a failure
// in words an operator can act on.
#ifndef KX_SETTINGS_SETTINGS_DOCUMENT_H
#define KX_SETTINGS_SETTINGS_DOCUMENT_H

#include <string>

#include <pugixml.hpp>

#include "kx/win_types.h"

struct CSettingsLoadFailure {
    std::string sReason;  // "<path>: <what is wrong>"
    int nLine = 0;        // of a parse error; 0 otherwise
    int nPosition = 0;
    const char* pszParserText = nullptr;  // the parser's own description of a parse error
};

// Loads sPath (a regular file of at most 16 MB, opened without blocking)
// whose root element must be pszRoot. 0, or the failure's code: the HRESULT
// of the Win32 read error, the parser's code (ParseErrorCode), or E_FAIL for
// a well-formed file of another shape.
HRESULT LoadSettingsDocument(const std::string& sPath, const char* pszRoot, pugi::xml_document& document,
                             CSettingsLoadFailure& failure);

// The parser's own code of a failed parse as a failure HRESULT: pugixml's
// status in the interface-defined range, 0x80040200 + status.
inline HRESULT ParseErrorCode(const pugi::xml_parse_result& result) {
    return static_cast<HRESULT>(0x80040200u + static_cast<uint32_t>(result.status));
}

#endif  // KX_SETTINGS_SETTINGS_DOCUMENT_H
