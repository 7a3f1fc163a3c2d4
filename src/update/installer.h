// The installer: a POSIX shell script, written beside the downloaded program, that waits until
// the running program has ended, keeps the old program in the update folder, puts the new one
// in its place, starts it in its folder and deletes itself.
#pragma once

#include <string>
#include <string_view>

namespace nord5::update {

struct InstallerPlan {
  std::string program_path;   // the running program (real path)
  std::string update_folder;  // ends with '/'
  std::string version;        // the running program's file version
  std::string new_file;       // the downloaded program
  std::string script_path;    // where the script goes
  long pid = 0;               // the running program's process id
};

// `text` as one shell word that the shell takes literally: 'it'\''s'.
std::string ShellQuote(std::string_view text);

// The script text for `plan`.
std::string InstallerScript(const InstallerPlan& plan);

// Writes the script (owner-only permissions); false when it cannot be written.
bool WriteInstaller(const InstallerPlan& plan);

// Starts the script with /bin/sh in its own session, with no terminal and no output; returns
// the process id, or -1.
long StartInstaller(const std::string& script_path);

// The real path of the running program ("/usr/local/bin/nord5-config").
std::string RunningProgramPath();

// Whether files can be created and replaced in `folder`.
bool FolderWritable(const std::string& folder);

}  // namespace nord5::update
