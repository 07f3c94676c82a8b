// Splitting a setting's text into its pieces.
#ifndef KX_SETTINGS_STRING_OPERATION_H
#define KX_SETTINGS_STRING_OPERATION_H

#include <string>
#include <string_view>
#include <vector>

class CStringOperation {
public:
    // Appends the pieces between separators, and the one after the last,
    // in order; without a separator the whole text is the one piece.
    static bool Parse(std::string_view sText, char chSeparator, std::vector<std::string>& pieces) {
        for (size_t nStart = 0;;) {
            const size_t nEnd = sText.find(chSeparator, nStart);
            pieces.emplace_back(sText.substr(nStart, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - nStart));
            if (nEnd == std::string_view::npos) return true;
            nStart = nEnd + 1;
        }
    }
};

#endif  // KX_SETTINGS_STRING_OPERATION_H
