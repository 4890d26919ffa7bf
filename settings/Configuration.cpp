#include "settings/Configuration.h"

#include <cstdlib>

#include "diag/CThreadLock.h"
#include "settings/FileNames.h"
#include "settings/SpecialFolder.h"
#include "text/Text.h"

namespace {

// Guards the creation of the object. Built before main runs.
CCriticalSection configurationLock;

constexpr const char* kDefaultMaster = "127.0.0.1";
constexpr int kMultiPcPortMin = 1;
constexpr int kMultiPcPortMax = 65535;
constexpr int kRateMin = 0;
constexpr int kRateMax = 3;
constexpr int kTrafficLimitMin = 3;
constexpr int kTrafficLimitMax = 50;

constexpr const char kPasswordKey[] = "QUILLSTONEMARKV";
constexpr size_t kPasswordKeyLength = sizeof(kPasswordKey) - 1;

}  // namespace

std::atomic<Configuration*> Configuration::instance_{nullptr};

Configuration* Configuration::GetInstance() {
  Configuration* configuration = instance_.load(std::memory_order_acquire);
  if (configuration) return configuration;

  // Untraced: the logger's first use comes back here.
  CThreadLock lock(&configurationLock, "Configuration", false);
  configuration = instance_.load(std::memory_order_acquire);
  if (!configuration) {
    configuration = new Configuration();
    // Published only once fully loaded, for the unlocked read above.
    instance_.store(configuration, std::memory_order_release);
  }
  return configuration;
}

void Configuration::Release() {
  // Cleared before the object goes, so nobody can pick up a dying object.
  delete instance_.exchange(nullptr, std::memory_order_acq_rel);
}

Configuration::Configuration() {
  user_data_path_ = GetSpecialFolderPath(kCsidlAppData) + "\\VORN\\Zaro";
  settings_file_path_ = text::Format("%s\\%s", user_data_path_.c_str(), SettingsFileName);
  pilot_file_path_ = text::Format("%s\\%s", user_data_path_.c_str(), PilotFileName);
  LoadSettings();
}

int Configuration::ClampInt(int value, int lo, int hi) {
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

std::string Configuration::UnmaskPassword(const std::string& masked) {
  std::string result;
  const size_t count = masked.size() / 2;  // an unpaired last character is ignored
  for (size_t i = 0; i < count; ++i) {
    const std::string pair = masked.substr(2 * i, 2);
    // strtol rules: leading blanks and a sign are taken, anything else reads as 0.
    const long value = std::strtol(pair.c_str(), nullptr, 16);
    const long key = static_cast<unsigned char>(kPasswordKey[i % kPasswordKeyLength]);
    result += static_cast<char>((value ^ key) & 0xFF);
  }
  return result;
}

void Configuration::LoadSettings() {
  // Writable as the client opens them; nothing here changes a value, so neither
  // file is ever written back.
  settings_.Open(settings_file_path_, true);
  const ConfigReader& s = settings_;

  pcFunction_ = s.GetInt("MultiPC", "PCFunction", 0);
  multiontop_ = s.GetBool("MultiPC", "multiontop", false);
  master_ = pcFunction_ == 2 ? s.GetString("MultiPC", "master", kDefaultMaster) : kDefaultMaster;
  multiPcPort_ = ClampInt(s.GetInt("MultiPC", "port", 6810), kMultiPcPortMin, kMultiPcPortMax);
  useUI_ = s.GetBool("MultiPC", "UseUI", true);
  useDataAccess_ = s.GetBool("MultiPC", "UseDataAccess", true);
  useSDK_ = s.GetBool("MultiPC", "UseSDK", true);
  useTraffic_ = s.GetBool("MultiPC", "UseTraffic", true);
  useWeather_ = s.GetBool("MultiPC", "UseWeather", true);
  useFSD_ = s.GetBool("MultiPC", "UseFSD", true);

  fsx_path_ = s.GetString("INSTALL", "fsx_path", "");
  prepar3d_path_ = s.GetString("INSTALL", "prepar3d_path", "");
  install_path_ = s.GetString("INSTALL", "Path", "");
  antiFlicker_ = s.GetBool("INSTALL", "AntiFlicker", false);
  externalApp_ = s.GetBool("INSTALL", "ExternalApp", true);
  sound_ = s.GetBool("INSTALL", "Sound", true);
  closeTS_ = s.GetBool("INSTALL", "CloseTS", true);
  syncTime_ = s.GetBool("INSTALL", "SYNCTIME", false);
  contSyncTime_ = s.GetBool("INSTALL", "CONTSYNCTIME", false);
  debug_ = s.GetBool("INSTALL", "Debug", false);
  readOffset_ = s.GetBool("INSTALL", "ReadOffset", false);

  pcSpeaker_ = s.GetBool("SELCAL", "PcSpeaker", true);
  soundCard_ = s.GetBool("SELCAL", "SoundCard", true);

  weather_ = s.GetBool("INSTALL", "WEATHER", true);
  weatherClear_ = s.GetBool("INSTALL", "WEATHERCLEAR", true);
  weatherLock_ = s.GetBool("INSTALL", "WEATHERLOCK", true);

  active_ = s.GetBool("MULTIPLAYER", "active", true);
  refresh_ = s.GetInt("MULTIPLAYER", "refresh", 20);
  range_ = s.GetInt("MULTIPLAYER", "range", 10);
  if (active_) {
    sendrate_ = ClampInt(s.GetInt("MULTIPLAYER", "sendrate", 3), kRateMin, kRateMax);
    rcvrate_ = ClampInt(s.GetInt("MULTIPLAYER", "rcvrate", 3), kRateMin, kRateMax);
  } else {
    sendrate_ = 0;
    rcvrate_ = 0;
  }
  limittraffic_ = s.GetBool("MULTIPLAYER", "limittraffic", false);
  limittrafficsoft_ =
      ClampInt(s.GetInt("MULTIPLAYER", "limittrafficsoft", 50), kTrafficLimitMin, kTrafficLimitMax);
  limittraffichard_ =
      ClampInt(s.GetInt("MULTIPLAYER", "limittraffichard", 50), kTrafficLimitMin, kTrafficLimitMax);
  chat_ = s.GetBool("MULTIPLAYER", "chat", true);
  chatdelay_ = s.GetBool("MULTIPLAYER", "chatdelay", false);
  chatscroll_ = s.GetBool("MULTIPLAYER", "chatscroll", false);
  chatTime_ = s.GetInt("MULTIPLAYER", "ChatTime", 20);

  showhideEnabled_ = s.GetBool("Hotkeys", "showhide.enabled", true);
  showhideModifier_ = s.GetInt("Hotkeys", "showhide.modifier", 2);
  showhideKey_ = s.GetInt("Hotkeys", "showhide.key", 120);
  tcasEnabled_ = s.GetBool("Hotkeys", "tcas.enabled", true);
  tcasModifier_ = s.GetInt("Hotkeys", "tcas.modifier", 2);
  tcasKey_ = s.GetInt("Hotkeys", "tcas.key", 119);
  pushbackEnabled_ = s.GetBool("Hotkeys", "pushback.enabled", true);
  pushbackModifier_ = s.GetInt("Hotkeys", "pushback.modifier", 2);
  pushbackKey_ = s.GetInt("Hotkeys", "pushback.key", 118);
  transponderEnabled_ = s.GetBool("Hotkeys", "transponder.enabled", true);
  transponderModifier_ = s.GetInt("Hotkeys", "transponder.modifier", 2);
  transponderKey_ = s.GetInt("Hotkeys", "transponder.key", 122);
  identEnabled_ = s.GetBool("Hotkeys", "ident.enabled", true);
  identModifier_ = s.GetInt("Hotkeys", "ident.modifier", 2);
  identKey_ = s.GetInt("Hotkeys", "ident.key", 123);

  pilot_.Open(pilot_file_path_, true);
  const ConfigReader& p = pilot_;

  callsign_ = p.GetString("PILOT", "Callsign", "");
  pilotName_ = p.GetString("PILOT", "PilotName", "");
  base_ = p.GetString("PILOT", "Base", "");
  vid_ = p.GetString("PILOT", "VID", "");
  password_ = UnmaskPassword(p.GetString("PILOT", "Password", ""));
  hideadmin_ = p.GetBool("PILOT", "hideadmin", false);

  host_ = p.GetString("SERVER", "host", "");
  serverPort_ = p.GetInt("SERVER", "port", 6809);  // not clamped
  voice_ = p.GetInt("SERVER", "voice", 1);

  followme_ = p.GetBool("TYPE", "followme", false);

  remember_ = p.GetBool("PILOT", "remember", true);
  if (!remember_) {
    vid_.clear();
    password_.clear();
  }

  templatePath_ = p.GetString("TEMPLATE", "path", "templates");
  template_ = p.GetString("TEMPLATE", "template", "velandrit");

  atcOrder_ = p.GetInt("GENERAL", "ATCORDER", 0);
}
