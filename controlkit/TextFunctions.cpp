#include "controlkit/TextFunctions.h"

#include <cstring>

#include "runtime/Ascii.h"
#include "runtime/Error.h"

namespace controlkit {
namespace {

using platform::AsciiToLower;
using platform::AsciiToUpper;

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Whether `find` occurs at `at` in `text`, without regard to ASCII case (`upperFind` is `find`
// upper-cased).
bool MatchesAt(std::string_view text, std::size_t at, std::string_view upperFind) {
  if (text.size() - at < upperFind.size()) return false;
  for (std::size_t i = 0; i < upperFind.size(); ++i) {
    if (AsciiToUpper(text[at + i]) != upperFind[i]) return false;
  }
  return true;
}

// The first position at or after `from` where `find` may start: its first character in either case.
std::size_t NextCandidate(std::string_view text, std::size_t from, char upperFirst) {
  const char lowerFirst = AsciiToLower(upperFirst);
  if (lowerFirst == upperFirst) {
    if (from >= text.size()) return std::string_view::npos;
    const void* hit = std::memchr(text.data() + from, upperFirst, text.size() - from);
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
  }
  const char both[] = {upperFirst, lowerFirst};
  return text.find_first_of(std::string_view(both, 2), from);
}

}  // namespace

std::string UCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = AsciiToUpper(c);
  return upper;
}

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view SplitPiece(std::string_view text, std::string_view separator, std::size_t index) {
  if (!text.empty() && !separator.empty()) {
    std::size_t start = 0;
    for (std::size_t piece = 0;; ++piece) {
      const std::size_t end = text.find(separator, start);
      if (piece == index) return text.substr(start, end == std::string_view::npos ? end : end - start);
      if (end == std::string_view::npos) break;
      start = end + separator.size();
    }
  } else if (!text.empty() && index == 0) {
    return text;
  }
  platform::Raise(platform::err::SubscriptOutOfRange);
}

std::int64_t CharacterCount(std::string_view text) {
  std::int64_t count = 0;
  for (char c : text) count += IsContinuationByte(c) ? 0 : 1;
  return count;
}

std::string_view RightCharacters(std::string_view text, std::int64_t count) {
  if (count < 0) platform::Raise(platform::err::InvalidProcedureCall);
  std::size_t start = text.size();
  while (count > 0 && start > 0) {
    --start;
    if (!IsContinuationByte(text[start])) --count;
  }
  return text.substr(start);
}

void ReplaceNoCase(std::string& target, std::string_view find, std::string_view replacement) {
  if (find.empty()) return;
  const std::string_view text = target;
  const std::string upperFind = UCase(find);
  std::string result;
  std::size_t copied = 0;
  std::size_t at = NextCandidate(text, 0, upperFind.front());
  while (at != std::string_view::npos) {
    if (MatchesAt(text, at, upperFind)) {
      if (result.empty()) result.reserve(text.size() + replacement.size());
      result.append(text, copied, at - copied).append(replacement);
      copied = at + find.size();
      at = NextCandidate(text, copied, upperFind.front());
    } else {
      at = NextCandidate(text, at + 1, upperFind.front());
    }
  }
  if (copied == 0) return;  // no occurrence: nothing to rebuild
  result.append(text, copied);
  target.swap(result);
}

}  // namespace controlkit
