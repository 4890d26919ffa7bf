#include "processor/KVBProcessor.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "config/ConfigReader.h"
#include "config/KeyLineEdit.h"
#include "config/LineReader.h"
#include "config/LineWriter.h"
#include "diag/Report.h"
#include "platform/Platform.h"
#include "processor/AddOnPackage.h"
#include "processor/ExeVersion.h"
#include "processor/Simulator.h"
#include "settings/FileNames.h"
#include "settings/SpecialFolder.h"
#include "text/Text.h"

namespace {

// "\n" inside these texts is the two characters backslash and n: the simulator
// reads them as line breaks inside one value.
const char kLibraryBanner[] = "VORN Kavbel\\nProperty of the VORN network. All rights reserved.";
const char kDistributionNotice[] =
    "THESE FILES MAY NOT BE UPLOADED TO ANY OTHER SITE WITHOUT THE AUTHOR'S WRITTEN "
    "PERMISSION. THESE REPAINTS AND MODELS ARE FREEWARE AND MAY NOT BE SOLD, OR PUT ON ANY "
    "SITE THAT CHARGES FOR DOWNLOADING FREE FILES. THE FILES FOUND IN THIS ARCHIVE MAY NOT BE "
    "DISTRIBUTED ON CD OR ANY MEDIUM FOR ANY KIND OF FEE, INCLUDING THE COST OF PRODUCTION, "
    "MATERIALS OR POSTAGE.";
const std::string kWebDomain = "www.vorn.net";
const std::string kTypeRole = "VORN KVB";

// The fixed head and tail of every livery's description, made once.
const std::string kDescriptionHead = std::string(kLibraryBanner) + "\\n\\n";
const std::string kDescriptionTail = std::string("\\n") + kDistributionNotice + "\r\n";

// Section and key names, made once rather than for every livery.
const std::string kGeneral = "General";
const std::string kVorn = "vorn";
const std::string kFltsim = "fltsim";
const std::string kEmpty;

// Case-insensitive search for a needle that is already in lower case and starts
// with a byte that has no case ('['), without building a lower-cased copy of
// every line: only the places where that first byte stands are compared.
bool ContainsLowerNeedle(std::string_view haystack, const char* needle, size_t needleSize) {
  const char* at = haystack.data();
  const char* const end = at + haystack.size();
  while (static_cast<size_t>(end - at) >= needleSize &&
         (at = static_cast<const char*>(std::memchr(at, needle[0], end - at - needleSize + 1)))) {
    size_t j = 1;
    while (j < needleSize && text::LowerByte(static_cast<unsigned char>(at[j])) ==
                                 static_cast<unsigned char>(needle[j]))
      ++j;
    if (j == needleSize) return true;
    ++at;
  }
  return false;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && text::CompareNoCase(a, b) == 0;
}

// The entry named `name`: the one written so if there is one, else the first in
// listing order that equals it without regard to letter case; null when none.
const platform::DirEntry* Find(const std::vector<platform::DirEntry>& entries,
                               std::string_view name) {
  const platform::DirEntry* found = nullptr;
  for (const platform::DirEntry& entry : entries) {
    if (entry.name.size() != name.size()) continue;
    if (entry.name == name) return &entry;
    if (!found && text::CompareNoCase(entry.name, name) == 0) found = &entry;
  }
  return found;
}

// A name that "texture.*" matches as a listing matches it: "texture" itself, or
// "texture." and anything after; checked for every entry of every package.
bool IsLiveryName(const std::string& name) {
  return (name.size() == 7 || (name.size() > 7 && name[7] == '.')) &&
         text::CompareNoCase(std::string_view(name).substr(0, 7), "texture") == 0;
}

// A number in decimal, without a string of its own.
class Digits {
 public:
  explicit Digits(long long value)
      : size_(static_cast<size_t>(std::to_chars(digits_, digits_ + sizeof digits_, value).ptr -
                                  digits_)) {}
  operator std::string_view() const { return std::string_view(digits_, size_); }

 private:
  char digits_[24];
  size_t size_;
};

// `parts` one after the other in `out`: one size for all, then only copies, as
// each livery puts together several texts.
void Assign(std::string* out, std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  out->resize(size);
  char* at = &(*out)[0];
  for (std::string_view part : parts) {
    if (part.empty()) continue;  // a value not found has no bytes at all
    std::memcpy(at, part.data(), part.size());
    at += part.size();
  }
}

// The bytes of a line by line copy of `path`, every line ended with CR LF.
std::string LineCopy(const std::string& path) {
  std::string copy;
  LineReader reader;
  if (path.empty() || reader.Open(path) != platform::Status::kOk) return copy;
  for (std::string line; reader.ReadLine(&line);) copy.append(line).append("\r\n", 2);
  return copy;
}

// The text of a number, made again only when the number changes: a package's
// contact points come back with every one of its liveries.
class NumberText {
 public:
  const std::string& Of(double value) {
    if (text_.empty() || std::memcmp(&value, &value_, sizeof value) != 0) {
      value_ = value;
      text_ = text::FormatDouble(value);
    }
    return text_;
  }

 private:
  double value_ = 0;
  std::string text_;
};

// "1 livery", "2 liveries": a count for the report.
std::string Count(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void KVBProcessor::ProcessSimulator(int versionCode, const std::string& simulatorFolder,
                                    const std::string& clientFolder, bool hidden) {
  const Simulator& described = Simulator::WithCode(versionCode);
  const std::string simulator = described.name;
  if (simulatorFolder.empty() || clientFolder.empty()) {
    platform::WriteConsoleLine(
        "The configuration files of Zaro do not contain a valid path to FS and/or Zaro.");
    const std::string setting = !simulatorFolder.empty()
                                    ? std::string("client folder (Path")
                                    : simulator + " folder (" + described.settingsKey;
    Report::Line(simulator + " not updated: the settings name no " + setting + " under [INSTALL])");
    platform::Pause();
    return;
  }

  std::string libraryFolder = simulatorFolder;
  libraryFolder += '\\';
  libraryFolder += LibraryFolderName;
  const std::string packagePattern = libraryFolder + "\\VORN_*.*";
  std::string databasePath = clientFolder;
  databasePath += '\\';
  databasePath += DatabaseFileName;

  // Deleted, then truncated on opening: a database that could not be deleted
  // but can be written never keeps records of an earlier run.
  platform::DeleteFile(databasePath);
  LineWriter database;
  database.Open(databasePath, platform::File::Mode::kWriteTruncate);

  std::vector<platform::DirEntry> entries;
  const platform::Result listed = platform::FindFiles(packagePattern, &entries);
  int counts[4] = {};  // by PackageOutcome
  if (entries.empty()) {
    platform::WriteConsoleLine("KVB installation not found. Generating a blank kvb configuration.");
    if (listed.Ok())
      Report::Line(Report::Path(libraryFolder) + ": holds no VORN_ package");
    else
      Report::Failure("list", libraryFolder, listed);
    database.WriteLine("# You do not have KVB installed");
  } else {
    ReadAhead ahead(libraryFolder, entries);
    std::string packageFolder;
    for (size_t i = 0; i < entries.size(); ++i) {
      // The pattern gave only names that begin with "VORN_": folders are packages.
      if (!entries[i].isDirectory) continue;
      packageFolder.assign(libraryFolder);
      packageFolder += '\\';
      packageFolder += entries[i].name;
      ++counts[static_cast<int>(ProcessAircraft(packageFolder, database, hidden, &ahead.Take(i)))];
    }
    if (std::none_of(entries.begin(), entries.end(),
                     [](const platform::DirEntry& entry) { return entry.isDirectory; }))
      Report::Line(Report::Path(libraryFolder) + ": holds no VORN_ package");
  }
  database.Close();

  using Outcome = PackageOutcome;
  Report::Line(simulator + ": " + std::to_string(counts[int(Outcome::kRewritten)]) +
               " rewritten, " + std::to_string(counts[int(Outcome::kUpToDate)]) + " up to date, " +
               std::to_string(counts[int(Outcome::kFailed)]) + " failed, " +
               std::to_string(counts[int(Outcome::kSkipped)]) + " skipped");
  if (database.Good())
    // Without a library the one line written says so: it is no livery.
    Report::Line(simulator + ": " +
                 Count(entries.empty() ? 0 : database.LinesWritten(), "livery", "liveries") +
                 " written to " + Report::Path(databasePath));
  else
    Report::Failure("write", databasePath, database.Failure());
  if (entries.empty())
    Report::Line(simulator + ": nothing registered: no package listed in " +
                 Report::Path(libraryFolder));
  else
    UpdateSimConfig(versionCode, simulatorFolder);
}

KVBProcessor::PackageOutcome KVBProcessor::ProcessAircraft(const std::string& packageFolder,
                                                           LineWriter& database, bool hidden,
                                                           const ReadAhead::Package* ahead) {
  const std::string aircraftCfgPath = packageFolder + "\\aircraft.cfg";

  // One listing tells the livery folders and which of the package's own files
  // are there, with the letter case of their names: none is looked up again.
  // Kept from package to package: its room is made once.
  static thread_local std::vector<platform::DirEntry> entries;
  const platform::Result listed = platform::FindFiles(packageFolder + "\\*", &entries);
  const auto isLivery = [](const platform::DirEntry& entry) { return IsLiveryName(entry.name); };
  if (std::none_of(entries.begin(), entries.end(), isLivery)) {
    platform::WriteConsoleLine("Error reading " + packageFolder + "\\texture.*");
    if (!listed.Ok())
      Report::Failure("list", packageFolder, listed);
    else
      Report::Line(Report::Path(packageFolder) + ": skipped (no livery folder)");
    return PackageOutcome::kSkipped;
  }
  const auto pathOf = [&packageFolder](const platform::DirEntry& entry) {
    std::string path;
    path.reserve(packageFolder.size() + 1 + entry.name.size());
    path.append(packageFolder).append(1, '\\').append(entry.name);
    return path;
  };
  bool changed = false;
  bool failed = false;
  const auto note = [&changed, &failed](const char* action, const std::string& path,
                                        const platform::Result& result) {
    if (result.Ok()) {
      changed = true;
    } else {
      failed = true;
      Report::Failure(action, path, result);
    }
  };

  // A killed run's temporary file goes, whatever the letter case of its name.
  for (const platform::DirEntry& entry : entries)
    if (!entry.isDirectory && !entry.isLink && SameNoCase(entry.name, "aircraft.cfg.kvbtmp"))
      platform::RemoveTemporary(pathOf(entry));

  // The panel folder is touched only when it is not as wanted already. Hidden, a
  // file that happens to be named "panel" is no panel folder and stays.
  const platform::DirEntry* panel = Find(entries, "panel");
  const bool panelFolderThere = panel && panel->isDirectory;
  if (hidden) {
    if (panelFolderThere) {
      if (DeleteFolder(pathOf(*panel)))
        changed = true;
      else
        failed = true;
    }
  } else {
    const std::string panelFolder = packageFolder + "\\panel";
    platform::Result folder;
    if (!panelFolderThere) {
      folder = platform::CreateFolder(panelFolder);
      note("create", panelFolder, folder);
    }
    const std::string panelCfgPath =
        (panelFolderThere ? pathOf(*panel) : panelFolder) + "\\panel.cfg";
    if (!panelFolderThere || platform::FileSize(panelCfgPath) != 0) {
      const platform::Result file = platform::CreateEmptyFile(panelCfgPath);
      // A panel folder that could not be made is reported once, as itself.
      if (folder.Ok()) note("write", panelCfgPath, file);
    }
  }

  // A vorn.cfg that is no file (a folder, a FIFO) counts as missing.
  const platform::DirEntry* base = Find(entries, "vorn.cfg");
  const std::string baseCfgPath = base && base->isFile ? pathOf(*base) : std::string();
  ConfigReader aircraftCfg;
  bool wholeCopy = false;
  const bool isAirplane =
      CopyBaseConfig(baseCfgPath, aircraftCfgPath, &aircraftCfg, &wholeCopy, ahead);

  // The aircraft store, before any livery changes it, holds the document of
  // vorn.cfg: the contact points come from it. Only where vorn.cfg could not be
  // read to its end does a store of its own try again.
  ConfigReader baseCfg;
  const ConfigReader* contactPoints = &aircraftCfg;
  if (!wholeCopy) {
    baseCfg.Open(baseCfgPath, false);
    contactPoints = &baseCfg;
  }
  const double staticPitch = contactPoints->GetDouble("contact_points", "static_pitch", 0.0);
  const double staticCgHeight = contactPoints->GetDouble("contact_points", "static_cg_height", 0.0);

  int index = 0;
  std::string liveryFolder;
  for (const platform::DirEntry& entry : entries) {
    // A folder that matches the pattern begins with "texture": a livery folder.
    if (!entry.isDirectory || !isLivery(entry)) continue;
    liveryFolder.assign(packageFolder);
    liveryFolder += '\\';
    liveryFolder += entry.name;
    ProcessLivery(liveryFolder, aircraftCfg, index, database, staticCgHeight, staticPitch,
                  isAirplane, hidden, ahead);
    ++index;
  }

  // What aircraft.cfg is to hold: the store's document when a livery changed it
  // and it may be written back, else the line copy of vorn.cfg. When the file
  // holds that already, it is left alone: same bytes, same time, same name.
  // Kept from package to package: its room is made once.
  static thread_local std::string bytes;
  if (!aircraftCfg.IsModified() || !aircraftCfg.Render(&bytes)) bytes = LineCopy(baseCfgPath);
  const platform::DirEntry* aircraft = Find(entries, "aircraft.cfg");
  bool exactNameThere = aircraft && aircraft->name == "aircraft.cfg";
  if (!aircraft || !aircraft->isFile ||
      !platform::FileHolds(pathOf(*aircraft), bytes, aircraft->size)) {
    // The new file takes the place of a link (whose target stays), of a name in
    // other letter case, or of a pipe or a device, in one step: old or new is
    // always there. Only a pipe or a device, which hold nothing, goes first.
    if (aircraft && !aircraft->isFile && !aircraft->isDirectory && !aircraft->isLink)
      platform::DeleteFile(pathOf(*aircraft));
    const platform::Result written =
        platform::ReplaceFile(aircraftCfgPath, bytes, false, platform::Placement::kThisName);
    note("write", aircraftCfgPath, written);
    exactNameThere = exactNameThere || written.Ok();
  }
  // Beside aircraft.cfg, another spelling of it would be a second, stale copy.
  if (exactNameThere &&
      std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& entry) {
        return !entry.isDirectory && entry.name != "aircraft.cfg" &&
               SameNoCase(entry.name, "aircraft.cfg");
      }))
    platform::RemoveOtherSpellings(aircraftCfgPath);
  return failed    ? PackageOutcome::kFailed
         : changed ? PackageOutcome::kRewritten
                   : PackageOutcome::kUpToDate;
}

bool KVBProcessor::CopyBaseConfig(const std::string& baseCfgPath,
                                  const std::string& aircraftCfgPath, ConfigReader* aircraftCfg,
                                  bool* wholeCopy, const ReadAhead::Package* ahead) {
  static const char kHelicopter[] = "[helicopter]";
  // A missing or unreadable vorn.cfg gives an empty copy. The needle holds no line
  // end: found in several lines at once, it lies within one of them.
  bool isAirplane = true;
  *wholeCopy = aircraftCfg->OpenCopy(
      aircraftCfgPath, baseCfgPath,
      [&isAirplane](std::string_view lines) {
        if (isAirplane && ContainsLowerNeedle(lines, kHelicopter, sizeof kHelicopter - 1))
          isAirplane = false;
      },
      ahead && !baseCfgPath.empty() ? ReadAhead::Find(*ahead, baseCfgPath) : nullptr);
  return isAirplane;
}

bool KVBProcessor::DeleteFolder(const std::string& folder) {
  // The plain removal first: it settles the common cases (no such folder, an
  // empty one, a link to a folder, of which only the link goes) in one call.
  platform::Result removed = platform::RemoveFolder(folder);
  if (removed != platform::Status::kFailed) return true;
  // A link stands for something elsewhere that is not ours to empty.
  if (platform::IsLink(folder)) return false;

  // Each thing left behind is reported once, where it stays: a folder only when
  // nothing inside it explains why it stays.
  bool left = false;
  std::vector<platform::DirEntry> entries;
  platform::FindFiles(folder + "\\*.*", &entries);
  std::string path;
  for (const platform::DirEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    path.assign(folder);
    path += '\\';
    path += entry.name;
    if (entry.isDirectory && !entry.isLink) {
      left = !DeleteFolder(path) || left;
      continue;
    }
    const platform::Result status =
        entry.isDirectory ? platform::RemoveFolder(path) : platform::DeleteFile(path);
    if (status == platform::Status::kReadOnly || status == platform::Status::kFailed) {
      Report::Failure("delete", path, status);
      left = true;
    }
  }
  removed = platform::RemoveFolder(folder);
  if (removed == platform::Status::kFailed && !left) Report::Failure("delete", folder, removed);
  return removed != platform::Status::kFailed;
}

void KVBProcessor::ProcessLivery(const std::string& liveryFolder, ConfigReader& aircraftCfg,
                                 int index, LineWriter& database, double staticCgHeight,
                                 double staticPitch, bool isAirplane, bool hidden,
                                 const ReadAhead::Package* ahead) {
  // Kept from livery to livery: their room is made once.
  static thread_local std::string path, description, performance, line, section;
  int kvbVersion = 0;
  {
    // Read for these values only; a number missing reads as "", which gives 0.
    static constexpr std::string_view kKeys[] = {"aircraft", "model",   "fde", "repaint",
                                                 "polymin",  "polymax", "LOD", "kvb_version"};
    std::string_view values[std::size(kKeys)] = {};
    ConfigReader liveryIni;
    Assign(&path, {liveryFolder, "\\vorn.ini"});
    liveryIni.OpenFor(path, kVorn, kKeys, values, std::size(kKeys),
                      ahead ? ReadAhead::Find(*ahead, path) : nullptr);
    const std::string_view aircraft = values[0], model = values[1], fde = values[2],
                           repaint = values[3];
    const int polyMin = text::AtoI(values[4]);
    const int polyMax = text::AtoI(values[5]);
    const int lod = text::AtoI(values[6]);
    kvbVersion = text::AtoI(values[7]);

    // Built by concatenation rather than printf: values are bytes and may hold
    // a NUL, which "%s" would cut off.
    // The performance text is the polygon lines, each ended with "\\n"; the
    // description holds it too.
    Assign(&performance, {"LOD1 polygons: ", Digits(polyMin), "\\nLOD", Digits(lod),
                          " polygons: ", Digits(polyMax), "\\n"});
    Assign(&description, {kDescriptionHead, aircraft, "\\nmodel: ", model, "\\nfde: ", fde,
                          "\\npaint: ", repaint, "\\n", performance, kDescriptionTail});
  }

  static constexpr std::string_view kKeys[] = {"title",   "sim",     "model",
                                               "texture", "ui_type", "ui_variation"};
  std::string_view values[std::size(kKeys)] = {};
  ConfigReader liveryLiv;
  Assign(&path, {liveryFolder, "\\vorn.liv"});
  liveryLiv.OpenFor(path, kFltsim, kKeys, values, std::size(kKeys),
                    ahead ? ReadAhead::Find(*ahead, path) : nullptr);
  const std::string_view title = values[0], sim = values[1], model = values[2], texture = values[3],
                         uiType = values[4], uiVariation = values[5];

  static const std::string kAirplane = "airplane";
  static const std::string kHelicopter = "Helicopter";
  aircraftCfg.SetString(kGeneral, "editable", "0");
  aircraftCfg.SetString(kGeneral, "performance", performance);
  aircraftCfg.SetString(kGeneral, "Category", isAirplane ? kAirplane : kHelicopter);

  Assign(&section, {"fltsim.", Digits(index)});
  aircraftCfg.SetString(section, "title", title);
  aircraftCfg.SetString(section, "sim", sim);
  aircraftCfg.SetString(section, "model", model);
  aircraftCfg.SetString(section, "texture", texture);
  aircraftCfg.SetString(section, "ui_type", uiType);
  aircraftCfg.SetString(section, "ui_manufacturer", kWebDomain);
  aircraftCfg.SetString(section, "ui_variation", uiVariation);
  aircraftCfg.SetString(section, "description", description);
  if (!hidden) {
    aircraftCfg.SetString(section, "panel", kEmpty);
    aircraftCfg.SetString(section, "ui_typerole", kTypeRole);
    aircraftCfg.SetString(section, "ui_createdby", kWebDomain);
  }

  Assign(&line, {title, " ", uiVariation});
  platform::WriteConsoleLine(line);

  // The record: title,variation,cg height,pitch,version; whole records only.
  static thread_local NumberText cgHeightText, pitchText;
  Assign(&line, {title, ",", uiVariation, ",", cgHeightText.Of(staticCgHeight), ",",
                 pitchText.Of(staticPitch), ",", Digits(kvbVersion)});
  database.WriteLine(line);
  database.Flush();
}

void KVBProcessor::UpdateSimConfig(int versionCode, const std::string& simulatorFolder) {
  const Simulator& simulator = Simulator::WithCode(versionCode);
  const std::string executable = simulatorFolder + "\\" + simulator.executable;
  ExeVersion::Version version;
  std::string whyUnknown;
  const bool known = ExeVersion::Read(executable, &version, &whyUnknown);
  if (known)
    Report::Line(Report::Path(executable) + ": " + simulator.name + " " + version.Text());
  else
    Report::Line(Report::Path(executable) + ": version unknown (" + whyUnknown + ")");

  const Simulator::Registration where = simulator.Where(known ? &version : nullptr);
  using Kind = Simulator::Registration::Kind;
  if (where.kind == Kind::kByHand) {
    Report::Line(std::string(simulator.name) +
                 ": the library is not registered: this version takes it only from " + where.file +
                 ", which needs administrator rights; as administrator, add there a section "
                 "[Entry.N], N the next free number, with Title=VORN KVB, Path=" +
                 LibraryFolderName + ", Required=False and Active=True");
    return;
  }
  if (where.kind == Kind::kAddOn) {
    RegisterAddOn(simulator.name, simulatorFolder, where.file);
    return;
  }
  const std::string appData = GetSpecialFolderPath(kCsidlAppData) + "\\";
  std::string path = appData + where.file;
  if (!where.preferred.empty() && platform::PathExists(appData + where.preferred))
    path = appData + where.preferred;
  AddLibraryKey(simulator.name, path);
}

void KVBProcessor::RegisterAddOn(const char* simulator, const std::string& simulatorFolder,
                                 const std::string& addOnsFolder) {
  const AddOnPackage package(GetSpecialFolderPath(kCsidlPersonal), addOnsFolder);
  std::string libraryPath;
  std::string why;
  if (!AddOnPackage::LibraryPath(simulatorFolder, &libraryPath, &why)) {
    Report::Line("cannot write " + Report::Path(package.FilePath()) + ": " + why);
    return;
  }
  const AddOnPackage::Outcome outcome = package.Write(AddOnPackage::Bytes(libraryPath));
  const std::string path = Report::Path(outcome.path);
  switch (outcome.result) {
    case AddOnPackage::Result::kWritten:
      Report::Line(std::string(simulator) + ": add-on package written to " + path +
                   "; enable \"VORN KVB\" when Prepar3D asks at its next start");
      break;
    case AddOnPackage::Result::kInPlace:
      Report::Line(std::string(simulator) + ": add-on package already in place in " + path);
      break;
    case AddOnPackage::Result::kLeftAsItIs:
      Report::LeftAsItIs(outcome.path, outcome.reason);
      break;
    case AddOnPackage::Result::kNotDone:
      Report::Line("cannot " + outcome.verb + " " + path + ": " + outcome.reason);
      break;
  }
}

void KVBProcessor::AddLibraryKey(const char* simulator, const std::string& path) {
  // A killed run's temporary file goes even when nothing is to be written.
  platform::RemoveStaleTemporary(path);
  // The file is the user's own: read whole, it is changed by one line only.
  std::string bytes;
  const platform::Result read = platform::ReadWholeFile(path, &bytes);
  if (!read.Ok()) {
    Report::Failure("read", path, read);
    return;
  }
  ConfigReader simConfig;
  simConfig.OpenBytes(path, bytes);

  static const std::string kMain = "Main";
  const std::string libraryFolder = LibraryFolderName;
  std::string key;
  for (int slot = 0;; ++slot) {
    key = "SimObjectPaths." + std::to_string(slot);
    const std::string value = simConfig.GetString(kMain, key, kEmpty);
    if (value == libraryFolder) {
      Report::Line(std::string(simulator) + ": library already listed in " + Report::Path(path) +
                   " as " + key);
      return;
    }
    if (value.empty()) break;
  }
  std::string edited;
  if (!KeyLineEdit::Apply(bytes, key, libraryFolder, &edited)) {
    Report::LeftAsItIs(path, "UTF-16 text, which the tool never rewrites");
    return;
  }
  const platform::Result written = platform::ReplaceFile(path, edited, true);
  if (written.Ok())
    Report::Line(std::string(simulator) + ": library added to " + Report::Path(path) + " as " +
                 key);
  else
    Report::Failure("write", path, written);
}
