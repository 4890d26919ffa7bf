// The simulators the tool serves, in one table that the application and the
// simulator pass both read: how the report names each, where the settings give its
// folder, its executable, and where each of its versions looks for the library.
#pragma once

#include <string>

#include "processor/ExeVersion.h"

class Configuration;

struct Simulator {
  /// Where one version of the simulator looks for the library.
  struct Registration {
    enum class Kind {
      kConfigFile,  // a SimObjectPaths key in `file`, below the application-data folder
      kAddOn,       // an add-on package in the add-ons folder `file`, below Documents
      kByHand,      // only an administrator may list it, in `file`: the report says how
    };
    Kind kind;
    std::string file;
    /// kConfigFile: the file used instead of `file` when an entry of that name exists.
    std::string preferred;
  };

  /// The simulators in the order of their passes.
  static const Simulator kAll[2];
  /// The one a pass serves, by the pass's version code.
  static const Simulator& WithCode(int versionCode);

  /// Where the version identified looks for the library; null: version unknown.
  Registration Where(const ExeVersion::Version* version) const;

  int code;                 // the pass's version code: 10 for FSX, 11 for Prepar3D
  const char* name;         // as the console and the report name it
  const char* settingsKey;  // the key of its folder under [INSTALL] in the settings
  const std::string& (Configuration::*folder)() const;        // that setting, as read
  const char* executable;                                     // in the simulator folder
  Registration (*where)(const ExeVersion::Version& version);  // for a version identified
};
