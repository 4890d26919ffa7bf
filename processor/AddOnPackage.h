// The add-on package through which Prepar3D 3.3 and later find the library: the
// bytes of its add-on.xml, and that file kept below the user's Documents folder,
// written only when its bytes change. Whether the package is enabled is
// Prepar3D's own business.
#pragma once

#include <string>

class AddOnPackage {
 public:
  enum class Result {
    kWritten,     // new or rewritten: Prepar3D asks the user to enable it
    kInPlace,     // it held these bytes already; its time is kept
    kLeftAsItIs,  // read-only, with other bytes: "<path>: left as it is (<reason>)"
    kNotDone,     // nothing written: "cannot <verb> <path>: <reason>"
  };
  struct Outcome {
    Result result = Result::kNotDone;
    std::string path;  // add-on.xml, or the folder that could not be made; as formed
    std::string verb;
    std::string reason;
  };

  /// `documents`: the Documents folder (SpecialFolderPath(5)); `addOnsFolder`: the
  /// simulator's folder of packages below it ("Prepar3D v5 Add-ons").
  AddOnPackage(std::string documents, std::string addOnsFolder);

  /// The library's path as add-on.xml names it, for the simulator folder as the
  /// settings give it: absolute, escaped, in UTF-8. False, with `*reason`, for a
  /// path that holds a control character or cannot be made absolute.
  static bool LibraryPath(const std::string& simulatorFolder, std::string* path,
                          std::string* reason);
  /// The whole add-on.xml for the library at `libraryPath` (from LibraryPath).
  static std::string Bytes(const std::string& libraryPath);

  /// <documents>\<add-ons folder>\VORN_KVB\add-on.xml
  std::string FilePath() const;

  /// Brings add-on.xml to `bytes`, making the missing folders below Documents
  /// (never Documents itself), and removes a temporary file that a killed run
  /// left beside it.
  Outcome Write(const std::string& bytes) const;

 private:
  std::string documents_;
  std::string addOnsFolder_;
};
