// The panel's benchmarks: every value callback of every gauge, each gauge's
// update and frame through panelhost, the formatting floor of the text gauges,
// heap allocations per update, drawing to pixels (with and without PNG
// encoding), and an hour of flying replayed headless by `panelhost run`.
//
// The gauges are those of the default flight's panel, flown to a moment in
// cruise with the recorder writing; every benchmark but the replay works on
// that one frozen panel.
//
//   panel_bench [--summary=FILE] [Google Benchmark flags]
//   panel_bench --op=NAME --rounds=N
//   panel_bench --dump=DIR
//
// After the table it prints the figures the targets are about (and writes
// them as a Markdown table to FILE). The second form runs one operation
// (Update/GAUGE, Frame/GAUGE, Floor/GAUGE, Render/GAUGE, Render/panel) N
// times inside ProfiledRounds and nothing else, for instruction counts under
// callgrind (bench/profile.sh). The third writes the raw pixels of the panel
// and of every gauge at several moments of the default flight, so that two
// builds of the renderer can be compared pixel for pixel.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/floor.h"
#include "bench/hour_scenario.h"
#include "host/panel.h"
#include "host/render.h"
#include "host/scenario.h"
#include "host/stress_watch.h"

namespace {

namespace fs = std::filesystem;
using panelhost::Gauge;

// The moment of the default flight the frozen panel stands at: cruise, the
// engine running and the recorder writing.
constexpr double kFrozenAt = 200.0;
constexpr double kHour = 3600.0;
constexpr int kAllocationRounds = 200;

// Labels of the recorder panel's children, in list order.
constexpr const char* kRecPanelLabels[] = {
    "record_lamp", "pause_lamp", "warning_lamp", "gal",  "trim",     "aux",       "mpsi",   "elev",
    "ailrn",       "gph",        "beta",         "bank", "ft",       "mph",       "ias",    "hdg",
    "turn",        "roll",       "mach",         "gs",   "climb",    "pitch",     "rpm",    "hp",
    "thrst",       "prop",       "torq",         "wept", "index",    "psi",       "temp",   "aoa",
    "oil_t",       "oil_p",      "rot",          "cht",  "latitude", "longitude", "cg_pct",
};

// A fresh folder, the working directory while the object lives.
class WorkFolder {
 public:
  WorkFolder() {
    char pattern[] = "/tmp/panel_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw panelhost::Error("cannot make a temporary folder");
    path_ = pattern;
    previous_ = fs::current_path();
    fs::current_path(path_);
  }
  ~WorkFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  fs::path previous_;
};

// One element with a value callback.
struct CallbackSite {
  Gauge* gauge;
  gauge::ElementHeader* element;
  std::string name;
};

// The frozen panel every benchmark but the replay works on.
struct Bench {
  WorkFolder folder;
  std::string moduleDir = PANEL_DIST_DIR;
  panelhost::Scenario flight;
  std::unique_ptr<panelhost::Panel> panel;
  std::vector<CallbackSite> callbacks;
  std::map<std::string, std::vector<bench::FloorItem>> floors;
};
Bench* g_bench = nullptr;

const char* KindName(std::uint32_t kind) {
  switch (kind) {
    case gauge::kNeedle:
      return "needle";
    case gauge::kString:
      return "text";
    case gauge::kIcon:
      return "icon";
    case gauge::kSlider:
      return "slider";
    default:
      return "image";
  }
}

bool HasCallback(const Gauge& g, const gauge::ElementHeader* e) {
  switch (e->kind) {
    case gauge::kNeedle:
      return g.header()->version == gauge::kGaugeVersion610
                 ? reinterpret_cast<const gauge::NeedleElement610*>(e)->callback != nullptr
                 : reinterpret_cast<const gauge::NeedleElement700*>(e)->callback != nullptr;
    case gauge::kString:
      return reinterpret_cast<const gauge::StringElement700*>(e)->callback != nullptr;
    case gauge::kIcon:
      return reinterpret_cast<const gauge::IconElement700*>(e)->callback != nullptr;
    default:
      return false;
  }
}

// Calls the element's value callback the way the host does in an update,
// with the variables the host refreshed last.
double CallCallback(const Gauge& g, gauge::ElementHeader* e) {
  switch (e->kind) {
    case gauge::kNeedle:
      if (g.header()->version == gauge::kGaugeVersion610) {
        auto* n = reinterpret_cast<gauge::NeedleElement610*>(e);
        return n->callback(&n->source);
      }
      return reinterpret_cast<gauge::NeedleElement700*>(e)->callback(e);
    case gauge::kString:
      return reinterpret_cast<gauge::StringElement700*>(e)->callback(e);
    case gauge::kIcon:
      return reinterpret_cast<gauge::IconElement700*>(e)->callback(e);
    default:
      return 0;
  }
}

void CollectCallbacks(Gauge& g, gauge::ElementHeader* parent, std::size_t depth,
                      std::vector<CallbackSite>& out, std::size_t& index) {
  if (parent->children == nullptr || depth > 8) return;
  for (std::size_t i = 0; parent->children[i] != nullptr; ++i, ++index) {
    gauge::ElementHeader* e = parent->children[i];
    const std::string gaugeName = g.header()->name;
    std::string label;
    if (gaugeName == "recpanel" && depth == 0 && i < std::size(kRecPanelLabels)) {
      label = kRecPanelLabels[i];
    } else {
      label = KindName(e->kind) + std::to_string(index);
    }
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%02zu_", index);
    if (HasCallback(g, e)) out.push_back({&g, e, gaugeName + "/" + prefix + label});
    CollectCallbacks(g, e, depth + 1, out, index);
  }
}

// While it lives the host is calling into `g`, as during its update.
class Active {
 public:
  explicit Active(Gauge& g) : host_(g.host()), saved_(host_.active()) { host_.SetActive(&g); }
  ~Active() { host_.SetActive(saved_); }
  Active(const Active&) = delete;
  Active& operator=(const Active&) = delete;

 private:
  panelhost::Host& host_;
  Gauge* saved_;
};

// Heap allocations per call of `f`, counted over many calls.
template <typename F>
double AllocationsPerCall(F&& f) {
  panelhost::watch::Arm();
  for (int i = 0; i < kAllocationRounds; ++i) f();
  const panelhost::watch::Counts counts = panelhost::watch::Disarm();
  return static_cast<double>(counts.allocations) / kAllocationRounds;
}

// ------------------------------------------------------------- benchmarks

void BM_Callback(benchmark::State& state, const CallbackSite* site) {
  Active active(*site->gauge);
  for (auto _ : state) benchmark::DoNotOptimize(CallCallback(*site->gauge, site->element));
  state.counters["allocs"] =
      AllocationsPerCall([site] { CallCallback(*site->gauge, site->element); });
}

void BM_Update(benchmark::State& state, Gauge* g) {
  for (auto _ : state) g->Update();
  state.counters["allocs"] = AllocationsPerCall([g] { g->Update(); });
}

void BM_Frame(benchmark::State& state, Gauge* g) {
  for (auto _ : state) g->Frame();
  state.counters["allocs"] = AllocationsPerCall([g] { g->Frame(); });
}

void BM_Floor(benchmark::State& state, const std::vector<bench::FloorItem>* items) {
  std::vector<std::array<char, 32>> buffers(items->size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < items->size(); ++i) {
      bench::Format((*items)[i], buffers[i].data(), buffers[i].size());
    }
    benchmark::DoNotOptimize(buffers.data());
    benchmark::ClobberMemory();
  }
  state.counters["texts"] = static_cast<double>(items->size());
}

void BM_RenderGauge(benchmark::State& state, const Gauge* g) {
  for (auto _ : state) benchmark::DoNotOptimize(panelhost::RenderGauge(*g));
}

void BM_RenderGaugePng(benchmark::State& state, const Gauge* g) {
  const std::string file = (g_bench->folder.path() / "gauge.png").string();
  for (auto _ : state) panelhost::WritePng(panelhost::RenderGauge(*g), file);
  state.counters["png_bytes"] = static_cast<double>(fs::file_size(file));
}

void BM_RenderPanel(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(g_bench->panel->Render());
}

void BM_RenderPanelPng(benchmark::State& state) {
  const std::string file = (g_bench->folder.path() / "panel.png").string();
  for (auto _ : state) panelhost::WritePng(g_bench->panel->Render(), file);
  state.counters["png_bytes"] = static_cast<double>(fs::file_size(file));
}

// Rows of the recorder's log after the header lines.
std::size_t LogRows(const fs::path& log) {
  std::ifstream in(log);
  std::string line;
  std::size_t rows = 0;
  while (std::getline(in, line)) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line[first] >= '0' && line[first] <= '9') ++rows;
  }
  return rows;
}

// `panelhost run --headless` of an hour of flying, as a child process: wall
// time and the child's peak resident memory.
void BM_ReplayHour(benchmark::State& state) {
  const fs::path dir = g_bench->folder.path() / "replay";
  const fs::path scenario = g_bench->folder.path() / "hour.scn";
  {
    std::ofstream out(scenario);
    out << bench::LoopedScenarioText(g_bench->flight, kHour, "recorder");
  }
  const std::string panelhost = g_bench->moduleDir + "/panelhost";
  const std::string scenarioArg = scenario.string();
  const std::string outArg = dir.string();
  long peakKiB = 0;
  double childCpu = 0;
  for (auto _ : state) {
    fs::remove_all(dir);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, 1);
      execl(panelhost.c_str(), panelhost.c_str(), "run", scenarioArg.c_str(), "--headless", "-q",
            "-o", outArg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("panelhost run failed");
      break;
    }
    peakKiB = std::max(peakKiB, usage.ru_maxrss);
    childCpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  const double frames = kHour * panelhost::kTicksPerSecond;
  state.counters["frames"] = frames;
  state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["log_rows"] = static_cast<double>(LogRows(dir / "data_log.txt"));
  state.counters["cpu_s"] = benchmark::Counter(childCpu, benchmark::Counter::kAvgIterations);
}

// ------------------------------------------------------------- profiling

// What `--op` can name; empty when there is no such operation.
std::function<void()> Operation(Bench& b, const std::string& name) {
  if (name == "Render/panel") return [&b] { benchmark::DoNotOptimize(b.panel->Render()); };
  const std::size_t slash = name.find('/');
  if (slash == std::string::npos) return {};
  const std::string what = name.substr(0, slash);
  const std::string gaugeName = name.substr(slash + 1);
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge* g = &b.panel->gauge(i);
    if (gaugeName != g->header()->name) continue;
    if (what == "Update") return [g] { g->Update(); };
    if (what == "Frame") return [g] { g->Frame(); };
    if (what == "Render") return [g] { benchmark::DoNotOptimize(panelhost::RenderGauge(*g)); };
    if (what == "Floor" && b.floors.count(gaugeName) != 0) {
      const auto* items = &b.floors.at(gaugeName);
      return [items] {
        char buffers[40][32];
        for (std::size_t k = 0; k < items->size() && k < 40; ++k) {
          bench::Format((*items)[k], buffers[k], sizeof buffers[k]);
        }
        benchmark::DoNotOptimize(buffers);
      };
    }
  }
  return {};
}

// Runs `op` `rounds` times; callgrind counts inside this function only
// (--toggle-collect), so its count divided by the rounds is the operation's.
[[gnu::noinline]] void ProfiledRounds(const std::function<void()>& op, int rounds) {
  for (int i = 0; i < rounds; ++i) op();
}

// Raw pixels (width, height, then 0xAARRGGBB words) of the panel and of
// each gauge at moments of the flight chosen for their variety.
void DumpRenders(Bench& b, const fs::path& dir) {
  fs::create_directories(dir);
  auto write = [&dir](const std::string& name, const panelhost::Image& image) {
    std::ofstream out(dir / (name + ".raw"), std::ios::binary);
    const std::int32_t size[2] = {image.width, image.height};
    out.write(reinterpret_cast<const char*>(size), sizeof size);
    out.write(reinterpret_cast<const char*>(image.pixels.data()),
              static_cast<std::streamsize>(image.pixels.size() * 4));
  };
  for (const double at : {0.0, 12.0, 21.0, 60.0, 121.0, 170.0, 205.0, 300.0, 359.0}) {
    while (b.panel->time() < at) b.panel->Tick();
    const std::string t = std::to_string(static_cast<int>(at));
    write("panel_" + t, b.panel->Render());
    for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
      const Gauge& g = b.panel->gauge(i);
      write(std::string(g.header()->name) + "_" + t, panelhost::RenderGauge(g));
      write(std::string(g.header()->name) + "_" + t + "_grey",
            panelhost::RenderGauge(g, 0xFF808080));
    }
  }
}

// ------------------------------------------------------------- set-up

void LoadPanel(Bench& b) {
  b.flight =
      panelhost::LoadScenario(std::string(PANEL_SOURCE_DIR) + "/scenarios/default_flight.scn");
  // The sound library finds its sounds relative to the working folder.
  std::error_code ec;
  fs::copy(fs::path(b.moduleDir) / "SOUND", b.folder.path() / "SOUND", fs::copy_options::recursive,
           ec);
  b.panel = std::make_unique<panelhost::Panel>(b.flight, b.moduleDir);
}

void FreezePanel(Bench& b) {
  const int ticks = static_cast<int>(kFrozenAt * panelhost::kTicksPerSecond);
  for (int i = 0; i < ticks; ++i) b.panel->Tick();
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge& g = b.panel->gauge(i);
    std::size_t index = 0;
    CollectCallbacks(g, g.root(), 0, b.callbacks, index);
    auto floor = bench::FloorOf(g);
    if (!floor.empty()) b.floors[g.header()->name] = std::move(floor);
  }
}

void Register(Bench& b) {
  using benchmark::RegisterBenchmark;
  for (const CallbackSite& site : b.callbacks) {
    RegisterBenchmark(("Callback/" + site.name).c_str(), BM_Callback, &site)->MinTime(0.1);
  }
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge* g = &b.panel->gauge(i);
    const std::string name = g->header()->name;
    RegisterBenchmark(("Update/" + name).c_str(), BM_Update, g);
    if (auto it = b.floors.find(name); it != b.floors.end()) {
      RegisterBenchmark(("Floor/" + name).c_str(), BM_Floor, &it->second);
    }
  }
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge* g = &b.panel->gauge(i);
    RegisterBenchmark((std::string("Frame/") + g->header()->name).c_str(), BM_Frame, g)
        ->MinTime(0.2);
  }
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge* g = &b.panel->gauge(i);
    RegisterBenchmark((std::string("Render/") + g->header()->name).c_str(), BM_RenderGauge, g)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.2);
  }
  RegisterBenchmark("Render/panel", BM_RenderPanel)->Unit(benchmark::kMillisecond);
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    Gauge* g = &b.panel->gauge(i);
    RegisterBenchmark((std::string("RenderPng/") + g->header()->name).c_str(), BM_RenderGaugePng, g)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.2);
  }
  RegisterBenchmark("RenderPng/panel", BM_RenderPanelPng)->Unit(benchmark::kMillisecond);
  RegisterBenchmark("Replay/hour", BM_ReplayHour)
      ->UseManualTime()
      ->Iterations(3)
      ->Unit(benchmark::kMillisecond);
}

// ------------------------------------------------------------- summary

// Collects every run for the summary while the console reporter prints them.
class Collector : public benchmark::ConsoleReporter {
 public:
  // Times per iteration in ns. The summary uses CPU time: on a shared
  // machine the wall clock also counts the time other processes had the CPU.
  struct Result {
    double ns = 0;      // CPU time (the replay: the child's CPU time)
    double wallNs = 0;  // real time
    std::map<std::string, double> counters;
    bool error = false;
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // By the name registered (without "/min_time:..." and the like); of
      // repetitions, the median.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      Result& r = results[run.run_name.function_name];
      const double unit = run.time_unit == benchmark::kNanosecond    ? 1.0
                          : run.time_unit == benchmark::kMicrosecond ? 1e3
                          : run.time_unit == benchmark::kMillisecond ? 1e6
                                                                     : 1e9;
      r.wallNs = run.GetAdjustedRealTime() * unit;
      r.ns = run.GetAdjustedCPUTime() * unit;
      for (const auto& [name, counter] : run.counters) r.counters[name] = counter.value;
      r.error = run.error_occurred;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, Result> results;
};

std::string Machine() {
  std::ifstream cpu("/proc/cpuinfo");
  std::string line, model = "unknown CPU";
  while (std::getline(cpu, line)) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  return model + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " CPUs (nproc)";
}

std::string Fixed(double v, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

std::string Summary(const Bench& b, const Collector& c) {
  auto get = [&c](const std::string& name) -> const Collector::Result* {
    auto it = c.results.find(name);
    return it == c.results.end() ? nullptr : &it->second;
  };
  std::ostringstream out;
  out << "Machine: " << Machine()
      << "; Linux 32-bit release build. Times are CPU time per "
         "call.\n\n";
  out << "| gauge | update (ns) | allocs/update | frame (ns) | allocs/frame | floor (ns) | "
         "update/floor | render (us) | render+PNG (us) |\n";
  out << "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
  double worstAllocs = 0;
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    const std::string name = b.panel->gauge(i).header()->name;
    const auto* update = get("Update/" + name);
    const auto* frame = get("Frame/" + name);
    const auto* floor = get("Floor/" + name);
    const auto* render = get("Render/" + name);
    const auto* png = get("RenderPng/" + name);
    auto allocs = [&worstAllocs](const Collector::Result* r) {
      if (r == nullptr) return std::string("-");
      const double a = r->counters.count("allocs") ? r->counters.at("allocs") : 0;
      worstAllocs = std::max(worstAllocs, a);
      return Fixed(a, a == static_cast<int>(a) ? 0 : 2);
    };
    out << "| " << name << " | " << (update ? Fixed(update->ns, 0) : "-") << " | " << allocs(update)
        << " | " << (frame ? Fixed(frame->ns, 0) : "-") << " | " << allocs(frame) << " | "
        << (floor ? Fixed(floor->ns, 0) : "-") << " | "
        << (floor && update ? Fixed(update->ns / floor->ns, 2) : "-") << " | "
        << (render ? Fixed(render->ns / 1e3, 1) : "-") << " | "
        << (png ? Fixed(png->ns / 1e3, 0) : "-") << " |\n";
  }
  // The value callbacks, called alone, per gauge.
  double callbackAllocs = 0;
  std::size_t callbacks = 0;
  out << "\n| gauge | value callbacks | sum (ns) | slowest (ns) | allocs/call |\n"
         "|---|---:|---:|---|---:|\n";
  for (std::size_t i = 0; i < b.panel->gaugeCount(); ++i) {
    const std::string prefix = std::string("Callback/") + b.panel->gauge(i).header()->name + "/";
    std::size_t count = 0;
    double sum = 0, slowest = 0, allocs = 0;
    std::string slowestName;
    for (const auto& [name, r] : c.results) {
      if (name.rfind(prefix, 0) != 0) continue;
      ++count;
      sum += r.ns;
      if (r.ns > slowest) {
        slowest = r.ns;
        slowestName = name.substr(prefix.size());
      }
      allocs = std::max(allocs, r.counters.count("allocs") ? r.counters.at("allocs") : 0);
    }
    if (count == 0) continue;
    callbacks += count;
    callbackAllocs = std::max(callbackAllocs, allocs);
    out << "| " << b.panel->gauge(i).header()->name << " | " << count << " | " << Fixed(sum, 0)
        << " | " << Fixed(slowest, 0) << " (" << slowestName << ") | " << Fixed(allocs, 0)
        << " |\n";
  }
  out << "\n| target | figure | met |\n|---|---|---|\n";
  auto row = [&out](const std::string& target, const std::string& figure, bool met) {
    out << "| " << target << " | " << figure << " | " << (met ? "yes" : "**no**") << " |\n";
  };
  row("no heap allocation in any update (" + std::to_string(b.panel->gaugeCount()) + " gauges, " +
          std::to_string(callbacks) + " callbacks)",
      "at most " + Fixed(worstAllocs, 2) + " per update/frame, " + Fixed(callbackAllocs, 2) +
          " per callback",
      worstAllocs == 0 && callbackAllocs == 0);
  if (const auto* u = get("Update/recpanel"), *f = get("Floor/recpanel"); u && f) {
    const double ratio = u->ns / f->ns;
    row("\"recpanel\" update within 1.5x its formatting floor",
        Fixed(u->ns, 0) + " ns / " + Fixed(f->ns, 0) + " ns = " + Fixed(ratio, 2) + "x",
        ratio <= 1.5);
  }
  if (const auto* r = get("Replay/hour"); r && !r->error) {
    const double cpu = r->counters.at("cpu_s");
    const double wall = r->wallNs / 1e9;
    const double peak = r->counters.at("peak_MiB");
    row("an hour (64,800 frames) replayed headless in under 2 s (CPU time of panelhost)",
        Fixed(cpu, 2) + " s CPU (" + Fixed(64800 / cpu, 0) + " frames/s), " + Fixed(wall, 2) +
            " s wall, " + Fixed(r->counters.at("log_rows"), 0) + " log rows written",
        cpu < 2.0);
    row("replay peak memory under 64 MiB", Fixed(peak, 1) + " MiB", peak < 64.0);
  }
  if (const auto* r = get("Render/panel")) {
    row("whole panel rendered in under 5 ms", Fixed(r->ns / 1e6, 2) + " ms", r->ns < 5e6);
  }
  if (const auto* r = get("RenderPng/panel")) {
    out << "\nWhole panel with PNG encoding: " << Fixed(r->ns / 1e6, 1) << " ms per frame.\n";
  }
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  std::string summaryFile;
  std::string op;
  std::string dump;
  int rounds = 0;
  std::vector<char*> args;
  std::list<std::string> absoluteArgs;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    // Files named on the command line are relative to where it was given;
    // the benchmarks run in a temporary folder.
    if (a.rfind("--summary=", 0) == 0) {
      summaryFile = fs::absolute(a.substr(10)).string();
    } else if (a.rfind("--benchmark_out=", 0) == 0) {
      absoluteArgs.push_back("--benchmark_out=" + fs::absolute(a.substr(16)).string());
      args.push_back(absoluteArgs.back().data());
    } else if (a.rfind("--dump=", 0) == 0) {
      dump = fs::absolute(a.substr(7)).string();
    } else if (a.rfind("--op=", 0) == 0) {
      op = a.substr(5);
    } else if (a.rfind("--rounds=", 0) == 0) {
      rounds = std::atoi(a.c_str() + 9);
    } else {
      args.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

  // The counter must see allocations made inside the C++ library too.
  panelhost::watch::Arm();
  {
    std::string probe(100, 'x');  // one allocation inside the C++ library
    benchmark::DoNotOptimize(probe.data());
  }
  if (panelhost::watch::Disarm().allocations != 1) {
    std::fprintf(stderr, "panel_bench: the allocation counter does not count operator new\n");
    return 1;
  }

  try {
    Bench b;
    g_bench = &b;
    LoadPanel(b);
    if (!dump.empty()) {
      DumpRenders(b, dump);
      g_bench = nullptr;
      return 0;
    }
    FreezePanel(b);
    if (!op.empty()) {
      const std::function<void()> f = Operation(b, op);
      if (!f) throw panelhost::Error("no operation " + op);
      f();  // the first call's one-time work is not counted
      ProfiledRounds(f, rounds);
      g_bench = nullptr;
      return 0;
    }
    Register(b);
    benchmark::AddCustomContext("machine", Machine());
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const std::string summary = Summary(b, collector);
    std::printf("\n%s", summary.c_str());
    if (!summaryFile.empty()) {
      std::ofstream(summaryFile) << summary;
    }
    benchmark::Shutdown();
    g_bench = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "panel_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
