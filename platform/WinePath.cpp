#include "platform/WinePath.h"

#include <algorithm>
#include <vector>

#include "text/Text.h"

namespace platform {

namespace {

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsDotComponent(const std::string& path, size_t begin, size_t end) {
  return (end - begin == 1 && path[begin] == '.') ||
         (end - begin == 2 && path[begin] == '.' && path[begin + 1] == '.');
}

// "." and ".." taken away by text from what follows `from` in `path`, as Windows
// does before it looks at the disk, so that "Temp\..\FSX" needs no Temp. Never
// above the drive or "/"; a relative path keeps its leading "..". A path without
// them stays exactly as it is.
void ResolveDots(std::string* path, size_t from) {
  // Every "." or ".." component starts the path or follows a slash. Each byte is
  // looked at the same way, so that the compiler takes many at once: every file
  // the tool opens comes here.
  const char* const text = path->data();
  const size_t size = path->size();
  unsigned char slashDot = text[from] == '.';
  for (size_t i = from + 1; i < size; ++i) slashDot |= (text[i - 1] == '/') & (text[i] == '.');
  if (!slashDot) return;
  bool dots = false;
  for (size_t begin = from; begin <= path->size() && !dots;) {
    const size_t end = std::min(path->find('/', begin), path->size());
    dots = IsDotComponent(*path, begin, end);
    begin = end + 1;
  }
  if (!dots) return;
  const bool rooted = (*path)[from] == '/';
  const bool folder = path->back() == '/';
  std::vector<std::string> kept;
  for (size_t begin = from; begin <= path->size();) {
    const size_t end = std::min(path->find('/', begin), path->size());
    const std::string component = path->substr(begin, end - begin);
    begin = end + 1;
    if (component.empty() || component == ".") continue;
    if (component != "..") {
      kept.push_back(component);
    } else if (!kept.empty() && kept.back() != "..") {
      kept.pop_back();
    } else if (!rooted) {
      kept.push_back(component);
    }
  }
  std::string resolved = rooted ? "/" : "";
  for (size_t i = 0; i < kept.size(); ++i) resolved += (i ? "/" : "") + kept[i];
  if (folder && !kept.empty()) resolved += '/';
  path->replace(from, std::string::npos, resolved.empty() ? "." : resolved);
}

}  // namespace

WinePath WinePath::Map(const std::string& path, std::string_view winePrefix) {
  WinePath mapped;
  Map(path, winePrefix, &mapped);
  return mapped;
}

void WinePath::Map(const std::string& path, std::string_view winePrefix, WinePath* mapped) {
  std::string& written = mapped->written;
  mapped->baseSize = 0;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    static constexpr std::string_view kDrives = "/dosdevices/";
    written.reserve(winePrefix.size() + kDrives.size() + path.size() + 1);
    written.assign(winePrefix).append(kDrives);
    written += static_cast<char>(text::LowerByte(path[0]));
    written += ':';
    mapped->baseSize = written.size();
    if (path.size() > 2 && path[2] != '\\' && path[2] != '/') written += '/';
    written.append(path, 2, std::string::npos);
  } else {
    written.assign(path);
  }
  char* const text = &written[0];
  const size_t size = written.size();
  for (size_t i = mapped->baseSize; i < size; ++i) text[i] = text[i] == '\\' ? '/' : text[i];
  if (mapped->HasRest()) ResolveDots(&written, mapped->baseSize);
}

}  // namespace platform
