#include "config/KeyLineEdit.h"

#include "config/ConfigReader.h"
#include "config/IniLine.h"

namespace {

constexpr std::string_view kMain = "Main";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Names match as the store's sections and keys match.
bool SameName(std::string_view a, std::string_view b) {
  const NoCaseLess less;
  return !less(a, b) && !less(b, a);
}

}  // namespace

bool KeyLineEdit::Apply(std::string_view file, std::string_view key, std::string_view value,
                        std::string* edited) {
  edited->clear();
  // Where the line goes: after the last key line or header of a section Main (an
  // offset past its line end), and the store's line for `key` there, if any.
  size_t after = std::string_view::npos;
  bool afterHasEnd = true;
  size_t slotBegin = 0, slotEnd = 0;
  bool slotEmpty = false;
  bool inMain = false;
  for (size_t begin = 0; begin < file.size();) {
    const size_t lf = file.find('\n', begin);
    const bool hasEnd = lf != std::string_view::npos;
    // A CR right before the LF belongs to the line end, as the store reads lines.
    size_t end = hasEnd ? lf : file.size();
    if (hasEnd && end > begin && file[end - 1] == '\r') --end;
    const size_t next = hasEnd ? lf + 1 : file.size();
    const IniLine line = IniLine::Classify(file.substr(begin, end - begin), begin == 0);
    if (line.mark == IniLine::Mark::kUtf16) return false;
    if (line.kind == IniLine::Kind::kHeader) inMain = SameName(line.name, kMain);
    if (inMain && line.kind != IniLine::Kind::kSkipped) {
      after = next;
      afterHasEnd = hasEnd;
      // Sections of the same name are one to the store, and a later line wins.
      if (line.kind == IniLine::Kind::kKey && SameName(line.name, key)) {
        slotBegin = begin;
        slotEnd = end;
        slotEmpty = line.value.empty();
      }
    }
    begin = next;
  }

  const bool crlf =
      file.find("\r\n") != std::string_view::npos || file.find('\n') == std::string_view::npos;
  const std::string_view lineEnd = crlf ? "\r\n" : "\n";
  edited->reserve(file.size() + key.size() + value.size() + 16);
  if (slotEmpty) {
    edited->append(file.substr(0, slotBegin)).append(key).append("=").append(value);
    edited->append(file.substr(slotEnd));
    return true;
  }
  const bool hasMain = after != std::string_view::npos;
  if (!hasMain) {
    after = file.size();
    afterHasEnd = file.empty() || file == kUtf8Bom || file.back() == '\n';
  }
  edited->append(file.substr(0, after));
  if (!afterHasEnd) edited->append(lineEnd);
  if (!hasMain) edited->append("[").append(kMain).append("]").append(lineEnd);
  edited->append(key).append("=").append(value).append(lineEnd);
  edited->append(file.substr(after));
  return true;
}
