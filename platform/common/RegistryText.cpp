// The registry export format, written and read. OS-independent: the file backend and tools use it.
//
// Written form (CRLF line ends, UTF-8):
//   Windows Registry Editor Version 5.00
//   <blank line>
//   [HKEY_CLASSES_ROOT\Some\Key]          one section per key that has values or no subkeys
//   @="default value"                     the default value (name "")
//   "Name"="text"                         REG_SZ: \ and " escaped as \\ and \"
//   "Count"=dword:0000000a                REG_DWORD of exactly 4 bytes
//   "Blob"=hex:01,02,ff                   REG_BINARY
//   "Path"=hex(2):25,00,...               REG_EXPAND_SZ, REG_MULTI_SZ (7) and REG_SZ data that the quoted
//                                         form cannot carry, as UTF-16LE like the platform's exports
//   "Other"=hex(b):...                    any other type, the stored bytes
//   <blank line after every section>
// Long hex data is wrapped after a comma with a trailing backslash, continuation lines indented by two
// spaces.
//
// Text values are kept in memory as UTF-8 bytes with their NUL(s). In hex(1), hex(2) and hex(7) they
// are converted to UTF-16LE; a byte that is not part of valid UTF-8 is written as the lone surrogate
// U+DC80..U+DCFF (U+DC00 + byte) and read back as that byte, so any stored bytes survive a round trip.
//
// Reading is lenient where nothing can be lost: LF or CRLF, a UTF-8 byte order mark, blank lines and
// ";" comment lines anywhere, leading and trailing blanks on a line, blanks around "=", upper or lower
// case hex digits and type words, a trailing comma in hex data, a backslash in a quoted text that
// does not start \\ or \" is kept as it is, a repeated section adds to the key. Reading also takes the
// deletions "[-key]" (the key and its subkeys) and "name"=- (a value); deleting what does not exist
// is not an error. Anything else that cannot be read is an error naming its line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "RegistryTree.h"
#include "runtime/Ascii.h"

namespace platform::detail {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kCrlf = "\r\n";
constexpr std::size_t kHexLineWidth = 78;  // continuation lines are broken before this column

// ---- UTF-8 and UTF-16LE ---------------------------------------------------------------------------

// Length of the valid UTF-8 sequence starting at `i` (no overlong forms, no surrogates, at most
// U+10FFFF) and its code point; 0 when the byte at `i` does not start one.
std::size_t Utf8Sequence(const std::vector<std::uint8_t>& bytes, std::size_t i, std::uint32_t& codePoint) {
  const std::uint8_t lead = bytes[i];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length;
  std::uint32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    minimum = 0x80;
    codePoint = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    minimum = 0x800;
    codePoint = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    minimum = 0x10000;
    codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const std::uint8_t next = bytes[i + k];
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

bool IsValidUtf8(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t ignored;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8Sequence(bytes, i, ignored);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void PutUtf16(std::vector<std::uint8_t>& out, std::uint32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

std::vector<std::uint8_t> Utf8ToUtf16Le(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> out;
  std::uint32_t codePoint;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8Sequence(bytes, i, codePoint);
    if (length == 0) {
      PutUtf16(out, 0xDC00u + bytes[i]);  // a stray byte, kept as a lone low surrogate
      ++i;
      continue;
    }
    if (codePoint >= 0x10000) {
      codePoint -= 0x10000;
      PutUtf16(out, 0xD800u + (codePoint >> 10));
      PutUtf16(out, 0xDC00u + (codePoint & 0x3FF));
    } else {
      PutUtf16(out, codePoint);
    }
    i += length;
  }
  return out;
}

void PutUtf8(std::vector<std::uint8_t>& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<std::uint8_t>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<std::uint8_t>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<std::uint8_t>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<std::uint8_t>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<std::uint8_t>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<std::uint8_t>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<std::uint8_t>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<std::uint8_t>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<std::uint8_t>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<std::uint8_t>(0x80 | (codePoint & 0x3F)));
  }
}

// The inverse of Utf8ToUtf16Le. False when the data has an odd length or a surrogate that is neither
// part of a pair nor a kept stray byte.
bool Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out) {
  if (bytes.size() % 2 != 0) return false;
  out.clear();
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&](std::size_t k) {
    return static_cast<std::uint32_t>(bytes[2 * k] | bytes[2 * k + 1] << 8);
  };
  for (std::size_t k = 0; k < units; ++k) {
    const std::uint32_t unit = unitAt(k);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (k + 1 >= units) return false;
      const std::uint32_t low = unitAt(k + 1);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      ++k;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      out.push_back(static_cast<std::uint8_t>(unit - 0xDC00));
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    } else {
      PutUtf8(out, unit);
    }
  }
  return true;
}

bool IsTextType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// ---- writing -----------------------------------------------------------------------------------------

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// True when REG_SZ data can be written as "text": UTF-8 without control characters other than TAB,
// followed by exactly one NUL.
bool FitsQuotedForm(const RegistryValue& value) {
  if (value.type != kRegSz || value.data.empty() || value.data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
    const std::uint8_t c = value.data[i];
    if (c < 0x20 && c != '\t') return false;
  }
  return IsValidUtf8(value.data);
}

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexData(std::string& out, std::string line, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string piece{kHexDigits[bytes[i] >> 4], kHexDigits[bytes[i] & 0xF]};
    if (i + 1 < bytes.size()) piece += ',';
    if (i > 0 && line.size() + piece.size() > kHexLineWidth) {
      out += line;
      out += '\\';
      out += kCrlf;
      line = "  ";
    }
    line += piece;
  }
  out += line;
  out += kCrlf;
}

void AppendValue(std::string& out, const std::string& name, const RegistryValue& value) {
  std::string line;
  if (name.empty()) {
    line = "@";
  } else {
    AppendQuoted(line, name);
  }
  line += '=';
  if (FitsQuotedForm(value)) {
    AppendQuoted(line,
                 std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
    out += line;
    out += kCrlf;
    return;
  }
  if (value.type == kRegDword && value.data.size() == 4) {
    const std::uint32_t number = *value.AsDWord();
    line += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) line += kHexDigits[(number >> shift) & 0xF];
    out += line;
    out += kCrlf;
    return;
  }
  if (value.type == kRegBinary) {
    line += "hex:";
  } else {
    line += "hex(";
    const std::uint32_t type = value.type;
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
      const std::uint32_t digit = (type >> shift) & 0xF;
      if (digit != 0 || started || shift == 0) {
        line += kHexDigits[digit];
        started = true;
      }
    }
    line += "):";
  }
  AppendHexData(out, std::move(line), IsTextType(value.type) ? Utf8ToUtf16Le(value.data) : value.data);
}

void AppendKey(std::string& out, const RegistryTree::Key& key, const std::string& path, bool isRoot) {
  const bool writeSection = isRoot ? !key.values.empty() : (!key.values.empty() || key.subkeys.empty());
  if (writeSection) {
    out += '[';
    out += path;
    out += ']';
    out += kCrlf;
    for (const auto& [name, value] : key.values) AppendValue(out, name, value);
    out += kCrlf;
  }
  for (const auto& subkey : key.subkeys) AppendKey(out, *subkey, path + '\\' + subkey->name, false);
}

// ---- reading -----------------------------------------------------------------------------------------

// A number of 1 to 8 hex digits, the whole of `text`.
bool ParseHexNumber(std::string_view text, std::uint32_t& number) {
  if (text.empty() || text.size() > 8) return false;
  number = 0;
  for (char c : text) {
    const int digit = AsciiHexDigitValue(c);
    if (digit < 0) return false;
    number = (number << 4) | static_cast<std::uint32_t>(digit);
  }
  return true;
}

class Parser {
 public:
  Parser(std::string_view text, RegistryTree& tree) : tree_(tree) { SplitLines(text); }

  long Run(std::string* error) {
    const long result = ParseAll();
    if (result != win32::Success && error != nullptr) *error = error_;
    return result;
  }

 private:
  void SplitLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    utf16_ = text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF";
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      start = end + 1;
    }
  }

  long Fail(std::size_t lineIndex, const std::string& problem) {
    error_ = "line " + std::to_string(lineIndex + 1) + ": " + problem;
    return win32::RegistryCorrupt;
  }

  static bool IsIgnorable(std::string_view line) {
    line = TrimAsciiBlanks(line);
    return line.empty() || line.front() == ';';
  }

  long ParseAll() {
    if (utf16_) return Fail(0, "the file is UTF-16 text; the registry file must be saved as UTF-8");
    std::size_t i = 0;
    while (i < lines_.size() && IsIgnorable(lines_[i])) ++i;
    if (i == lines_.size()) return win32::Success;  // nothing but blanks and comments: an empty registry
    if (TrimAsciiBlanks(lines_[i]) != kHeader) {
      return Fail(i, "expected the header line \"" + std::string(kHeader) + "\"");
    }
    for (++i; i < lines_.size(); ++i) {
      if (IsIgnorable(lines_[i])) continue;
      const std::string_view line = TrimAsciiBlanks(lines_[i]);
      const long result = line.front() == '[' ? ParseSection(i, line) : ParseValueLine(i, line);
      if (result != win32::Success) return result;
    }
    return win32::Success;
  }

  long ParseSection(std::size_t i, std::string_view line) {
    if (line.back() != ']') return Fail(i, "a key line must end with \"]\"");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool deletion = !path.empty() && path.front() == '-';
    if (deletion) path.remove_prefix(1);
    const std::size_t slash = path.find('\\');
    const std::string_view rootName = path.substr(0, slash);
    const auto root = ParseRootKey(rootName);
    if (!root) return Fail(i, "unknown root key \"" + std::string(rootName) + "\"");
    const std::string_view rest =
        slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (deletion) {
      current_ = nullptr;
      const long result = tree_.DeleteTree(*root, rest);
      if (result == win32::AccessDenied) return Fail(i, "a root key cannot be deleted");
      return win32::Success;  // deleting a key that is not there is no error
    }
    current_ = &tree_.Create(*root, rest);
    return win32::Success;
  }

  // Reads a quoted text starting at text[pos] == '"'; `pos` ends after the closing quote.
  bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
      const char c = text[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) ++pos;
      out += text[pos];
    }
    return false;
  }

  long ParseValueLine(std::size_t& i, std::string_view line) {
    if (current_ == nullptr) return Fail(i, "a value line must follow a [key] line");
    std::string name;
    std::size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else if (line.front() == '"') {
      if (!ReadQuoted(line, pos, name)) return Fail(i, "the value name has no closing quote");
    } else {
      return Fail(i, "expected a [key] line, a \"name\"= or @= value line, or a ; comment");
    }
    std::string_view rest = TrimAsciiBlanks(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return Fail(i, "expected \"=\" after the value name");
    rest = TrimAsciiBlanks(rest.substr(1));

    if (rest == "-") {
      DeleteValue(name);
      return win32::Success;
    }
    RegistryValue value;
    if (!rest.empty() && rest.front() == '"') {
      std::string text;
      std::size_t end = 0;
      if (!ReadQuoted(rest, end, text)) return Fail(i, "the text has no closing quote");
      if (!TrimAsciiBlanks(rest.substr(end)).empty())
        return Fail(i, "unexpected text after the closing quote");
      value = RegistryValue::String(text);
    } else if (StartsWithIgnoreAsciiCase(rest, "dword:")) {
      std::uint32_t number;
      if (!ParseHexNumber(TrimAsciiBlanks(rest.substr(6)), number)) {
        return Fail(i, "dword: must be followed by 1 to 8 hex digits");
      }
      value = RegistryValue::DWord(number);
    } else if (StartsWithIgnoreAsciiCase(rest, "hex")) {
      const long result = ParseHexValue(i, rest.substr(3), value);
      if (result != win32::Success) return result;
    } else {
      return Fail(i, "expected \"text\", dword:, hex: or hex(type): after \"=\", or - to delete the value");
    }
    Set(name, value);
    return win32::Success;
  }

  // `rest` follows the word "hex": ":" or "(type):", then the bytes, possibly continued on further lines.
  long ParseHexValue(std::size_t& i, std::string_view rest, RegistryValue& value) {
    const std::size_t first = i;
    std::uint32_t type = kRegBinary;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      if (close == std::string_view::npos || !ParseHexNumber(rest.substr(1, close - 1), type)) {
        return Fail(i, "hex( must be followed by a type number in hex digits and \")\"");
      }
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return Fail(i, "expected \":\" after hex or hex(type)");
    rest.remove_prefix(1);

    // Gather the continuation lines: a line ending in a backslash continues on the next one.
    std::string data;
    for (;;) {
      rest = TrimAsciiBlanks(rest);
      if (rest.empty() || rest.back() != '\\') {
        data += rest;
        break;
      }
      rest.remove_suffix(1);
      data += rest;
      if (i + 1 >= lines_.size()) return Fail(i, "the hex data continues past the end of the file");
      rest = lines_[++i];
    }

    std::vector<std::uint8_t> bytes;
    std::size_t start = 0;
    while (start <= data.size()) {
      std::size_t comma = data.find(',', start);
      if (comma == std::string::npos) comma = data.size();
      const std::string_view token = TrimAsciiBlanks(std::string_view(data).substr(start, comma - start));
      const bool last = comma == data.size();
      if (token.empty()) {
        if (!last) return Fail(first, "empty byte in hex data");  // a trailing comma is fine
      } else {
        std::uint32_t byte;
        if (token.size() > 2 || !ParseHexNumber(token, byte)) {
          return Fail(first, "\"" + std::string(token) + "\" in hex data is not a byte of two hex digits");
        }
        bytes.push_back(static_cast<std::uint8_t>(byte));
      }
      start = comma + 1;
    }

    value.type = type;
    if (IsTextType(type)) {
      if (!Utf16LeToUtf8(bytes, value.data)) return Fail(first, "hex text data is not UTF-16LE text");
    } else {
      value.data = std::move(bytes);
    }
    return win32::Success;
  }

  void Set(const std::string& name, const RegistryValue& value) {
    if (RegistryValue* existing = current_->FindValue(name)) {
      *existing = value;
    } else {
      current_->values.emplace_back(name, value);
    }
  }

  void DeleteValue(const std::string& name) {
    auto& values = current_->values;
    for (auto it = values.begin(); it != values.end(); ++it) {
      if (EqualsIgnoreAsciiCase(it->first, name)) {
        values.erase(it);
        return;
      }
    }
  }

  RegistryTree& tree_;
  std::vector<std::string_view> lines_;
  bool utf16_ = false;
  RegistryTree::Key* current_ = nullptr;
  std::string error_;
};

}  // namespace

std::string FormatRegistryText(const RegistryTree& tree) {
  std::string out(kHeader);
  out += kCrlf;
  out += kCrlf;
  for (RootKey root : {RootKey::ClassesRoot, RootKey::CurrentUser, RootKey::LocalMachine, RootKey::Users,
                       RootKey::CurrentConfig}) {
    const RegistryTree::Key& key = tree.Root(root);
    AppendKey(out, key, key.name, true);
  }
  return out;
}

long ParseRegistryText(std::string_view text, RegistryTree& tree, std::string* error) {
  return Parser(text, tree).Run(error);
}

}  // namespace platform::detail
