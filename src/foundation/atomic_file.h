// Writing a whole file so that a crash or a full disk never leaves a half-written file in place of
// the old one: the bytes go to a new file beside it, are flushed to the disk, and the new file is
// renamed over the old one. Settings, configuration files, menu files and logs all go through here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace nord5 {

// Runs after the data is flushed to the temporary file and before the rename; returning false
// abandons the write there (the temporary file is removed, the old file stays). Tests use it to
// show what a crash at that moment leaves behind.
using BeforeReplaceHook = std::function<bool(const std::string& temp_path)>;

// False when the file cannot be written; the old file, if any, is then unchanged. An existing
// file that is read-only (by its mode bits, also for the superuser) or is not a regular file is
// never replaced. A symbolic link is written through to the file it names.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         const BeforeReplaceHook& before_replace = {});

// The folder part of a path including its last '/', or "" for a bare name.
std::string FolderOf(const std::string& path);
// The folder of the running program ("" when unknown).
std::string ProgramFolder();

}  // namespace nord5
