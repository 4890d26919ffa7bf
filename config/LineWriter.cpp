#include "config/LineWriter.h"

namespace {
// Beyond this the buffer is handed over without waiting for Flush, so a long
// output never sits in memory whole.
constexpr size_t kBlockSize = 64 * 1024;
}  // namespace

LineWriter::~LineWriter() { Close(); }

platform::Result LineWriter::Open(const std::string& path, platform::File::Mode mode) {
  Close();
  buffer_.clear();
  failure_ = platform::Result();
  linesGiven_ = linesWritten_ = 0;
  const platform::Result opened = file_.Open(path, mode);
  good_ = opened.Ok();
  if (!good_) Failed(opened);
  return opened;
}

void LineWriter::Failed(const platform::Result& failure) {
  good_ = false;
  failure_ = failure;
}

void LineWriter::WriteLine(const std::string& line) {
  ++linesGiven_;
  if (!good_ || !file_.IsOpen()) return;
  buffer_.append(line);
  buffer_.append("\r\n", 2);
  if (buffer_.size() >= kBlockSize) Flush();
}

void LineWriter::Flush() {
  if (good_ && file_.IsOpen() && !buffer_.empty()) {
    const platform::Result written = file_.Write(buffer_.data(), buffer_.size());
    if (!written.Ok()) Failed(written);
  }
  if (good_ && file_.IsOpen()) linesWritten_ = linesGiven_;
  buffer_.clear();
}

void LineWriter::Close() {
  Flush();
  const platform::Result closed = file_.Close();
  if (good_ && !closed.Ok()) Failed(closed);
}
