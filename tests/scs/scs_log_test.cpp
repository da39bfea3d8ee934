// Log lines name the exported function they come from.
#include <gtest/gtest.h>

#include "scs_test_support.h"

TEST_F(ScsTest, InitLogsItsLineUnderItsOwnName) {
  const auto ready = logged("HTTP service library ready for agent test-agent");
  ASSERT_EQ(ready.size(), 1u);
  EXPECT_NE(ready[0].find(" SCS_SERVER_Init: "), std::string::npos) << ready[0];
}
