// The flight data recorder: its state, the start/stop and pause/resume click
// handlers with their lamps, the sampling clock shared by the two rate
// readouts, the cache of logged readout values and the log file
// "data_log.txt".
#pragma once

#include <cstdint>
#include <cstdio>

#include "framework/records.h"

namespace flightlog {

// Recording state. Idle (0, 0), Writing (1, 1) or Paused (1, 0); `writing` is
// 1 only while `recording` is 1.
struct RecorderState {
  std::int32_t recording = 0;    // the log file is open
  std::int32_t writing = 0;      // rows are written: recording and not paused
  std::int32_t sampleCount = 0;  // samples since load or since the last failed open
  std::FILE* logFile = nullptr;  // "data_log.txt" while recording

  // A log still open when the module is unloaded is closed, so that the
  // stream's last bytes and its handle are not left behind.
  ~RecorderState();
};
extern constinit RecorderState recorder;

// The log's value columns 2 to 16, in column order.
enum LogColumn : int {
  kNoLog = -1,
  kLogTas,
  kLogIas,
  kLogAlt,
  kLogPitch,
  kLogClimb,
  kLogGforc,
  kLogTurn,
  kLogBank,
  kLogRoll,
  kLogProp,
  kLogHp,
  kLogThrst,
  kLogAoA,
  kLogBeta,
  kLogElev,
  kLogColumnCount
};

// The value each logged readout deposited on its last call; WriteLogRow reads
// them.
extern constinit double logCache[kLogColumnCount];

// A sampling clock: the tick of its last sample.
struct TickGate {
  std::int32_t lastTick = 0;
};

// One look at the tick counter (token 1) for a gate.
struct TickCheck {
  std::int32_t tick;     // whole part of the counter now
  std::int64_t elapsed;  // ticks since the gate's last sample, never overflowing
  bool open;             // elapsed > 8: the gate takes a sample
};

// Refreshes the tick source and compares it with the gate. The caller stores
// `tick` in the gate after it has used `elapsed`.
TickCheck CheckTick(const TickGate& gate);

// Run by the Roll readout each time its gate opens, after it has stored the
// new roll rate: writes a row while writing, and counts the sample.
void SampleStep();

// Writes one row of `sampleCount` and the cache to the open log.
void WriteLogRow();

std::int32_t GAUGE_CALL StartStopClick(std::uint32_t, std::uint32_t);
std::int32_t GAUGE_CALL PauseResumeClick(std::uint32_t, std::uint32_t);

// Lamp icons: 0.0 (green) while recording / writing, else 1.0 (red).
double GAUGE_CALL RecordLamp(gauge::ElementHeader* element);
double GAUGE_CALL WriteLamp(gauge::ElementHeader* element);

// The index readout: shows `sampleCount`, returns its own variable's value.
double GAUGE_CALL IndexReadout(gauge::ElementHeader* element);

}  // namespace flightlog
