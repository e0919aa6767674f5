// The main of a fuzz target in ordinary builds: runs every file named on the command line, and every
// file below each folder named there, through LLVMFuzzerTestOneInput once. A target reports a wrong
// result by aborting, so a failing input ends the run with the input's name as the last line
// printed. Exit status 0 when every input ran, 1 when an argument cannot be read or none was found
// (a replay of nothing proves nothing).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Collect(const fs::path& argument, std::vector<fs::path>& files) {
  std::error_code error;
  if (fs::is_directory(argument, error)) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(argument, error)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    if (error) return false;
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
  }
  if (fs::is_regular_file(argument, error)) {
    files.push_back(argument);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], files)) {
      std::fprintf(stderr, "replay: cannot read '%s'\n", argv[i]);
      return 1;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs (usage: %s FILE-OR-FOLDER...)\n", argc > 0 ? argv[0] : "replay");
    return 1;
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) {
      std::fprintf(stderr, "replay: cannot read '%s'\n", file.c_str());
      return 1;
    }
    std::printf("replay: %s\n", file.c_str());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replayed %zu inputs\n", files.size());
  return 0;
}
