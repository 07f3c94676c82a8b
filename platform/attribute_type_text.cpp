#include "platform/attribute_type_text.h"

namespace {

// The description's tokens: "(", ")", a quoted string (without its quotes)
// or a bare word.
class CTokens {
public:
    explicit CTokens(std::string_view sText) : m_sText(sText) {}

    // False at the end or on an unclosed quote.
    bool Next(std::string& sToken, bool& bQuoted) {
        while (m_nAt < m_sText.size() && (m_sText[m_nAt] == ' ' || m_sText[m_nAt] == '\t')) ++m_nAt;
        if (m_nAt >= m_sText.size()) return false;
        bQuoted = false;
        const char ch = m_sText[m_nAt];
        if (ch == '(' || ch == ')') {
            sToken.assign(1, ch);
            ++m_nAt;
            return true;
        }
        if (ch == '\'') {
            const size_t nEnd = m_sText.find('\'', m_nAt + 1);
            if (nEnd == std::string_view::npos) return false;
            sToken.assign(m_sText.substr(m_nAt + 1, nEnd - m_nAt - 1));
            bQuoted = true;
            m_nAt = nEnd + 1;
            return true;
        }
        const size_t nEnd = m_sText.find_first_of(" \t()'", m_nAt);
        sToken.assign(m_sText.substr(m_nAt, nEnd == std::string_view::npos ? std::string_view::npos : nEnd - m_nAt));
        m_nAt = nEnd == std::string_view::npos ? m_sText.size() : nEnd;
        return true;
    }

    // One value or a parenthesised list of them.
    bool Values(std::vector<std::string>& values) {
        std::string sToken;
        bool bQuoted = false;
        if (!Next(sToken, bQuoted)) return false;
        if (bQuoted || sToken != "(") {
            values.push_back(sToken);
            return true;
        }
        while (Next(sToken, bQuoted)) {
            if (!bQuoted && sToken == ")") return true;
            if (bQuoted || sToken != "$") values.push_back(sToken);
        }
        return false;
    }

private:
    std::string_view m_sText;
    size_t m_nAt = 0;
};

bool IsFlag(const std::string& sKeyword) {
    return sKeyword == "OBSOLETE" || sKeyword == "SINGLE-VALUE" || sKeyword == "COLLECTIVE" ||
           sKeyword == "NO-USER-MODIFICATION";
}

bool TakesValues(const std::string& sKeyword) {
    return sKeyword == "NAME" || sKeyword == "DESC" || sKeyword == "SUP" || sKeyword == "EQUALITY" ||
           sKeyword == "ORDERING" || sKeyword == "SUBSTR" || sKeyword == "SYNTAX" || sKeyword == "USAGE" ||
           sKeyword.rfind("X-", 0) == 0;
}

}  // namespace

bool ParseAttributeTypeText(std::string_view sText, CAttributeTypeText& type) {
    type = CAttributeTypeText{};
    CTokens tokens(sText);
    std::string sToken;
    bool bQuoted = false;
    if (!tokens.Next(sToken, bQuoted) || bQuoted || sToken != "(") return false;
    if (!tokens.Next(sToken, bQuoted) || (!bQuoted && (sToken == "(" || sToken == ")"))) return false;  // the OID
    while (tokens.Next(sToken, bQuoted)) {
        if (bQuoted) return false;
        if (sToken == ")") return true;
        if (IsFlag(sToken)) continue;
        if (!TakesValues(sToken)) return false;
        std::vector<std::string> values;
        if (!tokens.Values(values) || values.empty()) return false;
        if (sToken == "NAME") {
            type.names = std::move(values);
        } else if (sToken == "SUP") {
            type.sSuperior = values.front();
        } else if (sToken == "SYNTAX") {
            type.sSyntax = values.front().substr(0, values.front().find('{'));
        }
    }
    return false;  // no closing parenthesis
}
