#include "foundation/dialogs.h"

namespace nord5 {

MsgResult ScriptedDialogs::Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                                   bool /*default_no*/) {
  shown.push_back(Shown{text, icon, buttons, {}});
  MsgResult fallback = buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
  if (answers.empty()) return fallback;
  const MsgResult r = answers.front();
  answers.pop_front();
  return r;
}

MsgResult ScriptedDialogs::MessageWithDetail(const std::string& text, const std::string& detail,
                                             MsgIcon icon, MsgButtons buttons) {
  const MsgResult r = Message(text, icon, buttons);
  shown.back().Detail = detail;
  return r;
}

std::optional<FileDialogResult> ScriptedDialogs::FileDialog(const FileDialogRequest& request) {
  file_requests.push_back(request);
  if (files.empty()) return std::nullopt;
  auto r = files.front();
  files.pop_front();
  return r;
}

std::vector<std::string> ScriptedDialogs::Texts() const {
  std::vector<std::string> out;
  for (const auto& s : shown) out.push_back(s.Text);
  return out;
}

}  // namespace nord5
