// The update check: a worker thread that reads the update description, refreshes the help files
// and downloads and prepares a new program; the service that starts it, the timer that starts
// the automatic checks, and the window side the worker talks to.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/dialogs.h"
#include "foundation/dispatcher.h"
#include "foundation/timers.h"
#include "update/deployment.h"
#include "update/description.h"
#include "update/download.h"

namespace nord5::update {

// Check types.
inline constexpr int kAutomaticCheck = 0;
inline constexpr int kDownloadProgram = 1;  // "Download program" in the about window
inline constexpr int kManualCheck = 2;      // "Check update", "Check new version"

inline constexpr std::int64_t kFirstCheckMs = 3000;
inline constexpr std::int64_t kCheckIntervalMs = 1209600000;  // 14 days

// The window side of a check. Every call runs on the GUI thread.
class UpdateWindows {
 public:
  virtual ~UpdateWindows() = default;
  virtual void CreateDownloadingWindow() = 0;
  virtual void CloseDownloadingWindow() = 0;
  // `web`: the total comes with every report (HTTP); otherwise it is the file size the file
  // server gave at the start (FTP).
  virtual void DownloadProgress(std::int64_t done, std::int64_t total, bool web) = 0;
  virtual void CloseAboutWindow() = 0;
  // Help item 1 (LT), 2 (EN) or 3 (RU) of the main window becomes visible.
  virtual void ShowHelpItem(int tag) = 0;
};

// The update timer: periodic, 3000 ms at first, enabled by the setting "Autoupdate".
class TUpdataTimer {
 public:
  TUpdataTimer(Timers& timers, std::function<void()> on_tick);
  ~TUpdataTimer();
  TUpdataTimer(const TUpdataTimer&) = delete;
  TUpdataTimer& operator=(const TUpdataTimer&) = delete;
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  void SetInterval(std::int64_t ms);
  std::int64_t Interval() const { return interval_; }

 private:
  void Restart();
  Timers& timers_;
  std::function<void()> on_tick_;
  std::int64_t interval_ = kFirstCheckMs;
  bool enabled_ = false;
  TimerId id_ = 0;
};

// Reads "Autoupdate" (default true).
bool AutoupdateSetting();

struct UpdateEnvironment {
  Dispatcher* dispatcher = nullptr;
  Dialogs* dialogs = nullptr;  // used on the GUI thread only
  UpdateWindows* windows = nullptr;
  Timers* timers = nullptr;
  Deployment deployment;
  std::string program_path;  // the running program's real path
  std::string file_version;  // its file version text ("1.0.0.0")
  long pid = 0;              // its process id (the installer waits for it to end)
  DownloadTimeouts timeouts;
};

class TUpdateService;
class TUpdateThread;

// The download routine in use: source address, local file, show the window (always false
// here); returns success. A member pointer, so that a routine may switch it while it runs.
using TDownloadProccess = bool (TUpdateThread::*)(const std::string& SourceName,
                                                  const std::string& DestName, bool ShowDWForm);

// One check, run once on its own thread.
class TUpdateThread {
 public:
  TUpdateThread(TUpdateService& service, int type);
  ~TUpdateThread();
  void Start();
  void Terminate();  // asks the check to stop at the next occasion
  void Join();
  int UpdateType() const { return UpdateType_; }

  // The two download routines (public for the tests of the fallback rules).
  bool FileServerDownload(const std::string& SourceName, const std::string& DestName,
                          bool ShowDWForm);
  bool WebDownload(const std::string& SourceName, const std::string& DestName, bool ShowDWForm);

 private:
  void Execute();
  void Check();
  // Runs `fn` on the GUI thread and waits for it; false when the check was terminated first.
  bool Synchronize(std::function<void()> fn);
  MsgResult Ask(const std::string& text, MsgButtons buttons, MsgIcon icon = MsgIcon::Information);
  void CloseDownloadingWindowIfExists();
  bool Fetch(FetchRequest request, bool web);
  void NotDetected();

  TUpdateService& service_;
  const int UpdateType_;
  TDownloadProccess DownloadProccess = &TUpdateThread::FileServerDownload;
  std::string SFileName;
  std::string NewFileName;
  bool downloading_window_ = false;
  struct Sync {
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<bool> terminated{false};
  };
  std::shared_ptr<Sync> sync_ = std::make_shared<Sync>();
  std::thread thread_;
};

// Starts checks (one at a time), owns the update timer and remembers the prepared installer.
// Lives on the GUI thread.
class TUpdateService {
 public:
  explicit TUpdateService(UpdateEnvironment env);
  ~TUpdateService();  // asks a running check to terminate and waits for it

  // Starts a check of `type` unless one runs; returns whether it started.
  bool StartCheck(int type);
  bool Running() const { return worker_ != nullptr; }
  // Path of the prepared installer script; empty until a check prepared one.
  std::string InstallerFileName() const;
  void ForgetInstaller();
  void SetInstallerFileName(const std::string& path);
  // The release-notes document named by the last description (or read from the settings).
  std::string ReleaseNotesName() const;
  void SetReleaseNotesName(const std::string& name);
  // The data folder + "updates/".
  std::string UpdateFolder() const;

  TUpdataTimer& Timer() { return timer_; }
  // The about window disables the automatic check while it is open.
  void AboutWindowOpened();
  void AboutWindowClosed();
  bool AboutWindowOpen() const { return about_open_; }

  const UpdateEnvironment& Environment() const { return env_; }
  // Called (on the GUI thread) whenever a check starts or ends.
  void AddStateListener(const void* owner, std::function<void()> fn);
  void RemoveStateListener(const void* owner);

 private:
  friend class TUpdateThread;
  void WorkerEnded();
  void NotifyState();

  UpdateEnvironment env_;
  TUpdataTimer timer_;
  std::unique_ptr<TUpdateThread> worker_;
  bool about_open_ = false;
  mutable std::mutex mutex_;
  std::string installer_;
  std::string release_notes_;
  std::vector<std::pair<const void*, std::function<void()>>> listeners_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace nord5::update
