// A panel of gauges from several modules on one host, played through a
// scenario at 18 ticks per second.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/engine_model.h"
#include "host/host.h"
#include "host/scenario.h"

namespace panelhost {

inline constexpr int kTicksPerSecond = 18;

// The module file for a module name: MODULE_DIR/NAME.so (or .dll on Windows).
std::string ModuleFile(const std::string& moduleDir, const std::string& name);

class Panel {
 public:
  // Loads every module the scenario names from `moduleDir`, attaches them to
  // the host and installs and initializes every gauge. Throws Error naming
  // the scenario line of a gauge that cannot be found.
  Panel(const Scenario& scenario, const std::string& moduleDir);
  ~Panel();
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // One tick: the tick counter, the scenario's variables, failures and
  // clicks due by now, then a frame of every gauge in panel order, then the
  // engine model.
  void Tick();
  int tick() const { return tick_; }
  double time() const { return static_cast<double>(tick_) / kTicksPerSecond; }

  // The whole panel as it stands, gauges drawn at their scale.
  Image Render() const;

  Host& host() { return host_; }
  Gauge& gauge(std::size_t index) { return *gauges_[index]; }
  std::size_t gaugeCount() const { return gauges_.size(); }

 private:
  const Scenario& scenario_;
  Host host_;
  EngineModel engine_;
  std::vector<std::unique_ptr<Module>> modules_;
  std::vector<std::unique_ptr<Gauge>> gauges_;
  int tick_ = 0;
  std::size_t nextClick_ = 0;
  std::size_t nextFailure_ = 0;
};

struct RunOptions {
  std::string outDir;     // where captures and the animation go (and the log)
  std::string moduleDir;  // where the modules are
  bool headless = false;  // draw nothing: no captures, no animation
  // Called after every tick with the fraction done (for a progress bar).
  std::function<void(double)> progress;
};

struct RunSummary {
  int frames = 0;
  double seconds = 0;
  std::size_t keyEvents = 0;
  std::size_t sounds = 0;
  std::vector<std::string> captures;  // PNG files written, in time order
  std::string animation;              // the animated picture, or "" when none
  std::vector<std::string> problems;  // what the host noticed while running
};

// Plays the scenario. The process's working folder is outDir while it runs,
// so a recorder's "data_log.txt" lands there; the module folder's SOUND/
// folder is copied there first so relative sound paths resolve.
RunSummary RunScenario(const Scenario& scenario, const RunOptions& options);

// Draws `image` scaled by `scale` onto `canvas` with its top-left at (x, y).
void Composite(Image& canvas, const Image& image, int x, int y, double scale);

}  // namespace panelhost

namespace panelhost {
// The folder panelhost's own executable lies in (where the modules are built).
std::string ExecutableDir();
}  // namespace panelhost
