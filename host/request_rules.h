// Which subscription type the host gives a request, by a small rule file:
// one rule per line, "<type> <path prefix> [<parameter>[=<value>[*]]]", the
// first rule that holds wins; "#" starts a comment. Paths and parameter
// names and values match ignoring case, values as sent (not decoded); a value ending in
// "*" is a prefix.
#ifndef KX_HOST_REQUEST_RULES_H
#define KX_HOST_REQUEST_RULES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kxhost {

class RequestRules {
public:
    // The rules OWA 2010 needs: own commands, reminder commands, polls,
    // control-panel pages and OWA pages.
    static const char* DefaultText();
    // Those rules, parsed.
    static RequestRules Defaults();

    // Replaces the rules; false with sError (naming the line) for a
    // malformed one, the rules then unchanged.
    bool Parse(std::string_view sText, std::string& sError);
    // The type for a request URL (path and optional "?query"); 0 when no rule holds.
    int32_t Classify(std::string_view sUrl) const;

private:
    struct Rule {
        int32_t nType;
        std::string sPathPrefix;
        std::string sParameter;  // empty: any query
        std::string sValue;      // empty with bAnyValue: the parameter need only be there
        bool bAnyValue = true;
        bool bValuePrefix = false;
    };
    std::vector<Rule> m_rules;
};

}  // namespace kxhost

#endif  // KX_HOST_REQUEST_RULES_H
