// Upgrades against the simulated boot loader with one fault each: every kind
// of fault early, midway and late, in both directions where it applies.

#include <gtest/gtest.h>

#include "FaultCampaign.h"

namespace apdesk::campaign {
namespace {

TEST(UpgradeFaultCampaign, EveryFaultEndsWithoutFalseSuccessAndWithinThreeTimesTheCleanTime) {
  RunPlan plain;
  plain.imageSize = 15000;
  const RunResult clean = RunUpgrade(plain, 600000);
  ASSERT_EQ(clean.outcome, Outcome::Succeeded);
  ASSERT_TRUE(clean.finishAcknowledged);

  for (int kind = 1; kind < kFaultKinds; ++kind) {
    for (double moment : {0.02, 0.3, 0.55, 0.8, 0.99}) {
      for (bool towardDevice : {false, true}) {
        RunPlan plan = plain;
        plan.fault = static_cast<Fault>(kind);
        plan.moment = moment;
        plan.towardDevice = towardDevice;
        SCOPED_TRACE(testing::Message() << FaultName(plan.fault) << " at " << moment
                                        << (towardDevice ? " to the device" : " from the device"));
        const RunResult r = RunUpgrade(plan, 60 * clean.endMs);
        EXPECT_FALSE(r.falseSuccess);
        EXPECT_FALSE(r.falseProgress);
        ASSERT_NE(r.outcome, Outcome::NoEnd);
        if (r.outcome == Outcome::Succeeded) {
          EXPECT_LE(r.endMs, 3 * clean.endMs);
          // One fault costs a few repeated reports, not a slower pace for
          // the rest of the upgrade.
          EXPECT_LE(r.deviceReports, clean.deviceReports + 16);
          if (plan.fault != Fault::Vanish) {
            EXPECT_TRUE(r.finishAcknowledged);
          }
        }
        // Faults on the way are made good; only a wrong read-back of the
        // flash or a lost device may fail the upgrade.
        if (plan.fault != Fault::CorruptReadBack && plan.fault != Fault::Vanish) {
          EXPECT_EQ(r.outcome, Outcome::Succeeded) << OutcomeName(r.outcome);
        }
        if (plan.fault == Fault::CorruptReadBack) {
          EXPECT_EQ(r.outcome, Outcome::VerifyFailed);
        }
      }
    }
  }
}

}  // namespace
}  // namespace apdesk::campaign
