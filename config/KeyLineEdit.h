// The one-line edit of a configuration file that belongs to the user: it sets one
// key of section Main by adding or replacing a single line, so that comments,
// blank lines, order, line ends and every other byte stay as the user left them.
// A pure function on the file's bytes: the caller reads and writes the file.
#pragma once

#include <string>
#include <string_view>

class KeyLineEdit {
 public:
  /// Puts into `edited` the bytes of `file` with the line `key=value` set in section
  /// Main, as the store reads sections and keys: the store's empty value of `key`
  /// replaced where it stands, else the line added after the last key line of the
  /// last section Main, else `[Main]` and the line appended. `key` and `value` are
  /// what the store reads back: no line end, no blank at either end, no '=' in the
  /// key. False, with `edited` empty, for a UTF-16 file, which is never written.
  static bool Apply(std::string_view file, std::string_view key, std::string_view value,
                    std::string* edited);
};
