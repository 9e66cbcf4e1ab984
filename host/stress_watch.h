// Counting what module code does while the host is inside one of its calls:
// heap allocations and files opened or closed. The counters run only while
// armed, so the host's own work around a call is never counted; a service the
// module calls back into is paused out with Watch::Paused.
//
// Linux: the host executable defines the C library's allocation and file entry
// points and forwards them (under AddressSanitizer its allocator hooks count
// the allocations instead). Windows: nothing is counted; Available() says so.
#pragma once

#include <cstdint>

namespace panelhost::watch {

struct Counts {
  std::uint32_t allocations = 0;
  std::uint32_t opens = 0;   // fopen, fdopen, freopen, open, openat, creat
  std::uint32_t closes = 0;  // fclose, close
};

// Whether this build counts anything.
bool Available();

// Counts from now until Disarm; nested arming is not supported.
void Arm();
Counts Disarm();

// Stops counting while it lives (a host service called from module code).
class Paused {
 public:
  Paused();
  ~Paused();
  Paused(const Paused&) = delete;
  Paused& operator=(const Paused&) = delete;

 private:
  bool wasArmed_;
};

// Open file descriptors of this process, or -1 where that cannot be counted.
int OpenDescriptors();

}  // namespace panelhost::watch
