#include "settings/settings_document.h"

#include "base/win_errors.h"
#include "platform/error_text.h"
#include "platform/file_io.h"

namespace {

constexpr size_t MAX_SETTINGS_FILE_SIZE = 16 * 1024 * 1024;

void LineAndPosition(const std::string& sText, ptrdiff_t nOffset, int& nLine, int& nPosition) {
    nLine = 1;
    nPosition = 1;
    for (ptrdiff_t n = 0; n < nOffset && static_cast<size_t>(n) < sText.size(); ++n) {
        if (sText[static_cast<size_t>(n)] == '\n') {
            ++nLine;
            nPosition = 1;
        } else {
            ++nPosition;
        }
    }
}

}  // namespace

HRESULT LoadSettingsDocument(const std::string& sPath, const char* pszRoot, pugi::xml_document& document,
                             CSettingsLoadFailure& failure) {
    std::string sText;
    if (const DWORD dwError = ReadRegularFile(sPath, MAX_SETTINGS_FILE_SIZE, sText); dwError != 0) {
        failure.sReason = sPath + ": " + SystemErrorText(dwError);
        return HResultFromWin32(dwError);
    }
    const pugi::xml_parse_result result = document.load_buffer(sText.data(), sText.size());
    if (!result) {
        LineAndPosition(sText, result.offset, failure.nLine, failure.nPosition);
        failure.pszParserText = result.description();
        failure.sReason = sPath + ": line " + std::to_string(failure.nLine) + ", position " +
                          std::to_string(failure.nPosition) + ": " + result.description();
        return ParseErrorCode(result);
    }
    const pugi::xml_node root = document.document_element();
    if (std::string(root.name()) != pszRoot) {
        failure.sReason = sPath + ": the root element is <" + root.name() + ">, not <" + pszRoot + ">";
        return E_FAIL;
    }
    return 0;
}
