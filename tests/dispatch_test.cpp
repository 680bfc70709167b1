#include "tests/harness.h"

namespace tov::test {
TEST(Dispatch, OutsideFamiliesUntouched) {
    const RunResult r = run(0x2000000, 0);
    EXPECT_EQ(r.ret, 0);
    EXPECT_TRUE(r.events.empty());
}
}  // namespace tov::test
