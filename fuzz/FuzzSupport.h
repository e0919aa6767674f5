// What the fuzz targets share: a reader that turns the fuzzer's bytes into choices and texts, and
// the check that ends a run on a wrong result (an abort, which both libFuzzer and the replay main
// report with the input that caused it).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzing {

// Prints what went wrong and aborts. `detail` may hold any bytes; it is printed escaped.
[[noreturn]] inline void Fail(std::string_view what, std::string_view detail = {}) {
  std::string escaped;
  for (const char c : detail) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\n' || (byte >= 0x20 && byte < 0x7F && byte != '\\')) {
      escaped += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      escaped += hex;
    }
  }
  std::fprintf(stderr, "fuzz check failed: %.*s\n%s\n", static_cast<int>(what.size()), what.data(),
               escaped.c_str());
  std::abort();
}

// Two texts that must be equal; on a difference the failure shows where they part.
inline void ExpectSame(std::string_view what, std::string_view actual, std::string_view expected) {
  if (actual == expected) return;
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  const std::size_t at = static_cast<std::size_t>(a - actual.begin());
  const std::size_t from = at > 40 ? at - 40 : 0;
  std::string detail = "first difference at byte " + std::to_string(at) + "\nactual:   ...";
  detail.append(actual.substr(from, 120)).append("\nexpected: ...").append(expected.substr(from, 120));
  Fail(what, detail);
}

// Reads choices from the fuzzer's bytes. Past the end every read gives zero or an empty text, so a
// target never has to check for the end before reading.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {}

  bool AtEnd() const noexcept { return at_ >= bytes_.size(); }
  std::uint8_t Byte() noexcept { return AtEnd() ? 0 : static_cast<std::uint8_t>(bytes_[at_++]); }
  bool Bool() noexcept { return (Byte() & 1) != 0; }
  // A number below `bound` (bound > 0).
  std::size_t Below(std::size_t bound) noexcept { return Byte() % bound; }
  // A text of up to 255 bytes: a length byte, then that many bytes (fewer at the end of the input).
  std::string Text() { return Take(Byte()); }
  // Everything not read yet.
  std::string Rest() { return Take(bytes_.size() - std::min(at_, bytes_.size())); }

 private:
  std::string Take(std::size_t count) {
    const std::size_t start = std::min(at_, bytes_.size());
    const std::size_t length = std::min(count, bytes_.size() - start);
    at_ = start + length;
    return std::string(bytes_.substr(start, length));
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace fuzzing
