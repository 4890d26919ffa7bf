#include "config/LineWriter.h"

namespace {
// Beyond this the buffer is handed over without waiting for Flush, so a long
// output never sits in memory whole.
constexpr size_t kBlockSize = 64 * 1024;
}  // namespace

LineWriter::~LineWriter() { Close(); }

platform::Status LineWriter::Open(const std::string& path, platform::File::Mode mode) {
  Close();
  buffer_.clear();
  status_ = platform::Status::kOk;
  error_ = 0;
  linesGiven_ = linesWritten_ = 0;
  const platform::Status status = file_.Open(path, mode);
  good_ = status == platform::Status::kOk;
  if (!good_) Failed(status);
  return status;
}

void LineWriter::Failed(platform::Status status) {
  good_ = false;
  status_ = status;
  error_ = platform::LastError();
}

void LineWriter::WriteLine(const std::string& line) {
  ++linesGiven_;
  if (!good_ || !file_.IsOpen()) return;
  buffer_.append(line);
  buffer_.append("\r\n", 2);
  if (buffer_.size() >= kBlockSize) Flush();
}

void LineWriter::Write(const std::string& text) { Write(text.data(), text.size()); }

void LineWriter::Write(const char* data, size_t size) {
  if (!good_ || !file_.IsOpen()) return;
  buffer_.append(data, size);
  if (buffer_.size() >= kBlockSize) Flush();
}

void LineWriter::Flush() {
  if (good_ && file_.IsOpen() && !buffer_.empty() && !file_.Write(buffer_.data(), buffer_.size()))
    Failed(platform::Status::kFailed);
  if (good_ && file_.IsOpen()) linesWritten_ = linesGiven_;
  buffer_.clear();
}

void LineWriter::Close() {
  Flush();
  file_.Close();
}
