// nord5-cli commands register themselves here; main.cpp finds them by name.
#pragma once

#include <string>
#include <vector>

namespace nord5::cli {

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;        // unknown command or option
inline constexpr int kExitCantOpen = 2;     // "Can't open COM port"
inline constexpr int kExitNoAnswer = 3;     // "Device can't answer"
inline constexpr int kExitRefused = 4;      // input refused ("Check parameters", "Bad file CRC", ...)
inline constexpr int kExitAnsweredNo = 5;   // the mode check question was answered No

struct Command {
  const char* name;
  const char* usage;  // one line: arguments and options
  // `args` holds everything after the command name.
  int (*run)(const std::vector<std::string>& args);
};

// Registers a command at static initialisation; use through NORD5_CLI_COMMAND.
struct Registrar {
  explicit Registrar(Command c);
};
const std::vector<Command>& Commands();

// Small option helpers: "--name value" pairs and flags, leaving positional arguments.
class Options {
 public:
  explicit Options(const std::vector<std::string>& args);
  bool Flag(const std::string& name);                      // removes "--name" if present
  bool Value(const std::string& name, std::string& out);   // removes "--name V"; false if absent
  const std::vector<std::string>& Positional() const { return rest_; }
  // Whatever option is left that no command asked for; empty when all were taken.
  std::string Unknown() const;
  bool missing_value = false;  // an option was given without its value

 private:
  std::vector<std::string> rest_;
};

}  // namespace nord5::cli

#define NORD5_CLI_CONCAT2(a, b) a##b
#define NORD5_CLI_CONCAT(a, b) NORD5_CLI_CONCAT2(a, b)
#define NORD5_CLI_COMMAND(...) \
  static ::nord5::cli::Registrar NORD5_CLI_CONCAT(nord5_cli_registrar_, __LINE__)(::nord5::cli::Command{__VA_ARGS__})
