// The scratch files of the file fuzz targets: one input file and one settings file per process in
// /dev/shm, removed when the fuzzer exits.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/settings.h"

namespace nord5::fuzz {

// The input file "/dev/shm/nord5-fuzz-<what>-<pid><extension>"; the first call also points the
// settings store at a file beside it. Kept for the whole run (never destroyed before the exit
// handler that removes both).
inline const std::string& ScratchFile(const char* what, const char* extension) {
  static const std::string& path = *new std::string([&] {
    const std::string p =
        std::string("/dev/shm/nord5-fuzz-") + what + "-" + std::to_string(::getpid());
    nord5::SetSettingsFileForTesting(p + ".ini");
    std::atexit([] {
      std::remove(ScratchFile("", "").c_str());
      std::remove(nord5::SettingsFile().c_str());
    });
    return p + extension;
  }());
  return path;
}

}  // namespace nord5::fuzz
