#include "host/panel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "host/pixels.h"
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
      host_.SetDataWord(c.variable.key, static_cast<std::int32_t>(
                                            std::clamp(c.At(0), -2147483648.0, 2147483647.0)));
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
      host_.SetDataWord(c.variable.key, static_cast<std::int32_t>(std::clamp(
                                            std::trunc(v), -2147483648.0, 2147483647.0)));
    } else {
      host_.SetVariable(c.variable.key, v);
    }
  }
  for (; nextFailure_ < scenario_.failures.size() && scenario_.failures[nextFailure_].time <= t;
       ++nextFailure_) {
    host_.SetFailure(scenario_.failures[nextFailure_].key, scenario_.failures[nextFailure_].active);
  }
  for (; nextClick_ < scenario_.clicks.size() && scenario_.clicks[nextClick_].time <= t;
       ++nextClick_) {
    const ScenarioClick& c = scenario_.clicks[nextClick_];
    gauges_[c.gauge]->Click(c.x, c.y, c.held ? gauge::kMouseLeftHeld : gauge::kMouseLeftClick);
  }
  for (auto& g : gauges_) g->Frame();
  engine_.Step(1.0 / kTicksPerSecond);
  ++tick_;
}

void Composite(Image& canvas, const Image& image, int x, int y, double scale) {
  if (scale == 1.0) {
    const int xa = std::max(0, -x);
    const int xb = std::min(image.width, canvas.width - x);
    for (int sy = 0; sy < image.height; ++sy) {
      const int cy = y + sy;
      if (cy < 0 || cy >= canvas.height) continue;
      const std::uint32_t* from = &image.pixels[static_cast<std::size_t>(sy) * image.width];
      const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(cy) * canvas.width + x;
      for (int sx = xa; sx < xb; ++sx) {
        const std::uint32_t p = from[sx];
        if ((p >> 24) != 0) canvas.pixels[static_cast<std::size_t>(row + sx)] = p;
      }
    }
    return;
  }
  // Area average over the source pixels each canvas pixel covers: source
  // columns [begin, end) for each canvas column, rows likewise.
  const int w = static_cast<int>(std::lround(image.width * scale));
  const int h = static_cast<int>(std::lround(image.height * scale));
  struct Span {
    int begin;
    int end;
  };
  auto spans = [scale](int count, int limit) {
    std::vector<Span> out(static_cast<std::size_t>(std::max(count, 0)));
    for (int d = 0; d < count; ++d) {
      const int s0 = static_cast<int>(d / scale);
      const int s1 = std::max(s0 + 1, std::min(limit, static_cast<int>((d + 1) / scale)));
      out[static_cast<std::size_t>(d)] = {s0, std::min(s1, limit)};
    }
    return out;
  };
  const std::vector<Span> columns = spans(w, image.width);
  const std::vector<Span> rows = spans(h, image.height);
  const bool singleColumns =
      std::all_of(columns.begin(), columns.end(), [](Span c) { return c.end - c.begin == 1; });
  // Per source column, the sums over the current canvas row's source rows.
  std::vector<int> sumRed(static_cast<std::size_t>(image.width));
  std::vector<int> sumGreen(sumRed.size()), sumBlue(sumRed.size()), sumOpaque(sumRed.size());
  const int dxBegin = std::max(0, -x);
  const int dxEnd = std::min(w, canvas.width - x);
  for (int dy = 0; dy < h; ++dy) {
    const int cy = y + dy;
    if (cy < 0 || cy >= canvas.height) continue;
    const Span r = rows[static_cast<std::size_t>(dy)];
    if (r.begin >= r.end) continue;
    std::uint32_t* out = &canvas.pixels[static_cast<std::size_t>(cy) * canvas.width];
    if (r.end - r.begin == 1 && singleColumns) {
      // One source pixel per canvas pixel: an opaque one is copied, a
      // transparent one leaves the canvas alone.
      const std::uint32_t* from = &image.pixels[static_cast<std::size_t>(r.begin) * image.width];
      for (int dx = dxBegin; dx < dxEnd; ++dx) {
        const std::uint32_t p = from[columns[static_cast<std::size_t>(dx)].begin];
        if ((p >> 24) != 0) out[x + dx] = 0xFF000000u | (p & 0xFFFFFFu);
      }
      continue;
    }
    // Sums of whole numbers: the same in integers as in doubles.
    std::fill(sumRed.begin(), sumRed.end(), 0);
    std::fill(sumGreen.begin(), sumGreen.end(), 0);
    std::fill(sumBlue.begin(), sumBlue.end(), 0);
    std::fill(sumOpaque.begin(), sumOpaque.end(), 0);
    for (int sy = r.begin; sy < r.end; ++sy) {
      const std::uint32_t* from = &image.pixels[static_cast<std::size_t>(sy) * image.width];
      for (std::size_t sx = 0; sx < sumRed.size(); ++sx) {
        const std::uint32_t p = from[sx];
        const std::uint32_t keep = (p >> 24) != 0 ? 0xFFFFFFFFu : 0u;
        const std::uint32_t q = p & keep;
        sumRed[sx] += static_cast<int>((q >> 16) & 0xFF);
        sumGreen[sx] += static_cast<int>((q >> 8) & 0xFF);
        sumBlue[sx] += static_cast<int>(q & 0xFF);
        sumOpaque[sx] += static_cast<int>(keep & 1u);
      }
    }
    for (int dx = dxBegin; dx < dxEnd; ++dx) {
      const Span c = columns[static_cast<std::size_t>(dx)];
      if (c.begin >= c.end) continue;
      int red = 0, green = 0, blue = 0, opaque = 0;
      for (int sx = c.begin; sx < c.end; ++sx) {
        const auto i = static_cast<std::size_t>(sx);
        red += sumRed[i];
        green += sumGreen[i];
        blue += sumBlue[i];
        opaque += sumOpaque[i];
      }
      if (opaque == 0) continue;
      const int n = (r.end - r.begin) * (c.end - c.begin);
      std::uint32_t& d = out[x + dx];
      if (opaque == n) {
        // Fully covered: the canvas pixel is the sources' mean (its own
        // weight is 0), and one source pixel is itself.
        if (n == 1) {
          d = 0xFF000000u | static_cast<std::uint32_t>(red) << 16 |
              static_cast<std::uint32_t>(green) << 8 | static_cast<std::uint32_t>(blue);
        } else {
          const double a = opaque;
          d = 0xFF000000u | static_cast<std::uint32_t>(RoundHalfAway(red / a)) << 16 |
              static_cast<std::uint32_t>(RoundHalfAway(green / a)) << 8 |
              static_cast<std::uint32_t>(RoundHalfAway(blue / a));
        }
        continue;
      }
      const double a = opaque;
      const double cover = a / n;
      auto mix = [cover](double src, std::uint32_t dst) {
        return static_cast<std::uint32_t>(RoundHalfAway(src * cover + dst * (1 - cover)));
      };
      d = 0xFF000000u | mix(red / a, (d >> 16) & 0xFF) << 16 |
          mix(green / a, (d >> 8) & 0xFF) << 8 | mix(blue / a, d & 0xFF);
    }
  }
}

Image Panel::Render() const {
  Image canvas;
  canvas.width = scenario_.width;
  canvas.height = scenario_.height;
  canvas.pixels.assign(static_cast<std::size_t>(canvas.width * canvas.height),
                       scenario_.background);
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
void AssembleAnimation(const std::vector<std::string>& frames, int delayMs,
                       const std::string& out) {
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
  if (ec || !fs::is_directory(out))
    throw Error(options.outDir + ": cannot create the output folder");
  const fs::path sounds = fs::path(moduleDir) / "SOUND";
  if (fs::is_directory(sounds)) {
    fs::create_directories(out / "SOUND", ec);
    fs::copy(sounds, out / "SOUND",
             fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
  }
  RunSummary summary;
  const WorkingFolder working(out);
  Panel panel(scenario, moduleDir);
  const int frames = static_cast<int>(std::ceil(scenario.duration * kTicksPerSecond));
  const int animateEvery =
      scenario.animate > 0
          ? std::max(1, static_cast<int>(std::lround(scenario.animate * kTicksPerSecond)))
          : 0;
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
