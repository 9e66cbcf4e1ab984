// panelhost's subcommands register themselves here, one source file each, so
// main.cpp stays a list-free dispatcher.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace panelhost::cli {

// Adds the subcommand to `app` and returns what runs it when it was chosen;
// the runner returns the exit status and may throw std::exception.
using CommandSetup = std::function<std::function<int()>(CLI::App& app)>;

struct CommandRegistration {
  CommandRegistration(int order, CommandSetup setup);
};

}  // namespace panelhost::cli

#define PANELHOST_CONCAT2(a, b) a##b
#define PANELHOST_CONCAT(a, b) PANELHOST_CONCAT2(a, b)
// Registers a subcommand; `order` sorts the --help listing.
#define PANELHOST_COMMAND(order, ...)                                                    \
  static const panelhost::cli::CommandRegistration PANELHOST_CONCAT(command_, __LINE__)( \
      order, __VA_ARGS__)
