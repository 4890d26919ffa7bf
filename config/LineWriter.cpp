#include "config/LineWriter.h"

namespace {
// Beyond this the buffer is handed over without waiting for Flush, so a long
// output never sits in memory whole.
constexpr size_t kBlockSize = 64 * 1024;
}  // namespace

LineWriter::~LineWriter() { Close(); }

bool LineWriter::Open(const std::string& path, platform::File::Mode mode) {
  Close();
  buffer_.clear();
  good_ = file_.Open(path, mode) == platform::Status::kOk;
  return good_;
}

void LineWriter::WriteLine(const std::string& line) {
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
    good_ = false;
  buffer_.clear();
}

void LineWriter::Close() {
  Flush();
  file_.Close();
}
