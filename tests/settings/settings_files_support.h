// A product tree with settings files written by the test.
#ifndef KX_TESTS_SETTINGS_FILES_SUPPORT_H
#define KX_TESTS_SETTINGS_FILES_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/handle_sw_settings.h"

namespace fs = std::filesystem;

inline std::string SwSettings(const std::string& sGeneral, const std::string& sCriteria = "") {
    return "<?xml version=\"1.0\"?>\n<SETTINGS>\n<GENERALSETTINGS>\n" + sGeneral + "</GENERALSETTINGS>\n" + sCriteria +
           "</SETTINGS>\n";
}

inline std::string Item(const std::string& sId, const std::string& sValue) {
    return "<ITEM ID=\"" + sId + "\" DESCR=\"setting " + sId + "\" VALUE=\"" + sValue + "\"/>\n";
}

inline const char* const LINKS =
    "<SERVICEWORKERS><SW ID=\"6\" DESCR=\"Kalyxa\"><LINK CRITERIA_ID=\"5\" SETTINGS_ID=\"5\"/></SW></SERVICEWORKERS>";

// A product tree: <root>/Maker/Kalyxa/Settings/ and <root>/Maker/Common Files/Settings/.
class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char szTemplate[] = "/tmp/kx-settings-XXXXXX";
        m_root = mkdtemp(szTemplate);
        fs::create_directories(m_root / "Maker" / "Kalyxa" / "Settings");
        fs::create_directories(m_root / "Maker" / "Common Files" / "Settings");
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Folder() const { return (m_root / "Maker" / "Kalyxa" / "Settings").string() + "/"; }
    fs::path SwPath() const { return m_root / "Maker" / "Kalyxa" / "Settings" / "SWSettings.xml"; }
    fs::path LinkPath() const { return m_root / "Maker" / "Common Files" / "Settings" / "LinkCriteriaSettings.xml"; }
    static void Write(const fs::path& path, const std::string& sText, int nAgeSeconds = 0) {
        std::ofstream(path) << sText;
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(nAgeSeconds));
    }
    static void Touch(const fs::path& path, int nSecondsFromNow) {
        fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(nSecondsFromNow));
    }
    void WriteBoth(const std::string& sSw) {
        Write(LinkPath(), LINKS, 100);
        Write(SwPath(), sSw, 100);
    }
    int Number(int nId, int nCriteria = -1, int nDefault = -77) const {
        int32_t nValue = nDefault;
        m_settings.GetSettingFromID(nId, nValue, nCriteria);
        return nValue;
    }

    fs::path m_root;
    CHandleSWSettings m_settings;
};

#endif  // KX_TESTS_SETTINGS_FILES_SUPPORT_H
