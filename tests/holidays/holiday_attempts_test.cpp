// The wait between two starts of the same holiday work for a user.
#include <gtest/gtest.h>

#include "holidays/holiday_attempts.h"

namespace {

constexpr FILETIME64 MINUTE = 600000000ull;
constexpr FILETIME64 START = 134000000000000000ull;  // a day in 2025

TEST(HolidayAttempts, TheSameFileWaitsWholeMinutesOfTheRetryTime) {
    struct Case {
        FILETIME64 later;
        int nRetryMinutes;
        bool bExpected;
    } const cases[] = {
        {3 * MINUTE - 1, 3, false},  // one tick short of the wait
        {3 * MINUTE, 3, true},       // at the wait
        {3 * MINUTE + 1, 3, true},
        {0, 3, false},               // the same instant
        {0, 0, true},                // no wait
        {0, -5, true},               // a negative wait is none
        {MINUTE - 1, 1, false},
    };
    for (const Case& c : cases) {
        CHolidayAttempts attempts;
        ASSERT_TRUE(attempts.MayStart("jane", true, "us.hol_1", c.nRetryMinutes, START));
        EXPECT_EQ(attempts.MayStart("jane", true, "us.hol_1", c.nRetryMinutes, START + c.later), c.bExpected)
            << c.later << " ticks later, wait " << c.nRetryMinutes;
    }
}

TEST(HolidayAttempts, ARetryStartsTheWaitAgain) {
    CHolidayAttempts attempts;
    ASSERT_TRUE(attempts.MayStart("jane", true, "h", 3, START));
    ASSERT_TRUE(attempts.MayStart("jane", true, "h", 3, START + 3 * MINUTE));
    EXPECT_FALSE(attempts.MayStart("jane", true, "h", 3, START + 5 * MINUTE));
    EXPECT_TRUE(attempts.MayStart("jane", true, "h", 3, START + 6 * MINUTE));
}

TEST(HolidayAttempts, OtherFilesUsersAndSidesDoNotWait) {
    CHolidayAttempts attempts;
    ASSERT_TRUE(attempts.MayStart("jane", true, "h1", 3, START));
    EXPECT_TRUE(attempts.MayStart("jane", true, "h2", 3, START)) << "a file saved again";
    EXPECT_TRUE(attempts.MayStart("ana", true, "h2", 3, START)) << "another user";
    EXPECT_TRUE(attempts.MayStart("jane", false, "h2", 3, START)) << "the removal beside the import";
    EXPECT_TRUE(attempts.MayStart("jane", true, "h1", 3, START)) << "back to the first file: it is new again";
}

TEST(HolidayAttempts, AClockSetBackDoesNotBlockForever) {
    CHolidayAttempts attempts;
    ASSERT_TRUE(attempts.MayStart("jane", true, "h", 3, START));
    EXPECT_TRUE(attempts.MayStart("jane", true, "h", 3, START - MINUTE));
    EXPECT_FALSE(attempts.MayStart("jane", true, "h", 3, START)) << "the wait counts from the retry";
}

}  // namespace
