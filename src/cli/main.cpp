// nord5-cli: a headless front end to the configurator's engine, for scripting, batch work and tests.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"

namespace nord5::cli {

namespace {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

Registrar::Registrar(Command c) { Registry().push_back(c); }
const std::vector<Command>& Commands() { return Registry(); }

Options::Options(const std::vector<std::string>& args) : rest_(args) {}

bool Options::Flag(const std::string& name) {
  auto it = std::find(rest_.begin(), rest_.end(), "--" + name);
  if (it == rest_.end()) return false;
  rest_.erase(it);
  return true;
}

bool Options::Value(const std::string& name, std::string& out) {
  auto it = std::find(rest_.begin(), rest_.end(), "--" + name);
  if (it == rest_.end()) return false;
  if (it + 1 == rest_.end()) {
    missing_value = true;
    rest_.erase(it);
    return false;
  }
  out = *(it + 1);
  rest_.erase(it, it + 2);
  return true;
}

std::string Options::Unknown() const {
  for (const auto& a : rest_)
    if (a.size() > 2 && a.rfind("--", 0) == 0) return a;
  return {};
}

}  // namespace nord5::cli

static void Usage(FILE* out) {
  std::fprintf(out, "usage: nord5-cli COMMAND [ARGS...]\n\ncommands:\n");
  auto commands = nord5::cli::Commands();
  std::sort(commands.begin(), commands.end(),
            [](const auto& a, const auto& b) { return std::string(a.name) < b.name; });
  for (const auto& c : commands) std::fprintf(out, "  %-14s %s\n", c.name, c.usage);
}

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "help") {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? nord5::cli::kExitUsage : nord5::cli::kExitOk;
  }
  // Common options may stand before the command (nord5-cli --port P read-config --out F): the
  // command is the first argument that names one, and every other argument goes to it in order.
  std::vector<std::string> all(argv + 1, argv + argc);
  for (std::size_t i = 0; i < all.size(); ++i) {
    for (const auto& c : nord5::cli::Commands()) {
      if (all[i] != c.name) continue;
      std::vector<std::string> args(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(i));
      args.insert(args.end(), all.begin() + static_cast<std::ptrdiff_t>(i) + 1, all.end());
      return c.run(args);
    }
  }
  const std::string name = all.front();
  std::fprintf(stderr, "nord5-cli: unknown command \"%s\"\n", name.c_str());
  Usage(stderr);
  return nord5::cli::kExitUsage;
}
