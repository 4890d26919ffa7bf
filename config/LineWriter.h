// An output text file that ends every line with CR LF, on every target, and
// buffers until Flush (or until a large block has piled up). Like a standard stream, it enters a
// failed state on the first error and silently drops everything written after that.
#pragma once

#include <string>

#include "platform/Platform.h"

class LineWriter {
 public:
  LineWriter() = default;
  virtual ~LineWriter();  // flushes and closes
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  /// Opens for writing; a failure leaves the writer in its failed state.
  platform::Result Open(const std::string& path, platform::File::Mode mode);
  bool Good() const { return good_; }
  /// Why the writer is in its failed state: the failure of the open (kReadOnly,
  /// kNotFound, kFailed), of a write or of the close.
  const platform::Result& Failure() const { return failure_; }
  /// Lines handed to WriteLine, and how many of them reached the file.
  long long LinesGiven() const { return linesGiven_; }
  long long LinesWritten() const { return linesWritten_; }

  /// Text and CR LF; no flush.
  void WriteLine(const std::string& line);
  /// Hands the buffered bytes to the system.
  void Flush();
  void Close();

 private:
  void Failed(const platform::Result& failure);

  platform::File file_;
  std::string buffer_;
  bool good_ = false;
  platform::Result failure_;
  long long linesGiven_ = 0;
  long long linesWritten_ = 0;
};
