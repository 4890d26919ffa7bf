#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using Values = std::map<std::string, std::string>;

// Reads every value that the settings keep, by member name, accessor or not.
class ConfigurationProbe {
  static std::string V(bool value) { return value ? "1" : "0"; }
  static std::string V(int value) { return std::to_string(value); }
  static std::string V(const std::string& value) { return value; }

 public:
  static Values Get(const Configuration& c) {
#define KVB_V(member) \
  { #member, V(c.member) }
    // clang-format off
    return {KVB_V(pcFunction_), KVB_V(multiontop_), KVB_V(master_), KVB_V(multiPcPort_),
        KVB_V(useUI_), KVB_V(useDataAccess_), KVB_V(useSDK_), KVB_V(useTraffic_),
        KVB_V(useWeather_), KVB_V(useFSD_), KVB_V(pcSpeaker_), KVB_V(soundCard_),
        KVB_V(antiFlicker_), KVB_V(externalApp_), KVB_V(fsx_path_), KVB_V(prepar3d_path_),
        KVB_V(install_path_), KVB_V(sound_), KVB_V(closeTS_), KVB_V(syncTime_),
        KVB_V(contSyncTime_), KVB_V(debug_), KVB_V(readOffset_), KVB_V(weather_),
        KVB_V(weatherClear_), KVB_V(weatherLock_), KVB_V(active_), KVB_V(refresh_), KVB_V(range_),
        KVB_V(sendrate_), KVB_V(rcvrate_), KVB_V(limittraffic_), KVB_V(limittrafficsoft_),
        KVB_V(limittraffichard_), KVB_V(chat_), KVB_V(chatdelay_), KVB_V(chatscroll_),
        KVB_V(chatTime_), KVB_V(showhideEnabled_), KVB_V(showhideModifier_), KVB_V(showhideKey_),
        KVB_V(tcasEnabled_), KVB_V(tcasModifier_), KVB_V(tcasKey_), KVB_V(pushbackEnabled_),
        KVB_V(pushbackModifier_), KVB_V(pushbackKey_), KVB_V(transponderEnabled_),
        KVB_V(transponderModifier_), KVB_V(transponderKey_), KVB_V(identEnabled_),
        KVB_V(identModifier_), KVB_V(identKey_), KVB_V(callsign_), KVB_V(pilotName_),
        KVB_V(base_), KVB_V(vid_), KVB_V(password_), KVB_V(hideadmin_), KVB_V(host_),
        KVB_V(serverPort_), KVB_V(voice_), KVB_V(followme_), KVB_V(remember_),
        KVB_V(templatePath_), KVB_V(template_), KVB_V(atcOrder_)};
    // clang-format on
#undef KVB_V
  }
  static int LoadCount() { return Configuration::loadCount_.load(); }
};

namespace {

Values Parse(const std::string& text) {
  Values values;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return values;
}

// A test folder stands in for the user's application-data folder; Windows asks
// the shell instead, which does not look at APPDATA.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (platform::NativePath("C:\\x") == "C:\\x") GTEST_SKIP() << "the shell decides the folder";
    ASSERT_TRUE(folder_.Create());
  }
  void TearDown() override { Configuration::Release(); }

  TempDir folder_;
  ScopedEnvironment appData_{"APPDATA", ""};
};

// Each folder of tests/data/settings holds a zaro.ini and a pilot.cfg for
// config\ (either may be missing or be a folder) and `expected`: the values that
// differ from those of the case `defaults` (which lists them all), by member.
TEST_F(SettingsTest, DataFilesGiveTheExpectedValues) {
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "settings";
  const Values defaults = Parse(ReadBytes((data / "defaults" / "expected").string()));
  const char* regenerate = std::getenv("KVB_REGENERATE");
  for (const auto& entry : fs::directory_iterator(data)) {
    const std::string expectedFile = (entry.path() / "expected").string();
    TempDir folder;
    ASSERT_TRUE(folder.Create());
    ScopedEnvironment appData("APPDATA", folder.Path());
    fs::create_directories(folder.Join("VORN/Zaro"));
    fs::copy(entry.path(), folder.Join("VORN/Zaro/config"), fs::copy_options::recursive);
    const Values actual = ConfigurationProbe::Get(*Configuration::GetInstance());
    Configuration::Release();

    Values expected = defaults;
    for (const auto& [name, value] : Parse(ReadBytes(expectedFile))) expected[name] = value;
    if (regenerate && *regenerate == '1') {
      std::string changed;
      for (const auto& [name, value] : actual)
        if (entry.path().filename() == "defaults" || defaults.count(name) == 0 ||
            defaults.at(name) != value)
          changed += name + "=" + value + "\n";
      WriteBytes(expectedFile, changed);
    }
    EXPECT_EQ(expected, actual) << expectedFile;
  }
}

TEST(UnmaskPasswordTest, ReadsHexadecimalPairsAgainstTheRepeatingKey) {
  const std::pair<const char*, std::string> cases[] = {
      {"", ""},
      {"1", ""},
      {"1017", "AB"},
      {"10170", "AB"},  // 'A' ^ 'Q', 'B' ^ 'U'
      {"1a", "K"},
      {"1A", "K"},
      {"zz17", "QB"},
      {"1z", "P"},  // as strtol reads them:
      {" 1", "P"},
      {"-1", "\xae"},
      {"0x", "Q"},
      {"51", std::string(1, '\0')},  // low 8 bits
      // The sixteenth pair uses the key's first character again.
      {"1014080D0D12150E0F040C00130A1710", "AAAAAAAAAAAAAAAA"}};
  for (const auto& [masked, plain] : cases)
    EXPECT_EQ(Configuration::UnmaskPassword(masked), plain) << masked;
}

TEST_F(SettingsTest, PathsAreFormedFromTheApplicationDataFolder) {
  const std::string wineRoaming = folder_.Join("drive_c/users/tester/AppData/Roaming");
  fs::create_directories(wineRoaming);
  ScopedEnvironment winePrefix("WINEPREFIX", folder_.Path());
  ScopedEnvironment user("USER", "tester");
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Users\\A\\AppData\\Roaming", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"C:\\Users\\A\\AppData\\Roaming\\", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"/home/a/roaming/", "/home/a/roaming\\VORN\\Zaro"},
      {"", wineRoaming + "\\VORN\\Zaro"}};  // unset: Wine's folder for the user
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
  ScopedEnvironment missingPrefix("WINEPREFIX", folder_.Join("missing"));
  EXPECT_EQ(Configuration::GetInstance()->GetSettingsFilePath(), "\\VORN\\Zaro\\config\\zaro.ini");
  Configuration::Release();
  ScopedEnvironment noPrefix("WINEPREFIX", ""), home("HOME", ""), noUser("USER", "");
  const std::string& userData = Configuration::GetInstance()->GetUserDataPath();
  EXPECT_EQ(userData.substr(userData.size() - 10), "\\VORN\\Zaro");
}

TEST_F(SettingsTest, ThreadsShareOneLoadUntilRelease) {
  ScopedEnvironment appData("APPDATA", folder_.Path());
  ASSERT_TRUE(folder_.WriteFile("VORN/Zaro/config/zaro.ini", "[INSTALL]\nPath=C:\\One\n"));
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
  ASSERT_TRUE(folder_.WriteFile("VORN/Zaro/config/zaro.ini", "[INSTALL]\nPath=C:\\Two\n"));
  for (Configuration* configuration : seen) ASSERT_EQ(configuration, Configuration::GetInstance());
  EXPECT_EQ(seen[0]->GetInstallPath(), "C:\\One");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 1);

  Configuration::Release();
  Configuration::Release();  // nothing left to release
  EXPECT_EQ(Configuration::GetInstance()->GetInstallPath(), "C:\\Two");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 2);
}

}  // namespace
