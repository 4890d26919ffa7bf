#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "settings/SpecialFolder.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

namespace {
std::string V(bool value) { return value ? "1" : "0"; }
std::string V(int value) { return std::to_string(value); }
std::string V(const std::string& value) { return value; }
}  // namespace

// Reads the values that the tool keeps but offers no accessor for.
class ConfigurationProbe {
 public:
  static std::map<std::string, std::string> Values(const Configuration& c) {
    // clang-format off
    return {
        {"MultiPC.PCFunction", V(c.pcFunction_)}, {"MultiPC.multiontop", V(c.multiontop_)},
        {"MultiPC.master", V(c.master_)}, {"MultiPC.port", V(c.multiPcPort_)},
        {"MultiPC.UseUI", V(c.useUI_)}, {"MultiPC.UseDataAccess", V(c.useDataAccess_)},
        {"MultiPC.UseSDK", V(c.useSDK_)}, {"MultiPC.UseTraffic", V(c.useTraffic_)},
        {"MultiPC.UseWeather", V(c.useWeather_)}, {"MultiPC.UseFSD", V(c.useFSD_)},
        {"SELCAL.PcSpeaker", V(c.pcSpeaker_)}, {"SELCAL.SoundCard", V(c.soundCard_)},
        {"INSTALL.AntiFlicker", V(c.antiFlicker_)}, {"INSTALL.ExternalApp", V(c.externalApp_)},
        {"INSTALL.fsx_path", c.GetFsxPath()}, {"INSTALL.prepar3d_path", c.GetPrepar3dPath()},
        {"INSTALL.Path", c.GetInstallPath()},
        {"INSTALL.Sound", V(c.sound_)}, {"INSTALL.CloseTS", V(c.closeTS_)},
        {"INSTALL.SYNCTIME", V(c.syncTime_)}, {"INSTALL.CONTSYNCTIME", V(c.contSyncTime_)},
        {"INSTALL.Debug", V(c.IsDebugEnabled())}, {"INSTALL.ReadOffset", V(c.readOffset_)},
        {"INSTALL.WEATHER", V(c.weather_)}, {"INSTALL.WEATHERCLEAR", V(c.weatherClear_)},
        {"INSTALL.WEATHERLOCK", V(c.weatherLock_)}, {"MULTIPLAYER.active", V(c.active_)},
        {"MULTIPLAYER.refresh", V(c.refresh_)}, {"MULTIPLAYER.range", V(c.range_)},
        {"MULTIPLAYER.sendrate", V(c.sendrate_)}, {"MULTIPLAYER.rcvrate", V(c.rcvrate_)},
        {"MULTIPLAYER.limittraffic", V(c.limittraffic_)},
        {"MULTIPLAYER.limittrafficsoft", V(c.limittrafficsoft_)},
        {"MULTIPLAYER.limittraffichard", V(c.limittraffichard_)}, {"MULTIPLAYER.chat", V(c.chat_)},
        {"MULTIPLAYER.chatdelay", V(c.chatdelay_)}, {"MULTIPLAYER.chatscroll", V(c.chatscroll_)},
        {"MULTIPLAYER.ChatTime", V(c.chatTime_)},
        {"Hotkeys.showhide.enabled", V(c.showhideEnabled_)},
        {"Hotkeys.showhide.modifier", V(c.showhideModifier_)},
        {"Hotkeys.showhide.key", V(c.showhideKey_)}, {"Hotkeys.tcas.enabled", V(c.tcasEnabled_)},
        {"Hotkeys.tcas.modifier", V(c.tcasModifier_)}, {"Hotkeys.tcas.key", V(c.tcasKey_)},
        {"Hotkeys.pushback.enabled", V(c.pushbackEnabled_)},
        {"Hotkeys.pushback.modifier", V(c.pushbackModifier_)},
        {"Hotkeys.pushback.key", V(c.pushbackKey_)},
        {"Hotkeys.transponder.enabled", V(c.transponderEnabled_)},
        {"Hotkeys.transponder.modifier", V(c.transponderModifier_)},
        {"Hotkeys.transponder.key", V(c.transponderKey_)},
        {"Hotkeys.ident.enabled", V(c.identEnabled_)},
        {"Hotkeys.ident.modifier", V(c.identModifier_)}, {"Hotkeys.ident.key", V(c.identKey_)},
        {"PILOT.Callsign", V(c.callsign_)}, {"PILOT.PilotName", V(c.pilotName_)},
        {"PILOT.Base", V(c.base_)}, {"PILOT.VID", V(c.vid_)}, {"PILOT.Password", V(c.password_)},
        {"PILOT.hideadmin", V(c.hideadmin_)}, {"SERVER.host", V(c.host_)},
        {"SERVER.port", V(c.serverPort_)}, {"SERVER.voice", V(c.voice_)},
        {"TYPE.followme", V(c.followme_)}, {"PILOT.remember", V(c.remember_)},
        {"TEMPLATE.path", V(c.templatePath_)}, {"TEMPLATE.template", V(c.template_)},
        {"GENERAL.ATCORDER", V(c.atcOrder_)}};
    // clang-format on
  }

  static int LoadCount() { return Configuration::loadCount_.load(); }
};

namespace {

const char* const kSettingsFile = "VORN/Zaro/config/zaro.ini";
const char* const kPilotFile = "VORN/Zaro/config/pilot.cfg";
const char* const kFolder = "<folder>";  // the settings path names a folder

// Windows asks the shell, which does not look at APPDATA.
bool AppDataFollowsEnvironment() { return platform::NativePath("C:\\x") != "C:\\x"; }

const std::map<std::string, std::string>& Defaults() {
  // clang-format off
  static const std::map<std::string, std::string> defaults = {
      {"MultiPC.PCFunction", "0"}, {"MultiPC.multiontop", "0"}, {"MultiPC.master", "127.0.0.1"},
      {"MultiPC.port", "6810"}, {"MultiPC.UseUI", "1"}, {"MultiPC.UseDataAccess", "1"},
      {"MultiPC.UseSDK", "1"}, {"MultiPC.UseTraffic", "1"}, {"MultiPC.UseWeather", "1"},
      {"MultiPC.UseFSD", "1"}, {"SELCAL.PcSpeaker", "1"}, {"SELCAL.SoundCard", "1"},
      {"INSTALL.AntiFlicker", "0"}, {"INSTALL.ExternalApp", "1"}, {"INSTALL.fsx_path", ""},
      {"INSTALL.prepar3d_path", ""}, {"INSTALL.Path", ""}, {"INSTALL.Sound", "1"},
      {"INSTALL.CloseTS", "1"}, {"INSTALL.SYNCTIME", "0"}, {"INSTALL.CONTSYNCTIME", "0"},
      {"INSTALL.Debug", "0"}, {"INSTALL.ReadOffset", "0"}, {"INSTALL.WEATHER", "1"},
      {"INSTALL.WEATHERCLEAR", "1"}, {"INSTALL.WEATHERLOCK", "1"}, {"MULTIPLAYER.active", "1"},
      {"MULTIPLAYER.refresh", "20"}, {"MULTIPLAYER.range", "10"}, {"MULTIPLAYER.sendrate", "3"},
      {"MULTIPLAYER.rcvrate", "3"}, {"MULTIPLAYER.limittraffic", "0"},
      {"MULTIPLAYER.limittrafficsoft", "50"}, {"MULTIPLAYER.limittraffichard", "50"},
      {"MULTIPLAYER.chat", "1"}, {"MULTIPLAYER.chatdelay", "0"}, {"MULTIPLAYER.chatscroll", "0"},
      {"MULTIPLAYER.ChatTime", "20"}, {"Hotkeys.showhide.enabled", "1"},
      {"Hotkeys.showhide.modifier", "2"}, {"Hotkeys.showhide.key", "120"},
      {"Hotkeys.tcas.enabled", "1"}, {"Hotkeys.tcas.modifier", "2"}, {"Hotkeys.tcas.key", "119"},
      {"Hotkeys.pushback.enabled", "1"}, {"Hotkeys.pushback.modifier", "2"},
      {"Hotkeys.pushback.key", "118"}, {"Hotkeys.transponder.enabled", "1"},
      {"Hotkeys.transponder.modifier", "2"}, {"Hotkeys.transponder.key", "122"},
      {"Hotkeys.ident.enabled", "1"}, {"Hotkeys.ident.modifier", "2"}, {"Hotkeys.ident.key", "123"},
      {"PILOT.Callsign", ""}, {"PILOT.PilotName", ""}, {"PILOT.Base", ""}, {"PILOT.VID", ""},
      {"PILOT.Password", ""}, {"PILOT.hideadmin", "0"}, {"SERVER.host", ""},
      {"SERVER.port", "6809"}, {"SERVER.voice", "1"}, {"TYPE.followme", "0"},
      {"PILOT.remember", "1"}, {"TEMPLATE.path", "templates"}, {"TEMPLATE.template", "velandrit"},
      {"GENERAL.ATCORDER", "0"}};
  // clang-format on
  return defaults;
}

// One test folder standing in for the user's application-data folder.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!AppDataFollowsEnvironment()) GTEST_SKIP() << "the shell decides the folder here";
  }
  void TearDown() override { Configuration::Release(); }

  void Write(const char* relative, const char* content) { folder_.WriteFile(relative, content); }

  ScratchFolder folder_;
  ScopedEnvironment appData_{"APPDATA", folder_.Path()};
};

TEST_F(SettingsTest, EveryKeyWithItsDefaultClampAndCondition) {
  struct Case {
    const char* name;
    const char* settings;  // nullptr: no file
    const char* pilot;
    std::map<std::string, std::string> expected;  // differences from the defaults
  } cases[] = {
      {"no files", nullptr, nullptr, {}},
      {"settings paths that name folders", kFolder, kFolder, {}},
      {"multi-PC port 0", "[MultiPC]\r\nport=0\r\n", nullptr, {{"MultiPC.port", "1"}}},
      {"multi-PC port -5", "[MultiPC]\nport=-5\n", nullptr, {{"MultiPC.port", "1"}}},
      {"multi-PC port 65535", "[MultiPC]\nport=65535\n", nullptr, {{"MultiPC.port", "65535"}}},
      {"multi-PC port 65536", "[MultiPC]\nport=65536\n", nullptr, {{"MultiPC.port", "65535"}}},
      {"multi-PC port huge", "[MultiPC]\nport=99999999999\n", nullptr, {{"MultiPC.port", "65535"}}},
      {"multi-PC port not a number", "[MultiPC]\nport=abc\n", nullptr, {{"MultiPC.port", "1"}}},
      {"server port is not clamped",
       "[MultiPC]\nport=70000\n",
       "[SERVER]\nport=70000\n",
       {{"MultiPC.port", "65535"}, {"SERVER.port", "70000"}}},
      {"inactive multiplayer sends nothing",
       "[MULTIPLAYER]\nactive=0\nsendrate=2\nrcvrate=1\n",
       nullptr,
       {{"MULTIPLAYER.active", "0"}, {"MULTIPLAYER.sendrate", "0"}, {"MULTIPLAYER.rcvrate", "0"}}},
      {"rates clamped to 0..3",
       "[MULTIPLAYER]\nactive=1\nsendrate=5\nrcvrate=-2\n",
       nullptr,
       {{"MULTIPLAYER.sendrate", "3"}, {"MULTIPLAYER.rcvrate", "0"}}},
      {"rates in range",
       "[MULTIPLAYER]\nsendrate=2\nrcvrate=1\n",
       nullptr,
       {{"MULTIPLAYER.sendrate", "2"}, {"MULTIPLAYER.rcvrate", "1"}}},
      {"active written as a word is false",
       "[MULTIPLAYER]\nactive=true\nsendrate=2\n",
       nullptr,
       {{"MULTIPLAYER.active", "0"}, {"MULTIPLAYER.sendrate", "0"}, {"MULTIPLAYER.rcvrate", "0"}}},
      {"traffic limits below and above",
       "[MULTIPLAYER]\nlimittrafficsoft=1\nlimittraffichard=100\n",
       nullptr,
       {{"MULTIPLAYER.limittrafficsoft", "3"}, {"MULTIPLAYER.limittraffichard", "50"}}},
      {"traffic limits at the bounds",
       "[MULTIPLAYER]\nlimittrafficsoft=3\nlimittraffichard=49\n",
       nullptr,
       {{"MULTIPLAYER.limittrafficsoft", "3"}, {"MULTIPLAYER.limittraffichard", "49"}}},
      {"master ignored unless PCFunction is 2",
       "[MultiPC]\nPCFunction=1\nmaster=10.0.0.5\n",
       nullptr,
       {{"MultiPC.PCFunction", "1"}}},
      {"master read when PCFunction is 2",
       "[MultiPC]\nPCFunction=2\nmaster=10.0.0.5\n",
       nullptr,
       {{"MultiPC.PCFunction", "2"}, {"MultiPC.master", "10.0.0.5"}}},
      {"master missing when PCFunction is 2",
       "[MultiPC]\nPCFunction=2\n",
       nullptr,
       {{"MultiPC.PCFunction", "2"}}},
      {"booleans by their integer value",
       "[MultiPC]\nmultiontop=1\nUseUI=true\nUseSDK=2\nUseFSD=-1\nUseTraffic=\n"
       "[INSTALL]\nAntiFlicker=2\nReadOffset=-1\nSound=0\n",
       nullptr,
       {{"MultiPC.multiontop", "1"},
        {"MultiPC.UseUI", "0"},
        {"MultiPC.UseTraffic", "0"},
        {"INSTALL.AntiFlicker", "1"},
        {"INSTALL.ReadOffset", "1"},
        {"INSTALL.Sound", "0"}}},
      {"names match without regard to case",
       "[install]\nFSX_PATH=C:\\FSX\nPREPAR3D_PATH=D:\\P3D\\\npath=C:\\Zaro\ndebug=1\n"
       "[selcal]\nPCSPEAKER=0\n[INSTALL]\nWeatherLock=0\nsynctime=1\n",
       nullptr,
       {{"INSTALL.fsx_path", "C:\\FSX"},
        {"INSTALL.prepar3d_path", "D:\\P3D\\"},
        {"INSTALL.Path", "C:\\Zaro"},
        {"INSTALL.Debug", "1"},
        {"SELCAL.PcSpeaker", "0"},
        {"INSTALL.WEATHERLOCK", "0"},
        {"INSTALL.SYNCTIME", "1"}}},
      {"hot keys",
       "[Hotkeys]\ntcas.enabled=0\ntcas.modifier=4\nident.key=65\n",
       nullptr,
       {{"Hotkeys.tcas.enabled", "0"},
        {"Hotkeys.tcas.modifier", "4"},
        {"Hotkeys.ident.key", "65"}}},
      {"pilot values kept and password unmasked",
       nullptr,
       "[PILOT]\r\nCallsign=VRN123\r\nVID=1001\r\nPassword=1017\r\nhideadmin=1\r\n"
       "[SERVER]\r\nhost=fsd.example\r\nvoice=5\r\n[TYPE]\r\nfollowme=1\r\n"
       "[TEMPLATE]\r\npath=t2\r\ntemplate=dark\r\n[GENERAL]\r\nATCORDER=4\r\n",
       {{"PILOT.Callsign", "VRN123"},
        {"PILOT.VID", "1001"},
        {"PILOT.Password", "AB"},
        {"PILOT.hideadmin", "1"},
        {"SERVER.host", "fsd.example"},
        {"SERVER.voice", "5"},
        {"TYPE.followme", "1"},
        {"TEMPLATE.path", "t2"},
        {"TEMPLATE.template", "dark"},
        {"GENERAL.ATCORDER", "4"}}},
      {"remember 0 forgets VID and password",
       nullptr,
       "[PILOT]\nCallsign=VRN123\nVID=1001\nPassword=1017\nremember=0\n",
       {{"PILOT.Callsign", "VRN123"}, {"PILOT.remember", "0"}}},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    ScopedEnvironment appData("APPDATA", folder.Path());
    if (c.settings == kFolder) {
      folder.MakeFolder(kSettingsFile);
      folder.MakeFolder(kPilotFile);
    } else {
      if (c.settings) folder.WriteFile(kSettingsFile, c.settings);
      if (c.pilot) folder.WriteFile(kPilotFile, c.pilot);
    }

    std::map<std::string, std::string> expected = Defaults();
    for (const auto& value : c.expected) {
      ASSERT_EQ(expected.count(value.first), 1u) << value.first;
      expected[value.first] = value.second;
    }
    const std::map<std::string, std::string> actual =
        ConfigurationProbe::Values(*Configuration::GetInstance());
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& value : expected)
      EXPECT_EQ(actual.at(value.first), value.second) << value.first;
    Configuration::Release();
  }
}

TEST(UnmaskPasswordTest, ReadsHexadecimalPairsAgainstTheRepeatingKey) {
  struct Case {
    const char* masked;
    std::string plain;
  } cases[] = {
      {"", ""},
      {"1", ""},        // one unpaired character
      {"1017", "AB"},   // 'A' ^ 'Q', 'B' ^ 'U'
      {"10170", "AB"},  // the last, unpaired character is ignored
      {"1a", "K"},      // either letter case
      {"1A", "K"},
      {"zz17", "QB"},  // not hexadecimal: 0, which leaves the key character
      {"1z", "P"},     // strtol stops at the first other character
      {" 1", "P"},     // and skips leading blanks
      {"-1", "\xae"},  // a sign is taken; only the low 8 bits count
      {"0x", "Q"},     // a bare prefix reads as 0
      {"51", std::string(1, '\0')},
      // Sixteen times 'A': the sixteenth pair uses the key's first character again.
      {"1014080D0D12150E0F040C00130A1710", "AAAAAAAAAAAAAAAA"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Configuration::UnmaskPassword(c.masked), c.plain) << c.masked;
}

TEST_F(SettingsTest, PathsAreFormedFromTheApplicationDataFolder) {
  ScratchFolder wine;
  const std::string wineRoaming = wine.MakeFolder("drive_c/users/tester/AppData/Roaming");
  ScopedEnvironment winePrefix("WINEPREFIX", wine.Path());
  ScopedEnvironment user("USER", "tester");
  struct Case {
    std::string appData;
    std::string userData;
  } cases[] = {
      {"C:\\Users\\A\\AppData\\Roaming", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"C:\\Users\\A\\AppData\\Roaming\\", "C:\\Users\\A\\AppData\\Roaming\\VORN\\Zaro"},
      {"/home/a/roaming/", "/home/a/roaming\\VORN\\Zaro"},
      {"", wineRoaming + "\\VORN\\Zaro"},  // unset: Wine's folder for the user
  };
  for (const Case& c : cases) {
    ScopedEnvironment appData("APPDATA", c.appData);
    const Configuration* configuration = Configuration::GetInstance();
    EXPECT_EQ(configuration->GetUserDataPath(), c.userData) << c.appData;
    EXPECT_EQ(configuration->GetSettingsFilePath(), c.userData + "\\config\\zaro.ini");
    EXPECT_EQ(configuration->GetPilotFilePath(), c.userData + "\\config\\pilot.cfg");
    Configuration::Release();
  }

  // Nothing found at all: the folder is looked for from the root.
  ScopedEnvironment appData("APPDATA", "");
  ScopedEnvironment missingPrefix("WINEPREFIX", wine.Path() + "/missing");
  EXPECT_EQ(Configuration::GetInstance()->GetSettingsFilePath(), "\\VORN\\Zaro\\config\\zaro.ini");
}

TEST_F(SettingsTest, NoHomeOrUserStillGivesAFolder) {
  ScopedEnvironment appData("APPDATA", "");
  ScopedEnvironment winePrefix("WINEPREFIX", "");
  ScopedEnvironment home("HOME", "");
  ScopedEnvironment user("USER", "");
  const std::string& userData = Configuration::GetInstance()->GetUserDataPath();
  ASSERT_GE(userData.size(), 10u);
  EXPECT_EQ(userData.substr(userData.size() - 10), "\\VORN\\Zaro");
}

TEST_F(SettingsTest, SettingsFilesAreNeverWritten) {
  // Comments, odd spacing, unsorted sections and missing keys: a rewrite would
  // change every one of them.
  const std::string settings =
      "; client settings\r\n[MULTIPLAYER]\r\nsendrate = 9\r\n[INSTALL]\r\n"
      "fsx_path=C:\\FSX\r\nDebug=0\r\n[MultiPC]\r\nport=0\r\n";
  const std::string pilot = "[PILOT]\nremember=0\nPassword=1017\n# end";
  const std::string settingsPath = folder_.WriteFile(kSettingsFile, settings);
  const std::string pilotPath = folder_.WriteFile(kPilotFile, pilot);

  Configuration::GetInstance();
  Configuration::Release();

  EXPECT_EQ(ScratchFolder::ReadBytes(settingsPath), settings);
  EXPECT_EQ(ScratchFolder::ReadBytes(pilotPath), pilot);
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::directory_iterator(folder_.Path() + "/VORN/Zaro/config"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"pilot.cfg", "zaro.ini"}));
}

TEST_F(SettingsTest, LoadsOncePerObjectAndAgainAfterRelease) {
  Write(kSettingsFile, "[INSTALL]\nfsx_path=C:\\One\n");
  const int loads = ConfigurationProbe::LoadCount();
  Configuration* first = Configuration::GetInstance();
  Write(kSettingsFile, "[INSTALL]\nfsx_path=C:\\Two\n");
  EXPECT_EQ(Configuration::GetInstance(), first);
  EXPECT_EQ(first->GetFsxPath(), "C:\\One");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 1);

  Configuration::Release();
  Configuration::Release();  // nothing left to release
  EXPECT_EQ(Configuration::GetInstance()->GetFsxPath(), "C:\\Two");
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 2);
}

TEST_F(SettingsTest, ConcurrentFirstCallsShareOneObject) {
  Write(kSettingsFile, "[INSTALL]\nPath=C:\\Zaro\n");
  const int loads = ConfigurationProbe::LoadCount();
  constexpr int kThreads = 8;
  std::atomic<bool> go{false};
  std::vector<Configuration*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&go, &seen, t] {
      while (!go.load()) std::this_thread::yield();
      seen[t] = Configuration::GetInstance();
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();

  for (Configuration* configuration : seen) {
    ASSERT_EQ(configuration, seen[0]);
    EXPECT_EQ(configuration->GetInstallPath(), "C:\\Zaro");
  }
  EXPECT_EQ(ConfigurationProbe::LoadCount(), loads + 1);
}

}  // namespace
