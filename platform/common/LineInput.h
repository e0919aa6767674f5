// The line rule of sequential text input, written once for every backend: a line ends at CR, at
// CR LF, or at the end of the stream; a lone LF belongs to the line. Not part of the public
// platform interface.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/TextFiles.h"

namespace platform::detail {

class LineInput : public TextInput {
 public:
  bool AtEnd() override;
  std::string ReadLine() override;
  void Close() override;

 protected:
  // Reads up to `size` bytes into `buffer`; 0 at the end of the stream. Failures raise.
  virtual std::size_t ReadBytes(char* buffer, std::size_t size) = 0;
  // Releases the stream; called once, by Close.
  virtual void CloseStream() = 0;

  explicit LineInput(std::size_t chunkSize = std::size_t{64} * 1024)
      : chunk_(chunkSize == 0 ? 1 : chunkSize) {}

 private:
  void CheckOpen() const;
  // Drops the bytes already consumed and reads more; false at the end of the stream.
  bool Fill();

  std::vector<char> chunk_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool endOfStream_ = false;
  bool closed_ = false;
};

}  // namespace platform::detail
