// The user-visible texts of the parameter model and the files.
#pragma once

namespace nord5::texts {

inline constexpr const char* kBadParameters = "Bad parameters";
inline constexpr const char* kPlaceholder = "XXXXXX";
inline constexpr const char* kNotValidFloat = "'%s' is not a valid floating point value";
inline constexpr const char* kWrongFileLength = "Wrong file length";
inline constexpr const char* kBadFileCrc = "Bad file CRC";
inline constexpr const char* kFileExists = "File name exists.\r\"%s\"\r rewrite?";
// A save that cannot write its file says so (the old file stays as it was).
inline constexpr const char* kCantWriteFile = "Can't write file \"%s\"";
inline constexpr const char* kTimeWindowMask = "!00:00-00:00;1;_";

}  // namespace nord5::texts
