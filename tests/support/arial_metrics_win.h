// Tests that measure text or compare drawn glyphs hold only with Arial's
// metrics. Under Wine the prefix maps Arial to its metric twin, Liberation
// Sans (scripts/wine-prefix.sh); where that face is missing Wine quietly
// takes a wider one, and every such test would fail with an overflow of its
// own. This check runs before the tests of the file that registers it and,
// when the face is wrong, fails once with the cure and runs none of them:
//   const auto* const arialCheck = ::testing::AddGlobalTestEnvironment(new ArialMetricsCheck);
#pragma once

#include <gtest/gtest.h>

class ArialMetricsCheck : public ::testing::Environment {
public:
    void SetUp() override;
};
