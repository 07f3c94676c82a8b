#include "host/request_rules.h"

#include <sstream>

#include "host/host_text.h"

namespace kxhost {

namespace {

// The value of the first parameter of that name in the query; false when there is none.
bool FindParameter(std::string_view sQuery, std::string_view sName, std::string_view& sValue) {
    while (!sQuery.empty()) {
        const size_t nAmp = sQuery.find('&');
        const std::string_view sPair = sQuery.substr(0, nAmp);
        const size_t nEquals = sPair.find('=');
        const std::string_view sKey = sPair.substr(0, nEquals);
        if (SameNoCase(sKey, sName)) {
            sValue = nEquals == std::string_view::npos ? std::string_view() : sPair.substr(nEquals + 1);
            return true;
        }
        if (nAmp == std::string_view::npos) break;
        sQuery.remove_prefix(nAmp + 1);
    }
    return false;
}

}  // namespace

const char* RequestRules::DefaultText() {
    return "# type  path prefix   query condition\n"
           "6       /owa/         qvkxcmd      # the product's own commands\n"
           "3       /owa/         cmd=qv*      # the product's reminder commands\n"
           "2       /owa/ev.owa                # OWA's notification polls\n"
           "31      /ecp/                      # the control panel (options)\n"
           "4       /owa/                      # OWA pages\n";
}

RequestRules RequestRules::Defaults() {
    RequestRules rules;
    std::string sError;
    rules.Parse(DefaultText(), sError);  // the built-in text is well-formed (a test says so)
    return rules;
}

bool RequestRules::Parse(std::string_view sText, std::string& sError) {
    std::vector<Rule> rules;
    std::istringstream lines{std::string(sText)};
    std::string sLine;
    for (int nLine = 1; std::getline(lines, sLine); ++nLine) {
        sLine = sLine.substr(0, sLine.find('#'));
        std::istringstream words(sLine);
        std::string sType, sPath, sCondition, sExtra;
        if (!(words >> sType)) continue;
        words >> sPath >> sCondition >> sExtra;
        Rule rule{};
        const bool bNumber = !sType.empty() && sType.size() <= 9 && sType.find_first_not_of("0123456789") == std::string::npos;
        if (!bNumber || sPath.empty() || sPath[0] != '/' || !sExtra.empty()) {
            sError = "line " + std::to_string(nLine) + ": expected \"<type> <path prefix> [<parameter>[=<value>]]\"";
            return false;
        }
        rule.nType = std::stoi(sType);
        rule.sPathPrefix = sPath;
        const size_t nEquals = sCondition.find('=');
        rule.sParameter = sCondition.substr(0, nEquals);
        if (nEquals != std::string::npos) {
            rule.bAnyValue = false;
            rule.sValue = sCondition.substr(nEquals + 1);
            rule.bValuePrefix = !rule.sValue.empty() && rule.sValue.back() == '*';
            if (rule.bValuePrefix) rule.sValue.pop_back();
        }
        if (nEquals == 0) {
            sError = "line " + std::to_string(nLine) + ": a condition needs a parameter name";
            return false;
        }
        rules.push_back(std::move(rule));
    }
    m_rules = std::move(rules);
    return true;
}

int32_t RequestRules::Classify(std::string_view sUrl) const {
    const size_t nQuestion = sUrl.find('?');
    const std::string_view sPath = sUrl.substr(0, nQuestion);
    const std::string_view sQuery = nQuestion == std::string_view::npos ? std::string_view() : sUrl.substr(nQuestion + 1);
    for (const Rule& rule : m_rules) {
        if (!StartsWithNoCase(sPath, rule.sPathPrefix)) continue;
        if (rule.sParameter.empty()) return rule.nType;
        std::string_view sValue;
        if (!FindParameter(sQuery, rule.sParameter, sValue)) continue;
        if (rule.bAnyValue ||
            (rule.bValuePrefix ? StartsWithNoCase(sValue, rule.sValue) : SameNoCase(sValue, rule.sValue)))
            return rule.nType;
    }
    return 0;
}

}  // namespace kxhost
