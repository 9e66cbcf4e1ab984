#include "flightlog/recorder.h"

#include <limits>

#include "flightlog/text.h"
#include "framework/module.h"

namespace flightlog {

constinit RecorderState recorder;
constinit double logCache[kLogColumnCount] = {};

namespace {

constexpr char kLogName[] = "data_log.txt";
constexpr char kStartLine[] = "Recording Enabled\n";
constexpr char kEndLine[] = "End recording\n";
constexpr char kHeaderLine[] =
    "index\tTAS\tIAS\talt\tpitch\tclimb\tgforc\tturn\tbank\troll\tprop\thp\tthrst\tAoA\tBeta\tElev"
    "\n";

// The tick counter, refreshed with LookupVariable by every gate check.
constinit gauge::HostVariable tickSource = gauge::Var(1);

// The gate opens after more than this many ticks.
constexpr std::int64_t kTicksPerSample = 8;

// The stream's own buffer, so that writing a row never allocates. Every line
// is flushed as soon as it is written: a crash of the simulator loses nothing
// that was recorded.
char logBuffer[4096];

void WriteLine(const char* line) {
  std::fputs(line, recorder.logFile);
  std::fflush(recorder.logFile);
}

}  // namespace

RecorderState::~RecorderState() {
  if (logFile != nullptr) std::fclose(logFile);
  logFile = nullptr;
}

TickCheck CheckTick(const TickGate& gate) {
  gauge::Host().LookupVariable(&tickSource);
  const std::int32_t tick = Trunc(tickSource.value);
  const std::int64_t elapsed = std::int64_t{tick} - gate.lastTick;
  return {tick, elapsed, elapsed > kTicksPerSample};
}

void WriteLogRow() {
  if (recorder.logFile == nullptr) return;
  double c[kLogColumnCount];
  for (int i = 0; i < kLogColumnCount; ++i) c[i] = WithoutNegativeZero(logCache[i]);
  std::fprintf(
      recorder.logFile,
      "%5d\t%5.1f\t%5.1f\t%5d\t%5.2f\t%5d\t%5.2f\t%5d\t%5d\t%5d\t%5d\t%5d\t%5d\t%5.2f\t%5.2f"
      "\t%5.1f\n",
      recorder.sampleCount, c[kLogTas], c[kLogIas], Trunc(c[kLogAlt]), c[kLogPitch],
      Trunc(c[kLogClimb]), c[kLogGforc], Trunc(c[kLogTurn]), Trunc(c[kLogBank]), Trunc(c[kLogRoll]),
      Trunc(c[kLogProp]), Trunc(c[kLogHp]), Trunc(c[kLogThrst]), c[kLogAoA], c[kLogBeta],
      c[kLogElev]);
  std::fflush(recorder.logFile);
}

void SampleStep() {
  if (recorder.writing == 1) WriteLogRow();
  // Counting stops at the top of the range rather than overflowing.
  if (recorder.sampleCount < std::numeric_limits<std::int32_t>::max()) ++recorder.sampleCount;
}

std::int32_t GAUGE_CALL StartStopClick(std::uint32_t, std::uint32_t) {
  if (recorder.recording == 1) {
    WriteLine(kEndLine);
    std::fclose(recorder.logFile);
    recorder.logFile = nullptr;
    recorder.recording = 0;
    recorder.writing = 0;
    return 1;
  }
  std::FILE* file = std::fopen(kLogName, "w");
  if (file == nullptr) {
    recorder.recording = 0;
    recorder.writing = 0;
    recorder.sampleCount = 0;
    return 1;
  }
  std::setvbuf(file, logBuffer, _IOFBF, sizeof logBuffer);
  recorder.logFile = file;
  recorder.recording = 1;
  recorder.writing = 1;
  WriteLine(kStartLine);
  WriteLine(kHeaderLine);
  return 1;
}

std::int32_t GAUGE_CALL PauseResumeClick(std::uint32_t, std::uint32_t) {
  if (recorder.recording == 0) return 1;
  if (recorder.writing == 1) {
    recorder.writing = 0;
  } else {
    recorder.writing = 1;
    WriteLine(kHeaderLine);
  }
  return 1;
}

double GAUGE_CALL RecordLamp(gauge::ElementHeader*) { return recorder.recording == 1 ? 0.0 : 1.0; }

double GAUGE_CALL WriteLamp(gauge::ElementHeader*) { return recorder.writing == 1 ? 0.0 : 1.0; }

double GAUGE_CALL IndexReadout(gauge::ElementHeader* element) {
  auto& text = *reinterpret_cast<gauge::StringElement700*>(element);
  PutInteger(text, "%5d", recorder.sampleCount);
  return text.source1.value;
}

}  // namespace flightlog
