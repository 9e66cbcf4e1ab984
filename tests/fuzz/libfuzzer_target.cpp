// libFuzzer entry for the two text parsers (scripts/fuzz.sh builds it with
// clang): FUZZ_SCENARIO or FUZZ_FLIGHT_LOG picks the parser. The only
// exception an input may cause is an Error naming the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/flight_log.h"
#include "host/host.h"
#include "host/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_SCENARIO)
  const std::string file = "fuzz.scn";
#else
  const std::string file = "data_log.txt";
#endif
  try {
#if defined(FUZZ_SCENARIO)
    panelhost::ParseScenario(text, file);
#else
    panelhost::FlightLogCsv(panelhost::ParseFlightLog(text, file));
#endif
  } catch (const panelhost::Error& e) {
    if (std::string_view(e.what()).substr(0, file.size() + 1) != file + ":") std::abort();
  }
  return 0;
}
