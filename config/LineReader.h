// Reads a text file line by line through a large buffer. A line ends at LF; a CR
// right before the LF belongs to the line end; a last line without a line end is
// read too.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

class LineReader {
 public:
  LineReader() = default;
  virtual ~LineReader();  // hands its block to the next reader

  /// Fails when the file cannot be opened for reading (missing, a folder, ...).
  platform::Result Open(const std::string& path);
  /// The next line without its line end; false at the end of the file or on a
  /// read error. The view holds until the next call.
  bool ReadLine(std::string_view* line);
  bool ReadLine(std::string* line);
  /// True when reading stopped at a read error rather than at the end of the file;
  /// `Error` then says why.
  bool Failed() const { return !error_.Ok(); }
  const platform::Result& Error() const { return error_; }
  void Close();

 private:
  platform::File file_;
  // Not a string: resizing one would clear the whole block for every small file.
  std::unique_ptr<char[]> buffer_;
  std::string spill_;  // a line that runs over the end of the block
  size_t position_ = 0;
  size_t end_ = 0;  // bytes of buffer_ that hold data
  bool atEnd_ = false;
  platform::Result error_;
};
