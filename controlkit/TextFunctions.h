// Text functions of the language the control library is written in, used by the control and its
// dialogs alike, with the platform's rules (texts are UTF-8; "characters" are code points).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace controlkit {

// UCase: ASCII letters to upper case; every other byte is kept, so the text keeps its length and a
// path stays findable by the drive-path lookup, which ignores ASCII case only.
std::string UCase(std::string_view text);

// Trim: leading and trailing spaces (only spaces) removed.
std::string_view TrimSpaces(std::string_view text);

// Piece `index` of Split(text, separator): the text cut at every occurrence of a non-empty
// `separator`. An empty text has no pieces. Subscript out of range (9) when there is no such piece.
std::string_view SplitPiece(std::string_view text, std::string_view separator, std::size_t index);

// Len and Right on characters: the number of code points, and the last `count` code points (the
// whole text when it has fewer). A negative count is Invalid procedure call or argument (5).
std::int64_t CharacterCount(std::string_view text);
std::string_view RightCharacters(std::string_view text, std::int64_t count);

// text = Replace(text, find, replacement, compare:=text): every occurrence of `find`, scanning from
// the first character, letters matched without regard to ASCII case; the inserted text is not
// scanned again, and occurrences do not overlap. An empty `find` leaves the text as it is. The text
// changes only when the whole replacement has been built (a failure leaves it as it was).
void ReplaceNoCase(std::string& text, std::string_view find, std::string_view replacement);

}  // namespace controlkit
