#include <gtest/gtest.h>

#include <string>

#include "app/Application.h"
#include "platform/Platform.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

namespace {

const char* const kBanner =
    "Kavbel configuration builder.\n"
    "Copyright (C) VORN network. All rights reserved.\n"
    "\n"
    "KVB aircraft will be hidden in FS\n";

// The run as the client's settings describe it, with its console output.
class SettingsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::NativePath("C:\\x") == "C:\\x")
      GTEST_SKIP() << "the shell decides the application-data folder here";
  }

  std::string Run() {
    char name[] = "kvbconfig";
    char* argv[] = {name, nullptr};
    ::testing::internal::CaptureStdout();
    const int status = RunKvbConfig(1, argv);
    std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    return output;
  }

  ScratchFolder folder_;
  ScopedEnvironment appData_{"APPDATA", folder_.Path()};
};

TEST_F(SettingsRunTest, WithoutSettingsOnlyTheBannerIsPrinted) { EXPECT_EQ(Run(), kBanner); }

TEST_F(SettingsRunTest, AnnouncesFsxThenPrepar3dAndLeavesTheSettingsAsTheyWere) {
  // Neither simulator holds a library: each pass only reports the blank database,
  // which it cannot write without a data folder.
  const std::string fsx = folder_.MakeFolder("FSX");
  const std::string prepar3d = folder_.MakeFolder("P3D");
  const std::string client = folder_.MakeFolder("Zaro");
  const std::string settings = "[INSTALL]\r\nprepar3d_path=" + prepar3d + "\r\nfsx_path=" + fsx +
                               "\r\nPath=" + client + "\r\nDebug=1\r\n";
  const std::string path = folder_.WriteFile("VORN/Zaro/config/zaro.ini", settings);

  const std::string output = Run();
  const std::string fsxLine = "\nUpdating FSX (" + fsx + ") ...\n";
  const std::string prepar3dLine = "\nUpdating Prepar3D (" + prepar3d + ") ...\n";
  EXPECT_EQ(output.compare(0, std::string(kBanner).size(), kBanner), 0) << output;
  ASSERT_NE(output.find(fsxLine), std::string::npos) << output;
  ASSERT_NE(output.find(prepar3dLine), std::string::npos) << output;
  EXPECT_LT(output.find(fsxLine), output.find(prepar3dLine));

  EXPECT_EQ(ScratchFolder::ReadBytes(path), settings);
  // Debugging on, yet no lock of an ordinary run is traced.
  EXPECT_FALSE(ScratchFolder::ExistsAt(folder_.Path() + "/VORN/Zaro/logs"));
}

}  // namespace
