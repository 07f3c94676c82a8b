#include <gtest/gtest.h>

#include "settings/kx_general_settings.h"
#include "tests/settings/settings_files_support.h"
#include "tests/support/trace_capture.h"

namespace {

// A product settings object of the test's own over its settings files.
class TestKXSettings : public CKXGeneralSettings {
public:
    bool Load(const std::string& sFolder) { return m_settings.LoadSettings(sFolder) == 0; }
    using CKXGeneralSettings::ProcessHolidaySections;
};

class ProductSettings : public SettingsFiles {
protected:
    // Loads settings holding the items (and a refresh at every request).
    void Start(const std::string& sItems) {
        WriteBoth(SwSettings(sItems + Item("81", "0")));
        ASSERT_TRUE(m_product.Load(Folder()));
    }
    // Rewrites the settings file and lets a refresh take it.
    void Change(const std::string& sItems) {
        Write(SwPath(), SwSettings(sItems + Item("81", "0")));
        Touch(SwPath(), 60 * ++m_nChanges);
        bool bChanged = false;
        m_product.RefreshSettings(bChanged);
        ASSERT_TRUE(bChanged);
    }
    std::vector<std::u16string> Sections() {
        std::vector<std::u16string> sections{u"stale"};
        EXPECT_EQ(m_product.GetHolidaySections(sections), S_OK);
        return sections;
    }

    TestKXSettings m_product;
    int m_nChanges = 0;
};

TEST_F(ProductSettings, TheVirtualFolderEndsWithASlashAndMustNotBeEmpty) {
    Start(Item("100", "Calendar"));
    ASSERT_TRUE(m_product.InitHandlerVirDir());
    EXPECT_EQ(m_product.GetHandlerVirDir(), "Calendar/");
    Change(Item("100", "Kalyxa/"));
    EXPECT_EQ(m_product.GetHandlerVirDir(), "Kalyxa/") << "a slash at the end stays single";
    Change(Item("100", ""));
    EXPECT_FALSE(m_product.InitHandlerVirDir());
    EXPECT_EQ(m_product.GetHandlerVirDir(), "Kalyxa/") << "an empty name never replaces the folder in use";
    Change(Item("1", "1"));
    EXPECT_EQ(m_product.GetHandlerVirDir(), "X-Kalyxa/") << "without the setting, the default";
}

TEST_F(ProductSettings, TroubleEndRequestUrls) {
    Start("");
    ASSERT_TRUE(m_product.InitTroubleEndRequestUrls());
    EXPECT_EQ((*m_product.GetTroubleEndRequestUrls()), std::vector<std::string>{"logoff.aspx?cmd=logoff"});
    Change(Item("6", "logoff.aspx?cmd=logoff;auth/logoff.aspx"));  // made again by the refresh
    EXPECT_EQ((*m_product.GetTroubleEndRequestUrls()),
              (std::vector<std::string>{"logoff.aspx?cmd=logoff", "auth/logoff.aspx"}));
    Change(Item("6", ""));
    EXPECT_EQ((*m_product.GetTroubleEndRequestUrls()).size(), 1u);
    // An operator's stray ";" would otherwise make a fragment every URL contains.
    Change(Item("6", "auth/logoff.aspx;;poll.aspx;"));
    TraceCapture trace;  // after the reload, which sets the trace level anew
    ASSERT_TRUE(m_product.InitTroubleEndRequestUrls());
    EXPECT_EQ((*m_product.GetTroubleEndRequestUrls()), (std::vector<std::string>{"auth/logoff.aspx", "poll.aspx"}));
    EXPECT_TRUE(trace.Contains("[CKXGeneralSettings::InitTroubleEndRequestUrls] setting 6 <auth/logoff.aspx;;poll.aspx;> "
                               "holds an empty URL fragment, which every URL contains; it is skipped"));
    Change(Item("6", ";"));
    EXPECT_EQ((*m_product.GetTroubleEndRequestUrls()), std::vector<std::string>{"logoff.aspx?cmd=logoff"})
        << "nothing but separators is no value";
}

TEST_F(ProductSettings, FeatureSwitches) {
    Start(Item("122", "0") + Item("124", "1") + Item("126", "on"));
    TraceCapture trace;
    EXPECT_EQ(m_product.GetFeatureSettingOn(123, 1), 1);
    EXPECT_TRUE(trace.Contains("[CKXGeneralSettings::GetFeatureSettingOn] Missing setting id: 123, default: 1"));
    EXPECT_TRUE(trace.Contains("[CKXGeneralSettings::GetFeatureSettingOn] Feature setting id: 123, value: 1"));
    EXPECT_EQ(m_product.GetFeatureSettingOn(122, 1), 0);
    EXPECT_EQ(m_product.GetFeatureSettingOn(124, 0), 1);
    EXPECT_EQ(m_product.GetFeatureSettingOn(126, 1), 0) << "text without digits reads as 0";
}

TEST_F(ProductSettings, HolidaySectionsFollowTheSettingThroughRefreshes) {
    Start(Item("141", "Easter;Christmas"));
    m_product.ProcessHolidaySections();
    EXPECT_EQ(Sections(), (std::vector<std::u16string>{u"Easter", u"Christmas"}));
    Change(Item("1", "1"));
    EXPECT_EQ(Sections(), (std::vector<std::u16string>{u"Easter", u"Christmas"})) << "a removed setting keeps them";
    Change(Item("141", "F\xc3\xaates"));
    EXPECT_EQ(Sections(), std::vector<std::u16string>{u"F\u00eates"});
    Change(Item("141", ""));
    EXPECT_TRUE(Sections().empty()) << "an empty setting leaves none";
}

}  // namespace
