// Property-bag files: a bag in its JSON form (runtime/PropertyBag.h) kept in a file of its own.
//
// Keeps: reading a whole bag file; replacing one whole: the file is written to a temporary file in
// the same folder and renamed over the old one, so a process that dies while saving never leaves a
// half-written bag. A replaced file keeps its permissions; a new one gets those the umask gives.
// Leaves out: locking (two writers of one bag: the last rename wins, each file complete).
//
// Backend: platform/linux/PropertyBagFile.cpp.
#pragma once

#include <filesystem>

#include "runtime/PropertyBag.h"

namespace platform {

// Reads a bag file: Error 53 when it does not exist, 75 when it cannot be read, err::BadPropertyBag
// when its content is not a bag. Writes a bag file atomically (temporary file and rename); Error 75
// (with the system's reason) when that fails, leaving any earlier file as it was.
MemoryPropertyBag ReadPropertyBagFile(const std::filesystem::path& path);
void WritePropertyBagFile(const std::filesystem::path& path, const MemoryPropertyBag& bag);

}  // namespace platform
