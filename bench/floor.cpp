#include "bench/floor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "flightlog/readouts.h"

namespace bench {

namespace {

using Kind = FloorItem::Kind;

struct Row {
  const char* format;
  Kind kind;
};

constexpr Kind KindOf(const char* format) {
  return flightlog::KindOf(format) == flightlog::FormatKind::kInteger ? FloorItem::kInteger
                                                                      : FloorItem::kReal;
}

constexpr Row Of(const flightlog::Readout& r) { return {r.format, KindOf(r.format)}; }

// The formats of the recorder panel's readouts in child-list order (the rate,
// sample index and position readouts format in the module's sources, not in
// its readout table).
namespace fl = flightlog;
constexpr Row kRecPanelRows[] = {
    Of(fl::kGal),
    Of(fl::kTrim),
    Of(fl::kAux),
    Of(fl::kMpsi),
    Of(fl::kElev),
    Of(fl::kAilrn),
    Of(fl::kGph),
    Of(fl::kBeta),
    Of(fl::kBank),
    Of(fl::kFt),
    Of(fl::kMph),
    Of(fl::kIas),
    Of(fl::kHdg),
    {"%5d", FloorItem::kInteger},  // turn rate
    {"%5d", FloorItem::kInteger},  // roll rate
    Of(fl::kMach),
    Of(fl::kGs),
    Of(fl::kClimb),
    Of(fl::kPitch),
    Of(fl::kRpm),
    Of(fl::kHp),
    Of(fl::kThrst),
    Of(fl::kProp),
    Of(fl::kTorq),
    Of(fl::kWepT),
    {"%5d", FloorItem::kInteger},  // sample index
    Of(fl::kPsi),
    Of(fl::kTempF),
    Of(fl::kAoA),
    Of(fl::kOilT),
    Of(fl::kOilP),
    Of(fl::kRot),
    Of(fl::kCht),
    {"%c %02d %05.2f", FloorItem::kPosition},  // latitude
    {"%c%03d %05.2f", FloorItem::kPosition},   // longitude
    Of(fl::kCgPct),
};
static_assert(sizeof kRecPanelRows / sizeof kRecPanelRows[0] == 36);

std::vector<Row> RowsOf(std::string_view gauge) {
  if (gauge == "recpanel") return {std::begin(kRecPanelRows), std::end(kRecPanelRows)};
  for (const auto& small : fl::kSmallGauges) {
    if (gauge == small.name) return {Of(small.readout)};
  }
  return {};
}

}  // namespace

int Format(const FloorItem& item, char* buffer, std::size_t size) {
  switch (item.kind) {
    case FloorItem::kInteger:
      return std::snprintf(buffer, size, item.format, item.whole);
    case FloorItem::kReal:
      return std::snprintf(buffer, size, item.format, item.real);
    case FloorItem::kPosition:
      return std::snprintf(buffer, size, item.format, item.hemisphere, item.whole, item.real);
  }
  return 0;
}

std::vector<FloorItem> FloorOf(const panelhost::Gauge& gauge) {
  const std::vector<Row> rows = RowsOf(gauge.header()->name);
  std::vector<FloorItem> items;
  if (rows.empty()) return items;
  std::size_t row = 0;
  for (gauge::ElementHeader* e : gauge.Children()) {
    if (e->kind != gauge::kString) continue;
    if (row == rows.size()) throw panelhost::Error("floor: more texts than formats");
    FloorItem item;
    item.format = rows[row].format;
    item.kind = rows[row].kind;
    item.text = gauge.Text(e);
    const char* t = item.text.c_str();
    switch (item.kind) {
      case FloorItem::kInteger:
        item.whole = static_cast<int>(std::strtol(t, nullptr, 10));
        break;
      case FloorItem::kReal:
        item.real = std::strtod(t, nullptr);
        break;
      case FloorItem::kPosition:
        std::sscanf(t, "%c%d %lf", &item.hemisphere, &item.whole, &item.real);
        break;
    }
    char again[64];
    Format(item, again, sizeof again);
    if (item.text != again) {
      throw panelhost::Error(std::string("floor: ") + gauge.header()->name + " text " +
                             std::to_string(row) + " is \"" + item.text + "\" but \"" +
                             item.format + "\" gives \"" + again + "\"");
    }
    items.push_back(std::move(item));
    ++row;
  }
  if (row != rows.size()) throw panelhost::Error("floor: fewer texts than formats");
  return items;
}

}  // namespace bench
