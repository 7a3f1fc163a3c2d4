#include "update/update_service.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "foundation/settings.h"
#include "update/installer.h"
#include "update/signature.h"
#include "update/texts.h"

namespace nord5::update {
namespace {

namespace fs = std::filesystem;

std::string Format(const char* pattern, const std::string& value) {
  std::string s = pattern;
  const auto at = s.find("%s");
  if (at != std::string::npos) s.replace(at, 2, value);
  return s;
}

// Creates the folder readable by the user only (and makes an existing one so).
bool MakePrivateFolder(const std::string& folder) {
  std::error_code ec;
  const fs::path p(folder);
  fs::create_directories(p.parent_path().parent_path(), ec);
  if (::mkdir(p.parent_path().c_str(), 0700) != 0 && errno != EEXIST) return false;
  if (!fs::is_directory(p, ec)) return false;
  ::chmod(p.parent_path().c_str(), 0700);
  return true;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

}  // namespace

bool AutoupdateSetting() {
  return SettingsValue(SettingsMode::Read, "Autoupdate", SettingsDefault(true)).AsBool();
}

// ---- timer

TUpdataTimer::TUpdataTimer(Timers& timers, std::function<void()> on_tick)
    : timers_(timers), on_tick_(std::move(on_tick)) {}

TUpdataTimer::~TUpdataTimer() {
  if (id_) timers_.Stop(id_);
}

void TUpdataTimer::SetEnabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  Restart();
}

void TUpdataTimer::SetInterval(std::int64_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void TUpdataTimer::Restart() {
  if (id_) timers_.Stop(id_);
  id_ = 0;
  if (enabled_) id_ = timers_.Start(interval_, true, [this] { on_tick_(); });
}

// ---- worker

TUpdateThread::TUpdateThread(TUpdateService& service, int type)
    : service_(service), UpdateType_(type) {}

TUpdateThread::~TUpdateThread() {
  Terminate();
  Join();
}

void TUpdateThread::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void TUpdateThread::Terminate() {
  {
    std::lock_guard lock(sync_->mutex);
    sync_->terminated = true;
  }
  sync_->cv.notify_all();
}

void TUpdateThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void TUpdateThread::Execute() {
  try {
    Check();
  } catch (const std::exception&) {
    // A failure that the check does not handle itself ends it silently.
  }
  std::weak_ptr<bool> alive = service_.alive_;
  TUpdateService* service = &service_;
  service_.env_.dispatcher->Post([alive, service] {
    if (alive.lock()) service->WorkerEnded();
  });
}

bool TUpdateThread::Synchronize(std::function<void()> fn) {
  auto sync = sync_;
  auto done = std::make_shared<bool>(false);
  service_.env_.dispatcher->Post([sync, done, fn = std::move(fn)] {
    if (!sync->terminated) fn();
    std::lock_guard lock(sync->mutex);
    *done = true;
    sync->cv.notify_all();
  });
  std::unique_lock lock(sync->mutex);
  sync->cv.wait(lock, [&] { return *done || sync->terminated.load(); });
  return *done && !sync->terminated;
}

MsgResult TUpdateThread::Ask(const std::string& text, MsgButtons buttons, MsgIcon icon) {
  auto result = std::make_shared<MsgResult>(MsgResult::Cancel);
  Dialogs* dialogs = service_.env_.dialogs;
  Synchronize([=] { *result = dialogs->Message(text, icon, buttons); });
  return *result;
}

void TUpdateThread::CloseDownloadingWindowIfExists() {
  if (!downloading_window_) return;
  downloading_window_ = false;
  UpdateWindows* w = service_.env_.windows;
  Synchronize([w] { w->CloseDownloadingWindow(); });
}

void TUpdateThread::NotDetected() {
  if (UpdateType_ == kDownloadProgram || UpdateType_ == kManualCheck)
    Ask(kNotDetected, MsgButtons::Ok);
}

bool TUpdateThread::Fetch(FetchRequest r, bool web) {
  r.timeouts = service_.env_.timeouts;
  r.cancel = &sync_->terminated;
  if (downloading_window_) {
    // Reports go to the window on the GUI thread, one per percent at most.
    auto last = std::make_shared<int>(-1);
    std::weak_ptr<bool> alive = service_.alive_;
    UpdateWindows* w = service_.env_.windows;
    Dispatcher* d = service_.env_.dispatcher;
    r.progress = [=](std::int64_t done, std::int64_t total) {
      const int percent = total > 0 ? static_cast<int>(done * 100 / total) : -2;
      if (percent == *last) return;
      *last = percent;
      d->Post([alive, w, done, total, web] {
        if (alive.lock()) w->DownloadProgress(done, total, web);
      });
    };
  }
  return nord5::update::Fetch(r);
}

bool TUpdateThread::FileServerDownload(const std::string& SourceName, const std::string& DestName,
                                       bool ShowDWForm) {
  const Deployment& dep = service_.env_.deployment;
  bool ok = false;
  if (!dep.FtpHost.empty()) {
    FetchRequest r;
    r.url =
        FtpUrl(dep.FtpHost, std::string(kServerFolder) + fs::path(DestName).filename().string());
    r.dest = DestName;
    r.user = dep.FtpUser;
    r.password = dep.FtpPassword;
    r.ftp = true;
    ok = Fetch(r, false);
  }
  if (!ok && !sync_->terminated) {
    // The file server failed once: the rest of this check uses the web addresses.
    DownloadProccess = &TUpdateThread::WebDownload;
    ok = WebDownload(SourceName, DestName, ShowDWForm);
  }
  CloseDownloadingWindowIfExists();
  return ok;
}

bool TUpdateThread::WebDownload(const std::string& SourceName, const std::string& DestName, bool) {
  bool ok = false;
  if (!SourceName.empty()) {
    FetchRequest r;
    r.url = SourceName + "?dl=1";
    r.dest = DestName;
    for (int attempt = 0; attempt < service_.env_.timeouts.web_attempts && !ok; ++attempt) {
      if (sync_->terminated) break;
      ok = Fetch(r, true);
    }
  }
  CloseDownloadingWindowIfExists();
  return ok;
}

void TUpdateThread::Check() {
  const UpdateEnvironment& env = service_.env_;
  const std::string folder = service_.UpdateFolder();
  const std::string data = DataFolder();
  auto stopped = [this] { return sync_->terminated.load(); };

  if (!MakePrivateFolder(folder)) return;
  if (env.deployment.DescriptionUrl.empty()) return NotDetected();

  // The description.
  const std::string desc_path = folder + kDescriptionFileName;
  if (!(this->*DownloadProccess)(env.deployment.DescriptionUrl, desc_path, false))
    return stopped() ? void() : NotDetected();
  const auto desc = ReadUpdateDescription(desc_path);
  std::error_code ec;
  fs::remove(desc_path, ec);
  if (!desc) return NotDetected();
  const UpdateDescription& d = *desc;
  service_.SetReleaseNotesName(d.UpdateDescriptionFile);

  // Release notes.
  if (!d.UpdateDescriptionFile.empty()) {
    const std::string local = folder + d.UpdateDescriptionFile;
    if ((this->*DownloadProccess)(d.LinkUpdateDescriptionFile, local, false))
      SettingsValue(SettingsMode::Write, "UpdateDescriptionFile", local);
  }
  if (stopped()) return;

  // Help files: fetched again when the version or the file changed, or the file is gone.
  for (std::size_t i = 0; i < kHelpLanguages.size(); ++i) {
    if (d.HelpFile[i].empty()) continue;
    const std::string lang = kHelpLanguages[i];
    const std::string version_key = "HelpFileVersion" + lang;
    const std::string path_key = "HelpFile" + lang;
    const std::string local = data + d.HelpFile[i];
    const auto stored_version = SettingsValue(SettingsMode::Read, version_key, 0).AsInt();
    const std::string stored_path = SettingsValue(SettingsMode::Read, path_key, "").Text();
    if (stored_version == d.HelpFileVersion[i] && stored_path == local && FileExists(local))
      continue;
    (this->*DownloadProccess)(d.LinkHelpFile[i], local, false);
    if (stopped()) return;
    SettingsValue(SettingsMode::Write, version_key,
                  SettingsDefault(static_cast<std::int64_t>(d.HelpFileVersion[i])));
    SettingsValue(SettingsMode::Write, path_key, local);
    if (FileExists(local)) {
      UpdateWindows* w = env.windows;
      const int tag = static_cast<int>(i) + 1;
      Synchronize([w, tag] { w->ShowHelpItem(tag); });
    }
  }
  if (stopped()) return;

  // Is there a new program? Versions are texts: any other text than ours counts as new.
  SFileName = d.FileName;
  const bool manual = UpdateType_ == kDownloadProgram || UpdateType_ == kManualCheck;
  if (manual && SFileName.empty()) return NotDetected();
  if (UpdateType_ != kDownloadProgram && d.Version == env.file_version) return NotDetected();
  if (SFileName.empty()) return;

  if (UpdateType_ != kDownloadProgram &&
      Ask(Format(kNewVersionQuestion, d.Version), MsgButtons::YesNo) != MsgResult::Yes)
    return;
  NewFileName = folder + SFileName;
  if (UpdateType_ == kDownloadProgram) {
    FileDialogRequest request;
    request.Save = true;
    request.Folder = folder;
    request.FileName = SFileName;
    auto chosen = std::make_shared<std::optional<FileDialogResult>>();
    Dialogs* dialogs = env.dialogs;
    Synchronize([=] { *chosen = dialogs->FileDialog(request); });
    if (!*chosen || (*chosen)->Path.empty()) return;
    NewFileName = (*chosen)->Path;
  }

  UpdateWindows* w = env.windows;
  if (!Synchronize([w] { w->CreateDownloadingWindow(); })) return;
  downloading_window_ = true;
  const bool ok = (this->*DownloadProccess)(d.LinkFileName, NewFileName, false);
  CloseDownloadingWindowIfExists();
  if (!ok || stopped()) return;

  if (!env.deployment.PublicKey.empty() &&
      !VerifyFileSignature(NewFileName, d.Signature, env.deployment.PublicKey)) {
    fs::remove(NewFileName, ec);
    Ask(kBadSignature, MsgButtons::Ok, MsgIcon::Error);
    return;
  }
  Synchronize([w] { w->CloseAboutWindow(); });

  const fs::path program(env.program_path);
  if (env.program_path.empty() || !FolderWritable(program.parent_path().string())) {
    // An installed package: the program cannot replace itself, the user gets the file.
    Ask(Format(kNotInstallable, NewFileName), MsgButtons::Ok);
    return;
  }
  if (UpdateType_ == kDownloadProgram && Ask(kRebootQuestion, MsgButtons::YesNo) != MsgResult::Yes)
    return;

  InstallerPlan plan;
  plan.program_path = env.program_path;
  plan.update_folder = folder;
  plan.version = env.file_version;
  plan.new_file = NewFileName;
  plan.script_path = folder + program.filename().string() + ".sh";
  plan.pid = env.pid;
  if (stopped() || !WriteInstaller(plan)) return;
  SFileName = plan.script_path;
  service_.SetInstallerFileName(SFileName);
}

// ---- service

TUpdateService::TUpdateService(UpdateEnvironment env)
    : env_(std::move(env)), timer_(*env_.timers, [this] { StartCheck(kAutomaticCheck); }) {
  timer_.SetEnabled(AutoupdateSetting());
}

TUpdateService::~TUpdateService() {
  if (worker_) {
    worker_->Terminate();
    worker_->Join();
    worker_.reset();
  }
  alive_.reset();
}

std::string TUpdateService::UpdateFolder() const { return DataFolder() + kUpdateSubfolder; }

bool TUpdateService::StartCheck(int type) {
  if (worker_) return false;
  worker_ = std::make_unique<TUpdateThread>(*this, type);
  timer_.SetEnabled(false);
  worker_->Start();
  NotifyState();
  return true;
}

void TUpdateService::WorkerEnded() {
  if (worker_) {
    worker_->Join();
    worker_.reset();
  }
  timer_.SetInterval(kCheckIntervalMs);
  timer_.SetEnabled(AutoupdateSetting() && !about_open_);
  NotifyState();
}

void TUpdateService::AboutWindowOpened() {
  about_open_ = true;
  timer_.SetEnabled(false);
}

void TUpdateService::AboutWindowClosed() {
  about_open_ = false;
  timer_.SetEnabled(AutoupdateSetting() && !Running());
}

std::string TUpdateService::InstallerFileName() const {
  std::lock_guard lock(mutex_);
  return installer_;
}

void TUpdateService::SetInstallerFileName(const std::string& path) {
  std::lock_guard lock(mutex_);
  installer_ = path;
}

void TUpdateService::ForgetInstaller() { SetInstallerFileName({}); }

std::string TUpdateService::ReleaseNotesName() const {
  std::lock_guard lock(mutex_);
  return release_notes_;
}

void TUpdateService::SetReleaseNotesName(const std::string& name) {
  std::lock_guard lock(mutex_);
  release_notes_ = name;
}

void TUpdateService::AddStateListener(const void* owner, std::function<void()> fn) {
  listeners_.emplace_back(owner, std::move(fn));
}

void TUpdateService::RemoveStateListener(const void* owner) {
  std::erase_if(listeners_, [owner](const auto& l) { return l.first == owner; });
}

void TUpdateService::NotifyState() {
  const auto copy = listeners_;
  for (const auto& [owner, fn] : copy) fn();
}

}  // namespace nord5::update
