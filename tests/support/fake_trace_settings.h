// Settings for the trace log given by the test.
#ifndef KX_TESTS_FAKE_TRACE_SETTINGS_H
#define KX_TESTS_FAKE_TRACE_SETTINGS_H

#include <map>
#include <string>

#include "diagnostics/trace_log.h"

class FakeTraceSettings : public ITraceSettings {
public:
    std::map<int, int> m_numbers;
    std::map<int, std::string> m_strings;
    std::string m_sCommonFiles;
    std::string m_sLibraryFolder = "bin";

    bool GetSettingFromID(int nId, int& nValue, int) override {
        const auto it = m_numbers.find(nId);
        if (it == m_numbers.end()) return false;
        nValue = it->second;
        return true;
    }
    bool GetSettingFromID(int nId, std::string& sValue, int) override {
        const auto it = m_strings.find(nId);
        if (it == m_strings.end()) return false;
        sValue = it->second;
        return true;
    }
    std::string CommonFilesFolder() const override { return m_sCommonFiles; }
    std::string LibraryFolderName() const override { return m_sLibraryFolder; }
};

#endif  // KX_TESTS_FAKE_TRACE_SETTINGS_H
