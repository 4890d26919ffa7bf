#include "processor/Simulator.h"

#include "settings/Configuration.h"

namespace {

using Registration = Simulator::Registration;
using Kind = Registration::Kind;

// Before the Steam Edition, a build below 62000; the Steam Edition installed
// beside boxed FSX keeps its own file, and alone uses boxed FSX's.
Registration FsxWhere(const ExeVersion::Version& version) {
  Registration boxed{Kind::kConfigFile, "Microsoft\\FSX\\fsx.cfg", ""};
  if (version.build >= 62000) boxed.preferred = "Microsoft\\FSX-SE\\fsx_se.cfg";
  return boxed;
}

// Only v1 and v2 take aircraft folders from Prepar3D.cfg; 3.0 to 3.2 from a
// file only an administrator may change; 3.3 on from add-on packages.
Registration Prepar3dWhere(const ExeVersion::Version& version) {
  const int major = version.major;
  // A major version of 100 or above is no version we know: as an unknown one.
  if (major <= 1 || major >= 100)
    return {Kind::kConfigFile, "Lockheed Martin\\Prepar3D\\Prepar3D.CFG", ""};
  if (major == 2) return {Kind::kConfigFile, "Lockheed Martin\\Prepar3D v2\\Prepar3D.cfg", ""};
  if (major == 3 && version.minor <= 2)
    return {Kind::kByHand, "%PROGRAMDATA%\\Lockheed Martin\\Prepar3D v3\\simobjects.cfg", ""};
  if (major == 3) return {Kind::kAddOn, "Prepar3D v3 Files\\add-ons", ""};
  return {Kind::kAddOn, "Prepar3D v" + std::to_string(major) + " Add-ons", ""};
}

}  // namespace

const Simulator Simulator::kAll[2] = {
    {10, "FSX", "fsx_path", &Configuration::GetFsxPath, "fsx.exe", &FsxWhere},
    {11, "Prepar3D", "prepar3d_path", &Configuration::GetPrepar3dPath, "Prepar3D.exe",
     &Prepar3dWhere},
};

const Simulator& Simulator::WithCode(int versionCode) {
  // Any code but FSX's is Prepar3D, as the pass always took it.
  return versionCode == kAll[0].code ? kAll[0] : kAll[1];
}

Simulator::Registration Simulator::Where(const ExeVersion::Version* version) const {
  // Unknown: where the first version of each looks, as the tool always registered.
  return where(version ? *version : ExeVersion::Version());
}
