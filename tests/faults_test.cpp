// Faults around the flight data recorder, through the loaded flightlog
// module: a log that cannot be opened, writes that fail, the module unloaded
// and the process killed while recording, thousands of start/stop cycles and
// a tick counter that jumps backwards or wraps. Scenarios that need a process
// of their own (other user, file-size limit, SIGKILL) run in a forked child
// that reports what it saw through a pipe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/stress_watch.h"
#include "tests/support.h"

namespace {

using panelhost::Gauge;
using panelhost::Host;
using panelhost::Module;

constexpr std::uint32_t kTickToken = 1;
constexpr char kHeader[] =
    "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA\tBeta\tElev"
    "\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The index column of a row, or -1 for a line that is no row.
int RowIndex(const std::string& line) {
  if (line.empty() || line.find('\t') == std::string::npos || line.rfind("index", 0) == 0)
    return -1;
  return std::stoi(line.substr(0, line.find('\t')));
}

// The recorder panel of a freshly loaded flightlog, driven like a host.
struct Recorder {
  std::unique_ptr<Module> module = Module::Load(testsupport::ModulePath("flightlog"));
  std::unique_ptr<Host> host = std::make_unique<Host>();
  std::unique_ptr<Gauge> panel;
  double tick = 0;

  Recorder() {
    host->Attach(*module);
    panel = std::make_unique<Gauge>(*host, *module, module->FindGauge("recpanel"));
    panel->Start(1);
  }
  // Drops the gauge and unloads the module while it may still be recording.
  void Unload() {
    panel.reset();
    module.reset();
  }

  void Update(double atTick) {
    tick = atTick;
    host->SetVariable(kTickToken, tick);
    panel->Update();
  }
  void Sample() { Update(tick + 9); }
  bool StartStop() { return panel->Click(55, 8); }
  bool PauseResume() { return panel->Click(67, 8); }
  // The lamps as the last update left them: 0 green, 1 red.
  double RecordLamp() const { return panel->State(panel->Child(0)).value; }
  double WriteLamp() const { return panel->State(panel->Child(1)).value; }
  int SampleCount() const {
    for (gauge::ElementHeader* e : panel->Children()) {
      if (e->kind == gauge::kString && e->x == 4 && e->y == 4) return std::stoi(panel->Text(e));
    }
    return -1;
  }
};

// Whether this process holds a descriptor of the folder's data_log.txt.
bool LogHeldOpen() {
  std::error_code ec;
  const auto log = std::filesystem::absolute("data_log.txt", ec);
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(fd.path(), linkError) == log) return true;
  }
  return false;
}

// What a child process saw: its complaints (one line each) and how it ended.
struct ChildRun {
  std::string complaints;
  std::string output;  // what the child printed on stdout and stderr
  int status = 0;
};

// Runs `body` in a child with its stdout and stderr captured; `complain`
// adds a line to what the parent reads back. A child that ends normally
// exits 0 after `body`.
ChildRun InChild(
    const std::function<void(const std::function<void(const std::string&)>& complain)>& body) {
  ChildRun run;
  int report[2], output[2];
  if (pipe(report) != 0 || pipe(output) != 0) {
    ADD_FAILURE() << "pipe";
    return run;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(report[0]);
    close(output[0]);
    dup2(output[1], 1);
    dup2(output[1], 2);
    body([&](const std::string& line) {
      const std::string text = line + "\n";
      if (write(report[1], text.data(), text.size()) < 0) _exit(4);
    });
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
  }
  close(report[1]);
  close(output[1]);
  auto drain = [](int fd) {
    std::string s;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
      s.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return s;
  };
  run.complaints = drain(report[0]);
  run.output = drain(output[0]);
  waitpid(pid, &run.status, 0);
  return run;
}

void ExpectCleanExit(const ChildRun& run) {
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
      << "child status " << run.status << "\n"
      << run.output;
  EXPECT_EQ(run.complaints, "");
}

// ------------------------------------------------------------------ open fails

// A start click whose open fails leaves the recorder idle and silent: both
// lamps red, the sample count restarting at 0, a pause click ignored, no file
// and no descriptor left behind, nothing printed.
TEST(RecorderFaults, LogThatCannotBeOpenedLeavesTheRecorderIdleAndSilent) {
  struct Case {
    const char* name;
    std::function<void()> arrange;  // in the child, in its working folder
  };
  const Case cases[] = {
      {"read-only folder",
       [] {
         chmod(".", 0555);
         // root writes anywhere: drop to an ordinary user for this child.
         if (geteuid() == 0 && setuid(65534) != 0) _exit(5);
       }},
      {"data_log.txt is a directory", [] { std::filesystem::create_directory("data_log.txt"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir dir;
    const ChildRun run = InChild([&](const auto& complain) {
      c.arrange();
      Recorder r;
      r.Sample();
      r.Sample();
      if (!r.StartStop()) complain("the start/stop lamp took no click");
      r.Update(r.tick);
      if (r.RecordLamp() != 1.0 || r.WriteLamp() != 1.0) complain("a lamp turned green");
      if (r.SampleCount() != 0) complain("the sample count did not restart at 0");
      r.PauseResume();
      r.Sample();
      r.Sample();
      if (r.WriteLamp() != 1.0) complain("the pause click was not ignored");
      if (r.SampleCount() != 2)
        complain("samples after the failed open: " + std::to_string(r.SampleCount()));
      if (LogHeldOpen()) complain("a descriptor of the log is open");
      if (std::filesystem::is_regular_file("data_log.txt")) complain("a log file was created");
    });
    ExpectCleanExit(run);
    EXPECT_EQ(run.output, "") << "the recorder must say nothing";
  }
}

// ------------------------------------------------------------------ writes fail

// The disk is full: the open succeeds, every write fails. The state machine
// goes on as if the writes had worked, and stopping releases the stream.
TEST(RecorderFaults, FullDiskKeepsTheStateMachineConsistent) {
  testsupport::TempDir dir;
  std::filesystem::create_symlink("/dev/full", "data_log.txt");
  const int descriptors = panelhost::watch::OpenDescriptors();
  Recorder r;
  ASSERT_TRUE(r.StartStop());
  r.Sample();
  EXPECT_EQ(r.RecordLamp(), 0.0);
  EXPECT_EQ(r.WriteLamp(), 0.0);
  for (int i = 0; i < 20; ++i) r.Sample();
  r.PauseResume();
  r.Sample();
  EXPECT_EQ(r.RecordLamp(), 0.0);
  EXPECT_EQ(r.WriteLamp(), 1.0);
  r.PauseResume();
  r.Sample();
  EXPECT_EQ(r.WriteLamp(), 0.0);
  EXPECT_EQ(r.SampleCount(), 23);
  r.StartStop();
  r.Sample();
  EXPECT_EQ(r.RecordLamp(), 1.0);
  EXPECT_EQ(r.WriteLamp(), 1.0);
  EXPECT_FALSE(LogHeldOpen());
  // Once the disk has room again, recording works as before.
  std::filesystem::remove("data_log.txt");
  r.StartStop();
  r.Sample();
  r.StartStop();
  const std::vector<std::string> lines = Lines(ReadFile("data_log.txt"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(RowIndex(lines[2]), 24);
  r.Unload();
  EXPECT_EQ(panelhost::watch::OpenDescriptors(), descriptors);
}

// Writes beyond the process's file-size limit fail (EFBIG, the signal
// ignored): the file keeps what fitted and the recorder carries on.
TEST(RecorderFaults, WritesBeyondTheFileSizeLimitFailQuietly) {
  testsupport::TempDir dir;
  constexpr rlim_t kLimit = 400;
  const ChildRun run = InChild([](const auto& complain) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimit, kLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) complain("setrlimit failed");
    Recorder r;
    r.StartStop();
    for (int i = 0; i < 100; ++i) r.Sample();
    r.PauseResume();
    r.Sample();
    r.PauseResume();
    r.Sample();
    if (r.SampleCount() != 102) complain("sample count " + std::to_string(r.SampleCount()));
    if (r.RecordLamp() != 0.0 || r.WriteLamp() != 0.0) complain("not writing after resume");
    r.StartStop();
    r.Sample();
    if (r.RecordLamp() != 1.0) complain("not idle after stop");
    if (LogHeldOpen()) complain("the log is still open after stop");
  });
  ExpectCleanExit(run);
  const std::string log = ReadFile("data_log.txt");
  EXPECT_LE(log.size(), kLimit);
  EXPECT_EQ(log.rfind(std::string("Recording Enabled\n") + kHeader, 0), 0u);
  // What reached the file is whole lines up to the last that fitted.
  const std::vector<std::string> lines = Lines(log);
  for (std::size_t i = 2; i + 1 < lines.size(); ++i)
    EXPECT_EQ(RowIndex(lines[i]), static_cast<int>(i - 2));
}

// ------------------------------------------------------------------ the module or the process ends

// Unloading the module in the middle of a recording leaves every row written
// so far on disk (far more rows than one stream buffer holds).
TEST(RecorderFaults, UnloadWhileRecordingKeepsEveryRow) {
  testsupport::TempDir dir;
  Recorder r;
  r.StartStop();
  for (int i = 0; i < 300; ++i) r.Sample();
  r.Unload();
  EXPECT_FALSE(LogHeldOpen());
  const std::vector<std::string> lines = Lines(ReadFile("data_log.txt"));
  ASSERT_EQ(lines.size(), 302u);
  for (std::size_t i = 2; i < lines.size(); ++i)
    ASSERT_EQ(RowIndex(lines[i]), static_cast<int>(i - 2));
}

// A process killed outright while recording (no exit handlers, no unload)
// leaves every row up to the last sample on disk.
TEST(RecorderFaults, ProcessKilledWhileRecordingKeepsEveryRowUpToTheLastSample) {
  testsupport::TempDir dir;
  constexpr int kSamples = 250;
  const ChildRun run = InChild([](const auto&) {
    Recorder r;
    r.StartStop();
    for (int i = 0; i < kSamples; ++i) r.Sample();
    raise(SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGKILL) << run.output;
  const std::vector<std::string> lines = Lines(ReadFile("data_log.txt"));
  ASSERT_EQ(lines.size(), kSamples + 2u);
  EXPECT_EQ(lines[0], "Recording Enabled");
  for (std::size_t i = 2; i < lines.size(); ++i)
    ASSERT_EQ(RowIndex(lines[i]), static_cast<int>(i - 2));
}

// ------------------------------------------------------------------ many cycles, odd ticks

TEST(RecorderFaults, ThousandsOfStartStopCyclesLeakNoDescriptor) {
  testsupport::TempDir dir;
  Recorder r;
  r.StartStop();
  r.StartStop();
  const int descriptors = panelhost::watch::OpenDescriptors();
  ASSERT_GT(descriptors, 0);
  constexpr int kCycles = 3000;
  for (int i = 0; i < kCycles; ++i) {
    r.StartStop();
    r.Sample();
    if (i % 3 == 0) {
      r.PauseResume();
      r.PauseResume();
    }
    r.StartStop();
  }
  EXPECT_EQ(panelhost::watch::OpenDescriptors(), descriptors);
  EXPECT_FALSE(LogHeldOpen());
  // The file holds the last recording alone: start, header, its row, end.
  const std::vector<std::string> lines = Lines(ReadFile("data_log.txt"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(RowIndex(lines[2]), kCycles - 1);
  EXPECT_EQ(lines[3], "End recording");
}

// The tick counter goes backwards, leaps, runs past the 32-bit range, wraps
// to its negative end or is not a number. Before the range's end the gate's
// rule holds exactly (more than 8 ticks past the last sample); beyond it, how
// a tick outside the 32-bit range counts is the module's choice, but the count
// never goes back or jumps, every row is whole and in order, and the controls
// keep working. The sanitizer build also proves no conversion overflows.
TEST(RecorderFaults, TickCounterJumpingBackwardsOrWrappingNeverBreaksTheCount) {
  testsupport::TempDir dir;
  Recorder r;
  r.StartStop();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  enum Expect { kNo, kYes, kEither };
  struct Row {
    double tick;
    Expect sample;
  };
  const Row rows[] = {
      {9, kYes},
      {18, kYes},
      {5, kNo},
      {17, kNo},  // backwards: wait
      {26, kNo},
      {27, kYes},
      {1e6, kYes},
      {1e6, kNo},
      {kMax - 9, kYes},
      {kMax, kYes},
      {kMax + 1, kEither},
      {4294967296.0, kEither},
      {1e300, kEither},
      {kInf, kEither},
      {std::nan(""), kEither},
      {-kInf, kEither},
      {kMin, kEither},
      {kMin + 9, kEither},
      {kMin + 18, kEither},
      {0, kEither},
      {9, kEither},
      {18, kEither},
      {kMax, kEither},
  };
  int count = 0;
  for (const Row& row : rows) {
    r.Update(row.tick);
    const int now = r.SampleCount();
    if (row.sample == kEither) {
      EXPECT_TRUE(now == count || now == count + 1)
          << "tick " << row.tick << ": " << count << " -> " << now;
    } else {
      EXPECT_EQ(now, count + (row.sample == kYes ? 1 : 0)) << "tick " << row.tick;
    }
    count = now;
  }
  r.PauseResume();
  r.Update(r.tick);
  r.PauseResume();
  r.StartStop();
  r.Update(r.tick);
  EXPECT_EQ(r.RecordLamp(), 1.0);
  EXPECT_FALSE(LogHeldOpen());
  const std::vector<std::string> lines = Lines(ReadFile("data_log.txt"));
  std::vector<int> indices;
  for (const std::string& line : lines) {
    if (const int index = RowIndex(line); index >= 0) {
      indices.push_back(index);
      std::size_t fields = 1;
      for (char c : line) fields += c == '\t';
      EXPECT_EQ(fields, 16u) << line;
    }
  }
  std::vector<int> consecutive(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) consecutive[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(indices, consecutive);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "End recording");
}

}  // namespace
