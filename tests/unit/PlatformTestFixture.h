// A scratch folder for the platform layer's tests, removed after each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "platform/Platform.h"

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      const fs::path candidate =
          fs::temp_directory_path() / ("kvb-platform-" + std::to_string(random()));
      std::error_code error;
      if (fs::create_directory(candidate, error)) root_ = candidate.string();
    }
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override {
    namespace fs = std::filesystem;
    platform::InjectWriteFault(0);
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }

  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  void WriteFile(const std::string& relative, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << content;
  }

  std::string ReadFile(const std::string& relative) {
    std::ifstream in(Path(relative), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  std::string root_;
};
