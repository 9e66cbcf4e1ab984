// panelhost: a headless host for gauge modules.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>

#include "host/cli/command.h"
#include "host/host.h"
#include "host/render.h"
#include "host/stress.h"
#include "host/validate.h"

namespace {

using panelhost::Error;

const char* kHostRules = R"(Host rules (what the records leave to the host):
  transparency  pure black (0,0,0) pixels of every bitmap are transparent
  needles       the angle is interpolated through the calibration points as seen
                from the pivot, turning clockwise from one point to the next; two
                points at the same spot are a full turn; values beyond the table
                stay at its ends, NaN at the first point
  icons         mode 0: the value is the bitmap index, out of range shows none;
                mode 1: the value clamped to [0, selection parameter];
                mode 3: a negative value (the off state -1) shows none, else the
                value clamped to the last bitmap; before the first update an icon
                shows its first bitmap
  strings       Liberation Mono (metrically Courier New), em height = box height,
                centred on one line in the text colour; a text longer than the
                element's character count is cut there and reported
  sliders       y = position + y scale * y variable; the x variable does not move it
  failures      --fail KEY: bound action 1 freezes the element's value, action 2
                hides it
  mouse         an event hits the first click area (list order) whose box holds
                the point and whose mask has the event's bit: 0x20000000 is a left
                click, 0x00200000 the left button held
  draw flags    checked per kind by validate (1 image, 3 needle/icon/slider,
                6 string); otherwise unused
  default width recorded by list; render draws at the background's own size
)";

int List(const std::string& path) {
  auto module = panelhost::Module::Load(path);
  std::printf("%s: module id 0x%X, %zu gauge(s)\n", path.c_str(), module->linkage()->moduleId,
              module->gauges().size());
  for (gauge::GaugeHeaderBase* h : module->gauges()) {
    std::printf("  %-20s version %u, default width %u\n", h->name, h->version, h->defaultWidth);
  }
  if (const std::string version = module->FileVersion(); !version.empty()) {
    std::printf("  file version %s\n", version.c_str());
  }
  std::printf("  bitmaps:");
  for (std::uint32_t id : module->BitmapIds()) std::printf(" %u", id);
  std::printf("\n");
  return 0;
}

int ValidateAll(const std::vector<std::string>& paths) {
  int failed = 0;
  for (const std::string& path : paths) {
    std::unique_ptr<panelhost::Module> module;
    try {
      module = panelhost::Module::Load(path);
    } catch (const Error& e) {
      std::printf("FAIL module.load: %s\n", e.what());
      ++failed;
      continue;
    }
    const auto findings = panelhost::Validate(*module);
    int fails = 0;
    for (const auto& f : findings) {
      std::printf("%s: %s\n", path.c_str(), panelhost::Describe(f).c_str());
      if (f.outcome == panelhost::Outcome::kFail) ++fails;
    }
    std::printf("%s: %s (%zu gauge(s), %d failure(s))\n", path.c_str(),
                fails == 0 ? "ok" : "FAILED", module->gauges().size(), fails);
    if (fails != 0) ++failed;
  }
  return failed == 0 ? 0 : 1;
}

struct Setting {
  std::uint32_t token;
  double value;
};

Setting ParseSetting(const std::string& text, const char* what) {
  const auto eq = text.find('=');
  try {
    if (eq == std::string::npos) throw std::invalid_argument(text);
    std::size_t used = 0;
    const unsigned long token = std::stoul(text.substr(0, eq), &used, 0);
    if (used != eq || token > 0xFFFFFFFFul) throw std::invalid_argument(text);
    const std::string v = text.substr(eq + 1);
    const double value = std::stod(v, &used);
    if (used != v.size()) throw std::invalid_argument(text);
    return {static_cast<std::uint32_t>(token), value};
  } catch (const std::exception&) {
    throw Error(std::string(what) + " expects NUMBER=VALUE, got \"" + text + "\"");
  }
}

int Render(const std::string& path, const std::string& gaugeName, const std::string& out,
           const std::vector<std::string>& sets, const std::vector<std::string>& words,
           const std::vector<std::uint32_t>& failures, const std::vector<std::string>& clicks,
           int updates) {
  auto module = panelhost::Module::Load(path);
  gauge::GaugeHeaderBase* header = module->FindGauge(gaugeName);
  if (header == nullptr) throw Error(path + ": no gauge named \"" + gaugeName + "\"");
  panelhost::Host host;
  host.Attach(*module);
  for (const auto& s : sets) {
    const Setting setting = ParseSetting(s, "--set");
    host.SetVariable(setting.token, setting.value);
  }
  for (const auto& w : words) {
    const Setting setting = ParseSetting(w, "--word");
    if (setting.token + 4 > panelhost::Host::kDataBlockBytes || setting.token % 4 != 0) {
      throw Error("--word offset " + std::to_string(setting.token) +
                  " is not a word of the data block");
    }
    host.SetDataWord(setting.token, static_cast<std::int32_t>(setting.value));
  }
  for (std::uint32_t key : failures) host.SetFailure(key, true);
  panelhost::Gauge g(host, *module, header);
  g.Start(0);
  for (const auto& c : clicks) {
    int x = 0, y = 0;
    char extra = 0;
    if (std::sscanf(c.c_str(), "%d,%d%c", &x, &y, &extra) != 2) {
      throw Error("--click expects X,Y, got \"" + c + "\"");
    }
    g.Frame();
    g.Click(x, y);
  }
  for (int i = 0; i < updates; ++i) g.Frame();
  panelhost::WritePng(panelhost::RenderGauge(g), out);
  for (const auto& p : host.problems()) std::fprintf(stderr, "panelhost: %s\n", p.c_str());
  g.Kill();
  return 0;
}

}  // namespace

namespace panelhost::cli {
namespace {
std::vector<std::pair<int, CommandSetup>>& Commands() {
  static std::vector<std::pair<int, CommandSetup>> commands;
  return commands;
}
}  // namespace

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  Commands().emplace_back(order, std::move(setup));
}
}  // namespace panelhost::cli

namespace {

PANELHOST_COMMAND(10, [](CLI::App& app) -> std::function<int()> {
  auto path = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand("list", "List a module's gauges and bitmaps");
  cmd->add_option("MODULE", *path, "module binary (.so or .dll)")->required();
  return [cmd, path] { return *cmd ? List(*path) : -1; };
});

struct ValidateOptions {
  std::vector<std::string> paths;
  bool strict = false;
  bool json = false;
  bool inProcess = false;
  std::optional<std::uint32_t> seed;
  panelhost::StrictOptions strictOptions;
};

PANELHOST_COMMAND(20, [](CLI::App& app) -> std::function<int()> {
  auto o = std::make_shared<ValidateOptions>();
  auto* cmd = app.add_subcommand("validate", "Check every record rule of one or more modules");
  cmd->add_option("MODULE", o->paths, "module binaries")->required();
  cmd->add_flag("--strict", o->strict,
                "also run the module's code: hostile values, untouched records, no allocation or "
                "file in value callbacks, life-cycle stress (each check in a child process)");
  cmd->add_flag("--json", o->json, "print the findings as one JSON document");
  cmd->add_option("--seed", o->seed,
                  "seed of the random hostile values (default: a fresh one, printed)");
  cmd->add_option("--timeout", o->strictOptions.timeoutSeconds, "time limit of one check, seconds")
      ->check(CLI::Range(1, 3600));
  cmd->add_option("--check", o->strictOptions.only,
                  "run only checks whose name starts with this (repeatable)")
      ->allow_extra_args(false);  // one name per --check: the module paths follow
  cmd->add_flag("--in-process", o->inProcess,
                "run the checks in panelhost's own process (no crash isolation)");
  return [cmd, o] {
    if (!*cmd) return -1;
    if (!o->strict && !o->json) return ValidateAll(o->paths);
    panelhost::StrictOptions options = o->strictOptions;
    options.strict = o->strict;
    options.isolate = !o->inProcess;
    options.seed = o->seed ? *o->seed : panelhost::FreshSeed();
    return panelhost::RunStrictValidate(o->paths, options, o->json);
  };
});

struct RenderOptions {
  std::string module, gauge, out;
  std::vector<std::string> sets, words, clicks;
  std::vector<std::uint32_t> failures;
  int updates = 1;
};

PANELHOST_COMMAND(30, [](CLI::App& app) -> std::function<int()> {
  auto o = std::make_shared<RenderOptions>();
  auto* cmd = app.add_subcommand("render", "Run a gauge and draw it to a PNG file");
  cmd->add_option("MODULE", o->module, "module binary")->required();
  cmd->add_option("GAUGE", o->gauge, "gauge name")->required();
  cmd->add_option("-o,--output", o->out, "PNG file to write")->required();
  cmd->add_option("--set", o->sets, "simulator variable TOKEN=VALUE (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--word", o->words, "HostDataBlock word BYTE_OFFSET=VALUE (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--fail", o->failures, "activate failure KEY (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--click", o->clicks, "click at gauge pixel X,Y after a frame (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--updates", o->updates, "frames to run before drawing")
      ->check(CLI::Range(0, 1000000));
  return [cmd, o] {
    return *cmd ? Render(o->module, o->gauge, o->out, o->sets, o->words, o->failures, o->clicks,
                         o->updates)
                : -1;
  };
});

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"panelhost: a headless host for gauge modules"};
  app.footer(kHostRules);
  app.require_subcommand(1);
  auto& commands = panelhost::cli::Commands();
  std::stable_sort(commands.begin(), commands.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::function<int()>> runners;
  for (auto& [order, setup] : commands) runners.push_back(setup(app));
  CLI11_PARSE(app, argc, argv);
  try {
    for (auto& run : runners) {
      if (const int status = run(); status >= 0) return status;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "panelhost: %s\n", e.what());
    return 1;
  }
  return 0;
}
