// The platform tests' scratch folder, shared by the tests of both targets.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Create()); }
  std::string Path(const std::string& relative) const { return temp_.Join(relative); }

  TempDir temp_;
};
