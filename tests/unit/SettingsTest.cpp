#include <atomic>
#include <thread>

#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/TempDir.h"

using Values = std::map<std::string, std::string>;

// Reads every value that the settings keep, by member name, accessor or not.
class ConfigurationProbe {
  static std::string Text(bool value) { return value ? "1" : "0"; }
  static std::string Text(int value) { return std::to_string(value); }
  static std::string Text(const std::string& value) { return value; }

 public:
  static Values Get(const Configuration& c) {
    // clang-format off
#define V(member) {#member, Text(c.member)}
    return {
        V(pcFunction_), V(multiontop_), V(master_), V(multiPcPort_), V(useUI_), V(useDataAccess_),
        V(useSDK_), V(useTraffic_), V(useWeather_), V(useFSD_), V(pcSpeaker_), V(soundCard_),
        V(antiFlicker_), V(externalApp_), V(fsx_path_), V(prepar3d_path_), V(install_path_),
        V(sound_), V(closeTS_), V(syncTime_), V(contSyncTime_), V(debug_), V(readOffset_),
        V(weather_), V(weatherClear_), V(weatherLock_), V(active_), V(refresh_), V(range_),
        V(sendrate_), V(rcvrate_), V(limittraffic_), V(limittrafficsoft_), V(limittraffichard_),
        V(chat_), V(chatdelay_), V(chatscroll_), V(chatTime_), V(showhideEnabled_),
        V(showhideModifier_), V(showhideKey_), V(tcasEnabled_), V(tcasModifier_), V(tcasKey_),
        V(pushbackEnabled_), V(pushbackModifier_), V(pushbackKey_), V(transponderEnabled_),
        V(transponderModifier_), V(transponderKey_), V(identEnabled_), V(identModifier_),
        V(identKey_), V(callsign_), V(pilotName_), V(base_), V(vid_), V(password_), V(hideadmin_),
        V(host_), V(serverPort_), V(voice_), V(followme_), V(remember_), V(templatePath_),
        V(template_), V(atcOrder_)};
    // clang-format on
#undef V
  }
  static int LoadCount() { return Configuration::loadCount_.load(); }
};

namespace {

// "member=value" lines; in the expected files, the case's values over the defaults.
Values Parse(const std::string& text, Values values = {}) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return values;
}

std::string Print(const Values& values) {
  std::string text;
  for (const auto& [name, value] : values) text += name + "=" + value + "\n";
  return text;
}

// A test folder stands in for the user's application-data folder; Windows asks
// the shell instead, which does not look at APPDATA.
class SettingsTest : public TempDirTest {
 protected:
  void SetUp() override {
    if (platform::NativePath("C:\\x") == "C:\\x") GTEST_SKIP() << "the shell decides the folder";
    TempDirTest::SetUp();
  }
  void TearDown() override { Configuration::Release(); }

  ScopedEnvironment appData_{"APPDATA", ""};
};

// tests/data/settings: one folder per case (see the README there).
TEST_F(SettingsTest, DataFilesGiveTheExpectedValues) {
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "settings";
  const Values defaults = Parse(ReadBytes((data / "defaults" / "expected").string()));
  ScopedEnvironment appData("APPDATA", temp_.Path());
  for (const auto& entry : fs::directory_iterator(data)) {
    fs::remove_all(Path("VORN"));
    fs::create_directories(Path("VORN/Zaro"));
    fs::copy(entry.path(), Path("VORN/Zaro/config"), fs::copy_options::recursive);
    const Values expected = Parse(ReadBytes((entry.path() / "expected").string()), defaults);
    EXPECT_EQ(Print(expected), Print(ConfigurationProbe::Get(*Configuration::GetInstance())))
        << entry.path();
    Configuration::Release();
  }
}

TEST_F(SettingsTest, PathsAreFormedFromTheApplicationDataFolder) {
  // Wine's folder for the user, when APPDATA is unset, is left to a scenario.
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Users\\A\\AppData\\Roaming", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"C:\\Users\\A\\AppData\\Roaming\\", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"/home/a/roaming/", "/home/a/roaming\\VORN\\Zaro"}};
  for (const auto& [appDataPath, userData] : cases) {
    ScopedEnvironment appData("APPDATA", appDataPath);
    const Configuration* configuration = Configuration::GetInstance();
    EXPECT_EQ(configuration->GetUserDataPath(), userData) << appDataPath;
    EXPECT_EQ(configuration->GetSettingsFilePath(), userData + "\\config\\zaro.ini");
    EXPECT_EQ(configuration->GetPilotFilePath(), userData + "\\config\\pilot.cfg");
    Configuration::Release();
  }
  // Nothing found at all: the folder is looked for from the root; without a
  // home or a user name too.
  ScopedEnvironment missingPrefix("WINEPREFIX", temp_.Join("missing"));
  EXPECT_EQ(Configuration::GetInstance()->GetSettingsFilePath(), "\\VORN\\Zaro\\config\\zaro.ini");
  Configuration::Release();
  ScopedEnvironment noPrefix("WINEPREFIX", ""), home("HOME", ""), noUser("USER", "");
  const std::string& userData = Configuration::GetInstance()->GetUserDataPath();
  EXPECT_EQ(userData.substr(userData.size() - 10), "\\VORN\\Zaro");
}

TEST_F(SettingsTest, ThreadsShareOneLoadUntilRelease) {
  ScopedEnvironment appData("APPDATA", temp_.Path());
  ASSERT_TRUE(temp_.WriteFile("VORN/Zaro/config/zaro.ini", "[INSTALL]\nPath=C:\\One\n"));
  const int loads = ConfigurationProbe::LoadCount();
  std::atomic<bool> go{false};
  std::vector<Configuration*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (Configuration*& slot : seen)
    threads.emplace_back([&go, &slot] {
      while (!go.load()) std::this_thread::yield();
      slot = Configuration::GetInstance();
    });
  go = true;
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(temp_.WriteFile("VORN/Zaro/config/zaro.ini", "[INSTALL]\nPath=C:\\Two\n"));
  for (Configuration* configuration : seen) ASSERT_EQ(configuration, Configuration::GetInstance());
  EXPECT_EQ(seen[0]->GetInstallPath(), "C:\\One");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 1);

  Configuration::Release();
  Configuration::Release();  // nothing left to release
  EXPECT_EQ(Configuration::GetInstance()->GetInstallPath(), "C:\\Two");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 2);
}

}  // namespace
