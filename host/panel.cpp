#include "host/panel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "host/render.h"

namespace panelhost {

namespace fs = std::filesystem;

std::string ModuleFile(const std::string& moduleDir, const std::string& name) {
#if defined(_WIN32)
  return (fs::path(moduleDir) / (name + ".dll")).string();
#else
  return (fs::path(moduleDir) / (name + ".so")).string();
#endif
}

Panel::Panel(const Scenario& scenario, const std::string& moduleDir)
    : scenario_(scenario), engine_(host_) {
  engine_.Install();
  std::vector<std::string> names;
  for (const ScenarioGauge& g : scenario.gauges) {
    auto it = std::find(names.begin(), names.end(), g.module);
    std::size_t index = static_cast<std::size_t>(it - names.begin());
    if (it == names.end()) {
      const std::string file = ModuleFile(moduleDir, g.module);
      try {
        modules_.push_back(Module::Load(file));
      } catch (const Error& e) {
        throw Error(scenario.file + ":" + std::to_string(g.line) + ": " + e.what());
      }
      host_.Attach(*modules_.back());
      names.push_back(g.module);
      index = modules_.size() - 1;
    }
    gauge::GaugeHeaderBase* header = modules_[index]->FindGauge(g.gauge);
    if (header == nullptr) {
      throw Error(scenario.file + ":" + std::to_string(g.line) + ": module " + g.module +
                  " has no gauge \"" + g.gauge + "\"");
    }
    gauges_.push_back(std::make_unique<Gauge>(host_, *modules_[index], header));
  }
  // The scenario's starting values stand before the first routine runs.
  for (const ScenarioChannel& c : scenario_.channels) {
    if (c.variable.word) {
      host_.SetDataWord(c.variable.key, static_cast<std::int32_t>(std::clamp(
                                            c.At(0), -2147483648.0, 2147483647.0)));
    } else {
      host_.SetVariable(c.variable.key, c.At(0));
    }
  }
  for (auto& g : gauges_) {
    g->Install();
    g->Initialize();
  }
}

Panel::~Panel() {
  for (auto it = gauges_.rbegin(); it != gauges_.rend(); ++it) {
    if ((*it)->installed()) (*it)->Kill();
  }
  gauges_.clear();
}

void Panel::Tick() {
  const double t = time();
  host_.SetVariable(1, static_cast<double>(tick_));
  for (const ScenarioChannel& c : scenario_.channels) {
    const double v = c.At(t);
    if (c.variable.word) {
      host_.SetDataWord(c.variable.key,
                        static_cast<std::int32_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0)));
    } else {
      host_.SetVariable(c.variable.key, v);
    }
  }
  for (; nextFailure_ < scenario_.failures.size() && scenario_.failures[nextFailure_].time <= t;
       ++nextFailure_) {
    host_.SetFailure(scenario_.failures[nextFailure_].key, scenario_.failures[nextFailure_].active);
  }
  for (; nextClick_ < scenario_.clicks.size() && scenario_.clicks[nextClick_].time <= t; ++nextClick_) {
    const ScenarioClick& c = scenario_.clicks[nextClick_];
    gauges_[c.gauge]->Click(c.x, c.y, c.held ? gauge::kMouseLeftHeld : gauge::kMouseLeftClick);
  }
  for (auto& g : gauges_) g->Frame();
  engine_.Step(1.0 / kTicksPerSecond);
  ++tick_;
}

void Composite(Image& canvas, const Image& image, int x, int y, double scale) {
  if (scale == 1.0) {
    for (int sy = 0; sy < image.height; ++sy) {
      const int cy = y + sy;
      if (cy < 0 || cy >= canvas.height) continue;
      for (int sx = 0; sx < image.width; ++sx) {
        const int cx = x + sx;
        if (cx < 0 || cx >= canvas.width) continue;
        const std::uint32_t p = image.at(sx, sy);
        if ((p >> 24) != 0) canvas.at(cx, cy) = p;
      }
    }
    return;
  }
  // Area average over the source pixels each canvas pixel covers.
  const int w = static_cast<int>(std::lround(image.width * scale));
  const int h = static_cast<int>(std::lround(image.height * scale));
  for (int dy = 0; dy < h; ++dy) {
    const int cy = y + dy;
    if (cy < 0 || cy >= canvas.height) continue;
    const int sy0 = static_cast<int>(dy / scale);
    const int sy1 = std::max(sy0 + 1, std::min(image.height, static_cast<int>((dy + 1) / scale)));
    for (int dx = 0; dx < w; ++dx) {
      const int cx = x + dx;
      if (cx < 0 || cx >= canvas.width) continue;
      const int sx0 = static_cast<int>(dx / scale);
      const int sx1 = std::max(sx0 + 1, std::min(image.width, static_cast<int>((dx + 1) / scale)));
      double r = 0, g = 0, b = 0, a = 0;
      int n = 0;
      for (int sy = sy0; sy < sy1 && sy < image.height; ++sy) {
        for (int sx = sx0; sx < sx1 && sx < image.width; ++sx) {
          const std::uint32_t p = image.at(sx, sy);
          ++n;
          if ((p >> 24) == 0) continue;
          a += 1;
          r += (p >> 16) & 0xFF;
          g += (p >> 8) & 0xFF;
          b += p & 0xFF;
        }
      }
      if (a == 0 || n == 0) continue;
      const double cover = a / n;
      std::uint32_t& d = canvas.at(cx, cy);
      auto mix = [cover](double src, std::uint32_t dst) {
        return static_cast<std::uint32_t>(std::lround(src * cover + dst * (1 - cover)));
      };
      d = 0xFF000000u | mix(r / a, (d >> 16) & 0xFF) << 16 | mix(g / a, (d >> 8) & 0xFF) << 8 |
          mix(b / a, d & 0xFF);
    }
  }
}

Image Panel::Render() const {
  Image canvas;
  canvas.width = scenario_.width;
  canvas.height = scenario_.height;
  canvas.pixels.assign(static_cast<std::size_t>(canvas.width * canvas.height), scenario_.background);
  for (std::size_t i = 0; i < gauges_.size(); ++i) {
    const ScenarioGauge& g = scenario_.gauges[i];
    Composite(canvas, RenderGauge(*gauges_[i], 0x00000000), g.x, g.y, g.scale);
  }
  return canvas;
}

namespace {

// Restores the working folder on the way out.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~WorkingFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  fs::path previous_;
};

// Joins the frames (paths relative to the working folder) into an animated
// WebP with img2webp, `delayMs` apart, looping.
void AssembleAnimation(const std::vector<std::string>& frames, int delayMs, const std::string& out) {
  std::string command = "img2webp -loop 0 -lossy -q 80 -m 4 -d " + std::to_string(delayMs);
  for (const auto& f : frames) command += " \"" + f + "\"";
  const std::string temp = out + ".tmp";
  command += " -o \"" + temp + "\" >img2webp.log 2>&1";
  const int status = std::system(command.c_str());
  std::error_code ec;
  if (status != 0) {
    fs::remove(temp, ec);
    throw Error(out + ": img2webp failed (is the Debian package webp installed? see img2webp.log)");
  }
  fs::remove("img2webp.log", ec);
  fs::rename(temp, out);
}

}  // namespace

RunSummary RunScenario(const Scenario& scenario, const RunOptions& options) {
  const fs::path out = fs::absolute(options.outDir);
  const std::string moduleDir = fs::absolute(options.moduleDir).string();
  std::error_code ec;
  fs::create_directories(out, ec);
  if (ec || !fs::is_directory(out)) throw Error(options.outDir + ": cannot create the output folder");
  const fs::path sounds = fs::path(moduleDir) / "SOUND";
  if (fs::is_directory(sounds)) {
    fs::create_directories(out / "SOUND", ec);
    fs::copy(sounds, out / "SOUND", fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
  }
  RunSummary summary;
  const WorkingFolder working(out);
  Panel panel(scenario, moduleDir);
  const int frames = static_cast<int>(std::ceil(scenario.duration * kTicksPerSecond));
  const int animateEvery =
      scenario.animate > 0 ? std::max(1, static_cast<int>(std::lround(scenario.animate * kTicksPerSecond))) : 0;
  const fs::path animation = out / "animation";
  if (!options.headless && animateEvery > 0) fs::create_directories(animation);
  std::size_t nextCapture = 0;
  std::vector<std::string> frames_written;
  for (int f = 0; f < frames; ++f) {
    panel.Tick();
    if (!options.headless) {
      const double t = panel.time();
      while (nextCapture < scenario.captures.size() && scenario.captures[nextCapture].time <= t) {
        const std::string file = scenario.captures[nextCapture].name + ".png";
        WritePng(panel.Render(), (out / file).string());
        summary.captures.push_back(file);
        ++nextCapture;
      }
      if (animateEvery > 0 && f % animateEvery == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%06d.png", f / animateEvery);
        WritePng(panel.Render(), (animation / name).string());
        frames_written.push_back((fs::path("animation") / name).string());
      }
    }
    if (options.progress) options.progress(static_cast<double>(f + 1) / frames);
  }
  if (!frames_written.empty()) {
    summary.animation = "panel.webp";
    AssembleAnimation(frames_written, static_cast<int>(std::lround(scenario.animate * 1000)),
                      summary.animation);
    fs::remove_all(animation, ec);
  }
  summary.frames = frames;
  summary.seconds = panel.time();
  summary.keyEvents = panel.host().keyEvents().size();
  summary.sounds = panel.host().soundCalls().size();
  summary.problems = panel.host().problems();
  return summary;
}

}  // namespace panelhost

#if defined(_WIN32)
#include <windows.h>
#endif

namespace panelhost {

std::string ExecutableDir() {
#if defined(_WIN32)
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".";
  return fs::path(std::string(path, n)).parent_path().string();
#else
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
#endif
}

}  // namespace panelhost
