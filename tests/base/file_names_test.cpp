#include <gtest/gtest.h>

#include "base/file_names.h"

namespace {

bool Valid(std::string sName) { return IsValidFileName(sName); }

TEST(FileNames, ReservedDeviceNamesAreRejected) {
    EXPECT_FALSE(Valid("COM1.log"));
    EXPECT_FALSE(Valid("CON"));
    EXPECT_FALSE(Valid("  NUL  "));
    EXPECT_FALSE(Valid("CLOCKS$"));
    EXPECT_FALSE(Valid("myLPT3.txt")) << "the prefix is found anywhere";
    EXPECT_TRUE(Valid("COM1"));
    EXPECT_TRUE(Valid("COMX.log"));
    EXPECT_TRUE(Valid("com1.log")) << "the prefixes match with case";
    EXPECT_TRUE(Valid("CONSOLE.log"));
    EXPECT_TRUE(Valid("COM.1")) << "only the first COM counts";
}

TEST(FileNames, CleaningTrimsAndReplacesPathCharacters) {
    std::string sName = "  ../a\\b:c\"d?e*f<g>h|i.log ";
    CleanFileName(sName);
    EXPECT_EQ(sName, ".._a_b_c_d_e_f_g_h_i.log");
    std::string sBlank = "   ";
    CleanFileName(sBlank);
    EXPECT_EQ(sBlank, "");
}

}  // namespace
