#include "processor/ReadAhead.h"

#include <utility>

#include "platform/Platform.h"
#include "text/Text.h"

ReadAhead::ReadAhead(std::string parent, const std::vector<platform::DirEntry>& entries)
    : parent_(std::move(parent)), entries_(entries) {
  if (!entries_.empty() && platform::UsableProcessors() >= 2) {
    try {
      thread_ = std::thread(&ReadAhead::Run, this);
      return;
    } catch (...) {
    }
  }
  // No thread: the step reads everything itself.
  read_ = entries_.size();
  failed_ = 0;
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

const ReadAhead::Package& ReadAhead::Take(size_t index) {
  if (index >= entries_.size()) return none_;
  std::unique_lock<std::mutex> lock(mutex_);
  // The packages before it are done with: their room may take the next ones.
  if (index > inUse_) {
    inUse_ = index;
    changed_.notify_all();
  }
  changed_.wait(lock, [this, index] { return read_ > index; });
  return index < failed_ && index == inUse_ ? ready_[index % kWindow] : none_;
}

const std::string* ReadAhead::Find(const Package& package, const std::string& path) {
  // The step asks for the files in the order they were read: one look, as a rule.
  for (size_t looked = 0, i = package.next; looked < package.count; ++looked) {
    if (i >= package.count) i = 0;
    if (package.files[i++].path == path) {
      package.next = i;
      return &package.files[i - 1].bytes;
    }
  }
  return nullptr;
}

void ReadAhead::Run() {
  size_t index = 0;
  std::string folder;
  try {
    for (; index < entries_.size(); ++index) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (index >= inUse_ + kWindow)
          changed_.wait(lock, [this, index] { return stop_ || index < inUse_ + kWindow / 2; });
        if (stop_) break;
      }
      // Its room is free: no package in it is in use, nor will be before read_ passes it.
      Package& package = ready_[index % kWindow];
      package.count = package.next = 0;
      if (entries_[index].isDirectory) {
        folder.assign(parent_).append("\\").append(entries_[index].name);
        Read(folder, &package);
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        read_ = index + 1;
      }
      changed_.notify_all();
    }
  } catch (...) {
  }
  // Whatever was not read is the step's to read: it never waits for it.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < entries_.size()) failed_ = index;
    read_ = entries_.size();
  }
  changed_.notify_all();
}

void ReadAhead::Read(const std::string& folder, Package* package) const {
  // Named as the package step names them: the folder, a separator, the name listed.
  long long bytes = 0;
  const auto add = [package, &bytes](const std::string& path) {
    if (package->count == kMostFiles || bytes >= kMostBytes) return;
    if (package->count == package->files.size()) package->files.emplace_back();
    File& file = package->files[package->count];
    file.path.assign(path);
    if (!platform::ReadRegularFile(file.path, kMostBytes - bytes, &file.bytes)) return;
    bytes += static_cast<long long>(file.bytes.size());
    ++package->count;
  };
  std::vector<platform::DirEntry> entries;
  if (!platform::FindFiles(folder + "\\*", &entries).Ok()) return;
  for (const platform::DirEntry& entry : entries)
    if (entry.isFile && text::CompareNoCase(entry.name, "vorn.cfg") == 0)
      add(folder + "\\" + entry.name);
  std::string livery;
  for (const platform::DirEntry& entry : entries) {
    if (!entry.isDirectory || !platform::MatchesWildcard("texture.*", entry.name)) continue;
    livery.assign(folder).append("\\").append(entry.name);
    add(livery + "\\vorn.ini");
    add(livery + "\\vorn.liv");
  }
}
