// The pilot client's settings, loaded once per process from config\zaro.ini and
// config\pilot.cfg in the client's user data folder. Made on first use by
// GetInstance; released by the run at its end. Read only: never written back.
#pragma once

#include <atomic>
#include <string>

#include "config/ConfigReader.h"

class Configuration {
 public:
  static Configuration* GetInstance();
  static void Release();

  const std::string& GetFsxPath() const { return fsx_path_; }
  const std::string& GetPrepar3dPath() const { return prepar3d_path_; }
  const std::string& GetInstallPath() const { return install_path_; }
  const std::string& GetUserDataPath() const { return user_data_path_; }
  bool IsDebugEnabled() const { return debug_; }

  static std::string UnmaskPassword(const std::string& masked);
  static int ClampInt(int value, int lo, int hi);

 private:
  Configuration();
  ~Configuration() = default;
  void LoadSettings();

  std::string fsx_path_;
  std::string prepar3d_path_;
  std::string install_path_;
  std::string user_data_path_;
  bool debug_ = false;
  std::string settings_file_path_;
  std::string pilot_file_path_;
  ConfigReader settings_;
  ConfigReader pilot_;

  static std::atomic<Configuration*> instance_;
};
