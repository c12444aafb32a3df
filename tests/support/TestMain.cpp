#include <gtest/gtest.h>

#include "framework/Testing.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  fw::testing::InitForTests(argc, argv);
  const int result = RUN_ALL_TESTS();
  fw::testing::ShutdownForTests(result);
  return result;
}
