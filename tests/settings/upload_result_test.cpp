// The upload rules of the export & setup page on plain values: the Auto
// Upload switch, success counting and the ten-minute check, over whole
// periods as the page lives through them.
#include "settings/upload_result.h"

#include <climits>

#include <gtest/gtest.h>


namespace {

TEST(UploadResult, APeriodWithSuccessesShowsUploadOnceAndTheCheckStartsCountingAgain)
{
    UploadState state{};
    EXPECT_TRUE(switchUploadOn(state, true));
    EXPECT_EQ(state.enabled, 1);

    EXPECT_TRUE(countUploadSuccess(state));
    EXPECT_EQ(state.status, UPLOAD_STATUS_UPLOAD);
    // Later notices of the same period leave the display alone.
    EXPECT_FALSE(countUploadSuccess(state));
    EXPECT_FALSE(countUploadSuccess(state));
    EXPECT_EQ(state.successCount, 3);

    EXPECT_EQ(checkUploadResult(state, true), UploadCheck::upload);
    EXPECT_EQ(state.successCount, 0);
    EXPECT_EQ(state.status, UPLOAD_STATUS_UPLOAD);
    // A new period: its first notice shows "UPLOAD" again at once.
    EXPECT_TRUE(countUploadSuccess(state));

    EXPECT_EQ(checkUploadResult(state, true), UploadCheck::upload);
    EXPECT_EQ(checkUploadResult(state, true), UploadCheck::fail);
    EXPECT_EQ(state.status, UPLOAD_STATUS_FAIL);
    // After a failed period the next success is news again.
    EXPECT_TRUE(countUploadSuccess(state));
    EXPECT_EQ(state.status, UPLOAD_STATUS_UPLOAD);
}

TEST(UploadResult, WithoutAConsoleThereIsNoCheckSoFailNeverShows)
{
    UploadState state{};
    EXPECT_FALSE(switchUploadOn(state, false)); // no timer
    EXPECT_EQ(state.enabled, 1);
    EXPECT_EQ(checkUploadResult(state, false), UploadCheck::nothing);
    EXPECT_EQ(state.status, UPLOAD_STATUS_NONE);
    EXPECT_TRUE(countUploadSuccess(state));
    EXPECT_EQ(checkUploadResult(state, false), UploadCheck::nothing);
    EXPECT_EQ(state.status, UPLOAD_STATUS_UPLOAD);
    EXPECT_EQ(state.successCount, 1);

    // Uncapped, a count nobody resets would overflow in the end.
    state.successCount = INT_MAX;
    EXPECT_FALSE(countUploadSuccess(state));
    EXPECT_EQ(state.successCount, INT_MAX);

    // Switched on with the console ready, counting starts from nothing.
    state.successCount = 5;
    EXPECT_TRUE(switchUploadOn(state, true));
    EXPECT_EQ(state.successCount, 0);
    EXPECT_EQ(checkUploadResult(state, true), UploadCheck::fail);
}

TEST(UploadResult, ASwitchedOffServiceIgnoresLateNoticesAndTicks)
{
    UploadState state{};
    switchUploadOn(state, true);
    countUploadSuccess(state);
    countUploadSuccess(state);
    switchUploadOff(state);
    EXPECT_EQ(state.enabled, 0);
    EXPECT_EQ(state.successCount, 0);
    EXPECT_EQ(state.status, UPLOAD_STATUS_NONE);

    // A reply to a request sent before the box was cleared.
    EXPECT_FALSE(countUploadSuccess(state));
    EXPECT_EQ(state.successCount, 0);
    EXPECT_EQ(state.status, UPLOAD_STATUS_NONE);
    EXPECT_EQ(checkUploadResult(state, true), UploadCheck::nothing);
    EXPECT_EQ(state.status, UPLOAD_STATUS_NONE);

    // Refusing a switch-on (empty id or key) only clears what is shown.
    UploadState shown{1, 2, UPLOAD_STATUS_FAIL};
    refuseUpload(shown);
    EXPECT_EQ(shown.enabled, 1);
    EXPECT_EQ(shown.successCount, 2);
    EXPECT_EQ(shown.status, UPLOAD_STATUS_NONE);
}

TEST(UploadResult, AutoUploadRefusesEmptyCredentialsOnlyWhenSwitchingOn)
{
    EXPECT_EQ(autoUploadAction(true, false, false), AutoUploadAction::switchOn);
    EXPECT_EQ(autoUploadAction(true, true, false), AutoUploadAction::refuse);
    EXPECT_EQ(autoUploadAction(true, false, true), AutoUploadAction::refuse);
    // Clearing the box must stop the uploads whatever the edits hold.
    EXPECT_EQ(autoUploadAction(false, true, true), AutoUploadAction::switchOff);
    EXPECT_EQ(autoUploadAction(false, false, false), AutoUploadAction::switchOff);
}

} // namespace
