// The client's settings: every value, by the cases under tests/data/settings.
#include "platform/Platform.h"
#include "settings/Configuration.h"
#include "support/Support.h"

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
};

namespace {

// "member=value" lines; in the expected files, the case's values over the defaults.
Values Parse(const std::string& text, Values values = {}) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return values;
}

// tests/data/settings: one folder per case (see the README there). A test folder
// stands in for the user's application-data folder; Windows asks the shell instead,
// which does not look at APPDATA.
TEST(SettingsTest, DataFilesGiveTheExpectedValues) {
  if (platform::NativePath("C:\\x") == "C:\\x") GTEST_SKIP() << "the shell decides the folder";
  TempDir temp;
  SetEnvironment("APPDATA", temp.Path());
  const fs::path data = fs::path(KVB_TEST_DATA_DIR) / "data" / "settings";
  const Values defaults = Parse(ReadBytes((data / "defaults" / "expected").string()));
  EXPECT_GE(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 23);
  for (const auto& entry : fs::directory_iterator(data)) {
    fs::remove_all(temp.Join("VORN"));
    fs::create_directories(temp.Join("VORN/Zaro"));
    fs::copy(entry.path(), temp.Join("VORN/Zaro/config"), fs::copy_options::recursive);
    const Values expected = Parse(ReadBytes((entry.path() / "expected").string()), defaults);
    EXPECT_EQ(expected, ConfigurationProbe::Get(*Configuration::GetInstance())) << entry.path();
    Configuration::Release();
  }
}

}  // namespace
