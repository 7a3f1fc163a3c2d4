// Opening a file or a web address with the program the desktop associates with it.
#pragma once

#include <string>
#include <vector>

namespace nord5 {

class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool Open(const std::string& path_or_url) = 0;
};

// Runs xdg-open in the background.
class XdgShell final : public Shell {
 public:
  bool Open(const std::string& path_or_url) override;
};

class RecordingShell final : public Shell {
 public:
  bool Open(const std::string& path_or_url) override {
    opened.push_back(path_or_url);
    return result;
  }
  std::vector<std::string> opened;
  bool result = true;
};

}  // namespace nord5
