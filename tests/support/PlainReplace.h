// The reference for the page text's replacement: Replace(text, find, replacement) with text
// comparison read as plainly as it is defined. Walk the text one character at a time; at each
// position either take an occurrence (compared letter by letter without regard to ASCII case) or
// copy one character. Tests and the page-text fuzz target hold the faster replacement against it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace testsupport {

inline std::string PlainReplace(std::string_view text, std::string_view find, std::string_view replacement) {
  const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  std::string result;
  std::size_t i = 0;
  while (i < text.size()) {
    bool match = !find.empty() && i + find.size() <= text.size();
    for (std::size_t k = 0; match && k < find.size(); ++k) match = upper(text[i + k]) == upper(find[k]);
    if (match) {
      result += replacement;
      i += find.size();
    } else {
      result += text[i++];
    }
  }
  return result;
}

}  // namespace testsupport
