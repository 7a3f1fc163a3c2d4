// Writing a whole file so that a crash or a full disk never leaves a half-written file in place of
// the old one: the bytes go to a temporary file beside it, which then replaces it.
#pragma once

#include <cstddef>
#include <string>

namespace nord5 {

// False when the file cannot be written; the old file, if any, is then unchanged. An existing file
// that is not writable is not replaced.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// The folder part of a path including its last '/', or "" for a bare name.
std::string FolderOf(const std::string& path);
// The folder of the running program ("" when unknown).
std::string ProgramFolder();

}  // namespace nord5
