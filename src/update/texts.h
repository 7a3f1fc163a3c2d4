// The updater's own texts.
#pragma once

namespace nord5::update {

inline constexpr const char* kNewVersionQuestion = "Detected new program version v%s. Update?";
inline constexpr const char* kNotDetected = "New program version not detected";
inline constexpr const char* kRebootQuestion = "Reboot program now ?";
inline constexpr const char* kBadSignature =
    "The downloaded program is not signed correctly. Nothing was installed.";
inline constexpr const char* kNotInstallable =
    "The new program version was saved as \"%s\". It was not installed, because the program's "
    "folder cannot be written.";
inline constexpr const char* kDescriptionFileName = "VARMELINOX_NORD5_User_config.txt";
// Folder of the update material on the file server.
inline constexpr const char* kServerFolder = "VARMELINOX/";
inline constexpr const char* kUpdateSubfolder = "updates/";

}  // namespace nord5::update
