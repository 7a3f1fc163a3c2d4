// Writing a whole file so that a crash or a full disk never leaves a half-written file in place of
// the old one: the bytes go to a new file beside it, are flushed to the disk, and the new file is
// renamed over the old one. Settings, configuration files, menu files and logs all go through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace nord5 {

// Runs after the data is flushed to the temporary file and before the rename; returning false
// abandons the write there (the temporary file is removed, the old file stays). Tests use it to
// show what a crash at that moment leaves behind.
using BeforeReplaceHook = std::function<bool(const std::string& temp_path)>;

// False when the file cannot be written; the old file, if any, is then unchanged. An existing
// file that is read-only (by its mode bits, also for the superuser) or is not a regular file is
// never replaced. A symbolic link is written through to the file it names. Temporary files of the
// same file left behind by a process that died in the middle of a write (`<name>.tmp<pid>-<n>`,
// the process no longer running) are removed first.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         const BeforeReplaceHook& before_replace = {});

enum class FileReadError : std::uint8_t {
  None = 0,
  Missing = 1,     // no such file
  NotRegular = 2,  // a folder, a FIFO, a device, a socket
  TooLong = 3,     // more than the bytes asked for
  Unreadable = 4,  // no permission, an I/O error
};

// The whole content of a regular file of at most `max_size` bytes, read without ever blocking: a
// FIFO, a device or a folder is refused before it is opened (and a file that turns into one
// between the check and the open is refused as well), and no more than `max_size` + 1 bytes are
// read. Nothing when the file cannot be read; `error` (if given) says why.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t max_size,
                                           FileReadError* error = nullptr);

// The folder part of a path including its last '/', or "" for a bare name.
std::string FolderOf(const std::string& path);
// The folder of the running program ("" when unknown).
std::string ProgramFolder();

}  // namespace nord5
