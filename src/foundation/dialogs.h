// Message boxes and file dialogs. The core asks; the window (or a script in tests) answers.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace nord5 {

enum class MsgIcon : std::uint8_t { Error = 0, Warning = 1, Information = 2, Question = 3 };
enum class MsgButtons : std::uint8_t { Ok = 0, YesNo = 1, OkCancel = 2 };
enum class MsgResult : std::uint8_t { Ok = 0, Yes = 1, No = 2, Cancel = 3 };

struct FileDialogRequest {
  bool Save = false;
  std::string Title;
  std::string Folder;        // initial folder
  std::string FileName;      // initial file name
  std::string Filter;        // "Config files (*.meterConfig)|*.meterConfig"
  std::string DefaultExt;    // "meterConfig"
  int FilterIndex = 1;       // 1-based
};

struct FileDialogResult {
  std::string Path;
  int FilterIndex = 1;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal message box; returns the button pressed. `default_no` makes No the default button.
  virtual MsgResult Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                            bool default_no = false) = 0;
  // Modal file dialog; empty when cancelled.
  virtual std::optional<FileDialogResult> FileDialog(const FileDialogRequest& request) = 0;

  // The message box with a smaller detail text under the message (the operating system's reason,
  // say). Boxes without a place for it show the text alone.
  virtual MsgResult MessageWithDetail(const std::string& text, const std::string& /*detail*/,
                                      MsgIcon icon, MsgButtons buttons) {
    return Message(text, icon, buttons);
  }

  void Error(const std::string& text) { Message(text, MsgIcon::Error, MsgButtons::Ok); }
  // An error with a detail text; the plain error when the detail is empty.
  void Error(const std::string& text, const std::string& detail) {
    if (detail.empty())
      Error(text);
    else
      MessageWithDetail(text, detail, MsgIcon::Error, MsgButtons::Ok);
  }
  void Info(const std::string& text) { Message(text, MsgIcon::Information, MsgButtons::Ok); }
  bool AskYesNo(const std::string& text, bool default_no = false) {
    return Message(text, MsgIcon::Warning, MsgButtons::YesNo, default_no) == MsgResult::Yes;
  }
};

// Dialogs for tests: records every message and answers from a script (Yes by default for
// questions, Ok for the rest); file dialogs answer with queued paths, or cancel when none is left.
class ScriptedDialogs final : public Dialogs {
 public:
  struct Shown {
    std::string Text;
    MsgIcon Icon;
    MsgButtons Buttons;
    std::string Detail = {};
  };
  MsgResult Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                    bool default_no = false) override;
  MsgResult MessageWithDetail(const std::string& text, const std::string& detail, MsgIcon icon,
                              MsgButtons buttons) override;
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest& request) override;

  void QueueAnswer(MsgResult r) { answers.push_back(r); }
  void QueueFile(std::string path, int filter_index = 1) {
    files.push_back(FileDialogResult{std::move(path), filter_index});
  }
  std::vector<std::string> Texts() const;

  std::vector<Shown> shown;
  std::vector<FileDialogRequest> file_requests;
  std::deque<MsgResult> answers;
  std::deque<FileDialogResult> files;
};

}  // namespace nord5
