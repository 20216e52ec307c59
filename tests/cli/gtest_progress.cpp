// The progress line of a long run: its pace and time left come from what is done so far.
#include <gtest/gtest.h>

#include "cli/progress.h"

using namespace zorvan::cli;

TEST(Progress, PaceAndTimeLeftFollowWhatIsDone) {
    EXPECT_EQ(progressLine(0, 40, 5000, 4, 0), QStringLiteral("0/40 0%  4 in flight  0 blocked"));
    EXPECT_EQ(progressLine(10, 40, 60000, 4, 2),
              QStringLiteral("10/40 25%  10.0/min  ETA 3m00s  4 in flight  2 blocked"));
    EXPECT_EQ(progressLine(1, 1000, 7500, 16, 0),
              QStringLiteral("1/1000 0%  8.0/min  ETA 2h04m  16 in flight  0 blocked"));
    EXPECT_EQ(progressLine(39, 40, 39000, 1, 0),
              QStringLiteral("39/40 97%  60.0/min  ETA 1s  1 in flight  0 blocked"));
}
