#include "platform/testing/MemoryTextFiles.h"

#include <algorithm>
#include <cstring>

#include "../common/LineInput.h"
#include "runtime/Ascii.h"

namespace platform::testing {

class MemoryTextFiles::Input : public detail::LineInput {
 public:
  Input(std::string content, std::size_t chunkSize, std::optional<std::pair<std::size_t, Error>> failure,
        std::shared_ptr<int> openCount)
      : LineInput(chunkSize),
        content_(std::move(content)),
        failure_(std::move(failure)),
        openCount_(std::move(openCount)) {
    ++*openCount_;
  }
  ~Input() override {
    if (!closed_) --*openCount_;
  }

 protected:
  std::size_t ReadBytes(char* buffer, std::size_t size) override {
    if (failure_ && pos_ >= failure_->first) throw failure_->second;
    std::size_t n = std::min(size, content_.size() - pos_);
    if (failure_) n = std::min(n, failure_->first - pos_);
    std::memcpy(buffer, content_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  void CloseStream() override {
    closed_ = true;
    --*openCount_;
  }

 private:
  std::string content_;
  std::size_t pos_ = 0;
  std::optional<std::pair<std::size_t, Error>> failure_;
  std::shared_ptr<int> openCount_;
  bool closed_ = false;
};

class MemoryTextFiles::Output : public TextOutput {
 public:
  Output(std::shared_ptr<std::string> file, std::shared_ptr<int> openCount)
      : file_(std::move(file)), openCount_(std::move(openCount)) {
    ++*openCount_;
  }
  ~Output() override { Close(); }
  void Write(std::string_view text) override {
    if (!file_) Raise(52, "Bad file name or number");
    file_->append(text);
  }
  void Close() override {
    if (!file_) return;
    file_.reset();
    --*openCount_;
  }

 private:
  std::shared_ptr<std::string> file_;
  std::shared_ptr<int> openCount_;
};

std::string MemoryTextFiles::Key(std::string_view path) {
  std::string key;
  for (char c : path) {
    if (c == '/') c = '\\';
    c = AsciiToUpper(c);
    if (c == '\\' && (key.empty() || key.back() == '\\')) {
      if (key.empty()) key += c;  // a leading separator stays: "\name" is not a relative path
      continue;
    }
    key += c;
  }
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

bool MemoryTextFiles::FolderExists(const std::string& key) const {
  if (key.empty()) return true;                       // the working folder
  if (key.size() == 2 && key[1] == ':') return true;  // a drive root
  return folders_.count(key) > 0;
}

void MemoryTextFiles::AddFolder(std::string_view path) {
  std::string key = Key(path);
  while (!FolderExists(key)) {
    folders_.insert(key);
    const std::size_t slash = key.rfind('\\');
    key = slash == std::string::npos ? std::string() : key.substr(0, slash);
  }
}

void MemoryTextFiles::Put(std::string_view path, std::string content) {
  const std::string key = Key(path);
  const std::size_t slash = key.rfind('\\');
  if (slash != std::string::npos) AddFolder(key.substr(0, slash));
  files_[key] = std::make_shared<std::string>(std::move(content));
}

std::optional<std::string> MemoryTextFiles::Content(std::string_view path) const {
  const auto it = files_.find(Key(path));
  if (it == files_.end()) return std::nullopt;
  return *it->second;
}

void MemoryTextFiles::FailNextOpen(std::string_view path, Error error) {
  openFailures_.insert_or_assign(Key(path), std::move(error));
}

void MemoryTextFiles::FailReadsAfter(std::size_t bytes, Error error) {
  readFailure_.emplace(bytes, std::move(error));
}

void MemoryTextFiles::CheckOpen(const std::string& key) {
  if (key.empty()) Raise(err::PathFileAccessError);
  if (key.front() == '\\') Raise(err::PathNotFound);
  const auto failure = openFailures_.find(key);
  if (failure != openFailures_.end()) {
    const Error error = failure->second;
    openFailures_.erase(failure);
    throw error;
  }
  if (FolderExists(key)) Raise(err::PathFileAccessError);
}

std::unique_ptr<TextInput> MemoryTextFiles::OpenForInput(std::string_view path) {
  const std::string key = Key(path);
  CheckOpen(key);
  const auto it = files_.find(key);
  if (it == files_.end()) {
    const std::size_t slash = key.rfind('\\');
    Raise(FolderExists(slash == std::string::npos ? std::string() : key.substr(0, slash))
              ? err::FileNotFound
              : err::PathNotFound);
  }
  return std::make_unique<Input>(*it->second, chunkSize_, readFailure_, openCount_);
}

std::unique_ptr<TextOutput> MemoryTextFiles::OpenForOutput(std::string_view path) {
  const std::string key = Key(path);
  CheckOpen(key);
  const std::size_t slash = key.rfind('\\');
  if (!FolderExists(slash == std::string::npos ? std::string() : key.substr(0, slash)))
    Raise(err::PathNotFound);
  auto& file = files_[key];
  file = std::make_shared<std::string>();
  return std::make_unique<Output>(file, openCount_);
}

}  // namespace platform::testing
