// Reads the files of the next packages on a second thread while the package step
// works on the current one, so that the step finds their bytes in memory: the
// system's work of opening and reading overlaps the work on the text. Only the
// step's own inputs are read ahead (vorn.cfg and each livery's vorn.ini and
// vorn.liv), which the tool never writes, and only regular files that are no
// links, read whole: anything else the step reads itself, as it always did, and
// reports there. A few packages ahead at most, so the memory stays flat.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
struct DirEntry;
}

class ReadAhead {
 public:
  struct File {
    std::string path;  // as the package step names it
    std::string bytes;
  };
  /// The files read ahead for one package: files[0, count). The rest is room
  /// kept from an earlier package.
  struct Package {
    std::vector<File> files;
    size_t count = 0;
    mutable size_t next = 0;  // where Find looks first: after the file it found last
  };

  /// Starts reading, in order, the package folders `parent`\name of the `entries`
  /// that are folders; nothing when the process may use a single processor only,
  /// where the reading could not overlap anything. `entries` must outlive the reader.
  ReadAhead(std::string parent, const std::vector<platform::DirEntry>& entries);
  /// Stops the reading, wherever it is.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// The files read ahead for the folder of entries[index], once the thread has
  /// them, valid until the next call; indexes come in rising order. Empty when
  /// nothing could be read ahead.
  const Package& Take(size_t index);
  /// The bytes read ahead for `path`, or null.
  static const std::string* Find(const Package& package, const std::string& path);

  /// What is read ahead of one package at most: the files past it are left to the
  /// package step, which reads a large file in parts.
  static constexpr long long kMostBytes = 256 * 1024;
  static constexpr size_t kMostFiles = 512;

 private:
  void Run();
  void Read(const std::string& folder, Package* package) const;

  // Packages read ahead of the one in use. The thread, once that far ahead, waits
  // until it may read half as many again, rather than waking for each.
  static constexpr size_t kWindow = 8;

  const std::string parent_;
  const std::vector<platform::DirEntry>& entries_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // The folder of entries_[i] is read into ready_[i % kWindow].
  std::vector<Package> ready_ = std::vector<Package>(kWindow);
  const Package none_;
  size_t read_ = 0;             // packages read, or given up on
  size_t inUse_ = 0;            // the package the step has taken last; none before it is in use
  size_t failed_ = ~size_t{0};  // from here on nothing was read (the thread failed)
  bool stop_ = false;
  std::thread thread_;
};
