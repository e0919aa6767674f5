// The line rule of sequential text input (CR, CR LF or the end ends a line), written once for every backend.
#include "LineInput.h"

#include "runtime/Error.h"

namespace platform::detail {

namespace {
constexpr std::int32_t kBadFileNameOrNumber = 52;
}

void LineInput::CheckOpen() const {
  if (closed_) Raise(kBadFileNameOrNumber, "Bad file name or number");
}

bool LineInput::Fill() {
  if (endOfStream_) return false;
  buffer_.erase(0, pos_);
  pos_ = 0;
  const std::size_t n = ReadBytes(chunk_.data(), chunk_.size());
  if (n == 0) {
    endOfStream_ = true;
    return false;
  }
  buffer_.append(chunk_.data(), n);
  return true;
}

bool LineInput::AtEnd() {
  CheckOpen();
  return pos_ == buffer_.size() && !Fill();
}

std::string LineInput::ReadLine() {
  if (AtEnd()) Raise(err::InputPastEndOfFile);
  std::string line;
  for (;;) {
    const std::size_t cr = buffer_.find('\r', pos_);
    if (cr == std::string::npos) {
      line.append(buffer_, pos_);
      pos_ = buffer_.size();
      if (!Fill()) return line;
      continue;
    }
    line.append(buffer_, pos_, cr - pos_);
    pos_ = cr + 1;
    if (pos_ == buffer_.size() && !Fill()) return line;
    if (buffer_[pos_] == '\n') ++pos_;
    return line;
  }
}

void LineInput::Close() {
  if (closed_) return;
  closed_ = true;
  buffer_.clear();
  pos_ = 0;
  CloseStream();
}

}  // namespace platform::detail
