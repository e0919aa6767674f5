// Test backend of TextFiles: files and folders held in memory, with injected failures.
//
// Paths are compared without regard to ASCII letter case, with "\" and "/" alike and doubled or
// trailing separators ignored; "." and ".." are not resolved. Every drive root ("C:") and the working
// folder (relative paths) exist; other folders exist once added or once a file is put below them.
// Opening follows the host backend's errors: 53 for a missing file in an existing folder, 76 for a
// missing folder, 75 for a folder.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/TextFiles.h"
#include "runtime/Error.h"

namespace platform::testing {

class MemoryTextFiles : public TextFiles {
 public:
  std::unique_ptr<TextInput> OpenForInput(std::string_view path) override;
  std::unique_ptr<TextOutput> OpenForOutput(std::string_view path) override;

  // Adds a folder and the folders above it.
  void AddFolder(std::string_view path);
  // Stores a file (and the folders above it) with `content`.
  void Put(std::string_view path, std::string content);
  // The content of a file, or none.
  std::optional<std::string> Content(std::string_view path) const;

  // The next open of `path` (input or output) fails with `error`.
  void FailNextOpen(std::string_view path, Error error);
  // Every input opened from now on fails with `error` once it has delivered `bytes` bytes.
  void FailReadsAfter(std::size_t bytes, Error error);
  // Inputs deliver their bytes in pieces of at most `size` bytes, so tests reach the line rule's
  // buffer edges.
  void SetChunkSize(std::size_t size) { chunkSize_ = size; }

  // Number of inputs and outputs currently open.
  int OpenCount() const noexcept { return *openCount_; }

 private:
  class Input;
  class Output;

  static std::string Key(std::string_view path);
  bool FolderExists(const std::string& key) const;
  void CheckOpen(const std::string& key);

  std::map<std::string, std::shared_ptr<std::string>> files_;
  std::set<std::string> folders_;
  std::map<std::string, Error> openFailures_;
  std::optional<std::pair<std::size_t, Error>> readFailure_;
  std::size_t chunkSize_ = 4096;
  std::shared_ptr<int> openCount_ = std::make_shared<int>(0);
};

}  // namespace platform::testing
