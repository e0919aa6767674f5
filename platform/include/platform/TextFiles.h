// Sequential text files: a file opened for input and read line by line, or opened for output
// (created, or emptied when it exists) and written.
//
// Keeps: the line rule of line input (a line ends at CR or at CR LF, or at the end of the file; a
// lone LF belongs to the line; the end is reached after the last line, so a file ending in CR LF has
// no empty last line); text passes byte for byte (the ANSI code page is UTF-8 here); paths as the
// system writes them (drive letters, "\", relative paths; see DrivePaths.h). Failures are the
// platform's file errors: 53 File not found, 76 Path not found (a missing folder or an unmapped
// drive), 70 Permission denied, 75 Path/File access error (a folder, an empty path), 62 Input past end
// of file, 57 Device I/O error, 61 Disk full.
// Leaves out: Append, Random and Binary modes, file numbers, Input # with its comma-separated
// fields, Seek, sharing modes and locks.
//
// Backends:
//   - OpenHostTextFiles(drives): the host's file system, paths mapped through `drives`, which must
//     outlive the returned object.
//   - platform::testing::MemoryTextFiles (platform/testing): files and folders in memory, paths
//     compared without regard to ASCII case with "\" and "/" alike, and injected failures.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/DrivePaths.h"

namespace platform {

// A file opened for sequential input.
class TextInput {
 public:
  virtual ~TextInput() = default;
  // True when no line is left (EOF).
  virtual bool AtEnd() = 0;
  // The next line without its terminator (Line Input). Error 62 when no line is left.
  virtual std::string ReadLine() = 0;
  // Closes the file; further reads are errors. Closing twice does nothing.
  virtual void Close() = 0;
};

// A file opened for sequential output.
class TextOutput {
 public:
  virtual ~TextOutput() = default;
  // Writes `text` as it is (Print # with a trailing ";").
  virtual void Write(std::string_view text) = 0;
  // Writes `text` and CR LF (Print #).
  void WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
  }
  // Writes what is buffered and closes the file; a failure here is the write's error. Closing twice
  // does nothing. An output destroyed without Close closes itself and drops any error.
  virtual void Close() = 0;
};

class TextFiles {
 public:
  virtual ~TextFiles() = default;
  virtual std::unique_ptr<TextInput> OpenForInput(std::string_view path) = 0;
  virtual std::unique_ptr<TextOutput> OpenForOutput(std::string_view path) = 0;
};

std::unique_ptr<TextFiles> OpenHostTextFiles(const DrivePaths& drives);

}  // namespace platform
