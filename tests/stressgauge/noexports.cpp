// A shared library that is no gauge module: it exports neither ImportTable
// nor Linkage.
#include <cstdint>

__attribute__((visibility("default"))) std::uint32_t NotAGaugeModule = 0x13;
