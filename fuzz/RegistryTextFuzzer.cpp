// The registry file's text form, read from any bytes. A text that is refused must come with a
// message; a text that is read must write out as text that reads back to the same tree, so that
// writing it once more gives the same text: format(parse(format(t))) == format(t).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/common/RegistryTree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using platform::detail::FormatRegistryText;
  using platform::detail::ParseRegistryText;
  using platform::detail::RegistryTree;

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegistryTree tree;
  std::string error;
  if (ParseRegistryText(text, tree, &error) != 0) {
    if (error.empty()) fuzzing::Fail("a refused registry text comes without a message");
    return 0;
  }
  const std::string written = FormatRegistryText(tree);

  RegistryTree reread;
  if (const long result = ParseRegistryText(written, reread, &error); result != 0) {
    fuzzing::Fail("the written registry text does not read back (" + std::to_string(result) + ")",
                  error + "\n" + written);
  }
  fuzzing::ExpectSame("the registry text written from its own reading", FormatRegistryText(reread), written);
  return 0;
}
