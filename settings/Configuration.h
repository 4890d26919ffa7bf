// The pilot client's settings, loaded once per process from config\zaro.ini and
// config\pilot.cfg in the client's user data folder. Made on first use by
// GetInstance; released by the run at its end. Read only: never written back.
#pragma once

#include <atomic>
#include <string>

#include "config/ConfigReader.h"

class ConfigurationProbe;  // unit tests: reads the values that have no accessor

class Configuration {
 public:
  /// Creates and loads the object on the first call; safe from several threads.
  static Configuration* GetInstance();
  /// Destroys the object; only when no other thread can still use it.
  static void Release();

  const std::string& GetFsxPath() const { return fsx_path_; }
  const std::string& GetPrepar3dPath() const { return prepar3d_path_; }
  const std::string& GetInstallPath() const { return install_path_; }
  const std::string& GetUserDataPath() const { return user_data_path_; }
  bool IsDebugEnabled() const { return debug_; }

  const std::string& GetSettingsFilePath() const { return settings_file_path_; }
  /// Whether config\zaro.ini could be read, and the system's error when not.
  const platform::Result& GetSettingsLoad() const { return settings_.GetLoad(); }
  const std::string& GetPilotFilePath() const { return pilot_file_path_; }

  /// Two hexadecimal digits per character, each XORed with the program's key.
  static std::string UnmaskPassword(const std::string& masked);
  static int ClampInt(int value, int lo, int hi);

 private:
  friend class ConfigurationProbe;

  Configuration();
  ~Configuration() = default;
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;
  void LoadSettings();

  // config\zaro.ini, section MultiPC
  int pcFunction_ = 0;
  bool multiontop_ = false;
  std::string master_;
  int multiPcPort_ = 0;
  bool useUI_ = false;
  bool useDataAccess_ = false;
  bool useSDK_ = false;
  bool useTraffic_ = false;
  bool useWeather_ = false;
  bool useFSD_ = false;
  // SELCAL
  bool pcSpeaker_ = false;
  bool soundCard_ = false;
  // INSTALL
  bool antiFlicker_ = false;
  bool externalApp_ = false;
  std::string fsx_path_;
  std::string prepar3d_path_;
  std::string install_path_;
  std::string user_data_path_;  // no key: the application-data folder + "\VORN\Zaro"
  bool sound_ = false;
  bool closeTS_ = false;
  bool syncTime_ = false;
  bool contSyncTime_ = false;
  bool debug_ = false;
  bool readOffset_ = false;
  bool weather_ = false;
  bool weatherClear_ = false;
  bool weatherLock_ = false;
  // MULTIPLAYER
  bool active_ = false;
  int refresh_ = 0;
  int range_ = 0;
  int sendrate_ = 0;
  int rcvrate_ = 0;
  bool limittraffic_ = false;
  int limittrafficsoft_ = 0;
  int limittraffichard_ = 0;
  bool chat_ = false;
  bool chatdelay_ = false;
  bool chatscroll_ = false;
  int chatTime_ = 0;
  // Hotkeys
  bool showhideEnabled_ = false;
  int showhideModifier_ = 0;
  int showhideKey_ = 0;
  bool tcasEnabled_ = false;
  int tcasModifier_ = 0;
  int tcasKey_ = 0;
  bool pushbackEnabled_ = false;
  int pushbackModifier_ = 0;
  int pushbackKey_ = 0;
  bool transponderEnabled_ = false;
  int transponderModifier_ = 0;
  int transponderKey_ = 0;
  bool identEnabled_ = false;
  int identModifier_ = 0;
  int identKey_ = 0;
  // config\pilot.cfg
  std::string callsign_;
  std::string pilotName_;
  std::string base_;
  std::string vid_;
  std::string password_;  // unmasked; never printed or logged
  bool hideadmin_ = false;
  std::string host_;
  int serverPort_ = 0;
  int voice_ = 0;
  bool followme_ = false;
  bool remember_ = false;
  std::string templatePath_;
  std::string template_;
  int atcOrder_ = 0;

  std::string settings_file_path_;
  std::string pilot_file_path_;
  ConfigReader settings_;
  ConfigReader pilot_;

  static std::atomic<Configuration*> instance_;
};
