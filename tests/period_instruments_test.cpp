// The period needle instruments (vintage_altimeter, vintage_tachometer,
// vintage_airspeed), loaded from the shipped binaries and driven the way the
// host drives them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/render.h"
#include "host/validate.h"

namespace {

using panelhost::Gauge;
using panelhost::Host;
using panelhost::Module;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint32_t kUnitsToken = 335;
constexpr int kPivotX = 155;
constexpr int kPivotY = 160;

struct Instrument {
  const char* name;  // module file and gauge name
  std::uint32_t token;
  int needleWidth;
  int needlePivotX, needlePivotY;
  std::uint32_t failureKey, failureAction;
  std::uint32_t helpId;
  std::vector<int> bearings;  // of the calibration points, to the nearest degree
};

const Instrument kAltimeter = {"vintage_altimeter", 74, 135, 24, 10, 7, 1, 40961, {45, 180, 315}};
const Instrument kTachometer = {"vintage_tachometer", 136, 155, 29, 11, 2, 2, 40992, {0, 292, 314}};
const Instrument kAirspeed = {
    "vintage_airspeed", 61, 135, 24, 10, 6, 1, 40963, {178, 192, 226, 257, 294, 326, 8, 48, 128}};
const Instrument* const kInstruments[] = {&kAltimeter, &kTachometer, &kAirspeed};

std::uint32_t Word(const void* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// One instrument module loaded into its own host, with its one gauge.
class Loaded {
 public:
  explicit Loaded(const Instrument& instrument)
      : instrument_(instrument),
        module_(Module::Load(std::string(PANEL_DIST_DIR "/") + instrument.name + ".so")) {
    host_.Attach(*module_);
    gauge_ = std::make_unique<Gauge>(host_, *module_, module_->FindGauge(instrument.name));
  }

  Host& host() { return host_; }
  Module& module() { return *module_; }
  Gauge& gauge() { return *gauge_; }
  gauge::GaugeHeader610& header() {
    return *reinterpret_cast<gauge::GaugeHeader610*>(gauge_->header());
  }
  gauge::StaticImageElement610& background() {
    return *reinterpret_cast<gauge::StaticImageElement610*>(gauge_->root());
  }
  gauge::NeedleElement610& needle() {
    return *reinterpret_cast<gauge::NeedleElement610*>(gauge_->Child(0));
  }

  // The needle's value after one update with these host variables.
  double NeedleValue(double raw, double units = 0.0) {
    host_.SetVariable(kUnitsToken, units);
    host_.SetVariable(instrument_.token, raw);
    gauge_->Update();
    return gauge_->State(&needle().header).value;
  }

 private:
  const Instrument& instrument_;
  Host host_;
  std::unique_ptr<Module> module_;
  std::unique_ptr<Gauge> gauge_;
};

double BearingOf(int x, int y) {
  const double b = std::atan2(x - kPivotX, kPivotY - y) * 180.0 / std::numbers::pi;
  return b < 0 ? b + 360.0 : b;
}

// ------------------------------------------------------------------ records

TEST(PeriodInstruments, RecordsAreTheVersion610GaugeWithItsOwnData) {
  for (const Instrument* inst : kInstruments) {
    SCOPED_TRACE(inst->name);
    Loaded l(*inst);

    const gauge::LinkageHead& linkage = *l.module().linkage();
    EXPECT_EQ(linkage.moduleId, 0x13u);
    EXPECT_NE(linkage.init, nullptr);
    EXPECT_NE(linkage.deinit, nullptr);
    EXPECT_NE(reinterpret_cast<void*>(linkage.init), reinterpret_cast<void*>(linkage.deinit));
    ASSERT_EQ(l.module().gauges().size(), 1u);
    const gauge::ImportEntry* imports = l.module().importTable();
    EXPECT_EQ(imports[0].id, 0x0Fu);
    EXPECT_EQ(imports[1].id, 0u);

    // The header names no mouse list and no callback: the routines attach the list.
    const gauge::GaugeHeader610& header = l.header();
    EXPECT_EQ(header.base.version, 610u);
    EXPECT_STREQ(header.base.name, inst->name);
    EXPECT_EQ(header.base.defaultWidth, 311u);
    for (std::uint32_t word : header.zero48) EXPECT_EQ(word, 0u);
    EXPECT_EQ(header.base.elements[1], nullptr);

    const gauge::ElementHeader& root = l.background().header;
    EXPECT_EQ(root.kind, gauge::kStaticImage);
    EXPECT_EQ(root.bitmapId, 4096u);
    EXPECT_EQ(root.drawFlags, 1u);
    EXPECT_EQ(root.failures, nullptr);
    EXPECT_EQ(l.background().runtime[0], 0u);  // until the host installs the gauge
    ASSERT_EQ(l.gauge().Children().size(), 1u);

    const gauge::NeedleElement610& needle = l.needle();
    EXPECT_EQ(needle.header.kind, gauge::kNeedle);
    EXPECT_EQ(needle.header.bitmapId, 8192u);
    EXPECT_EQ(needle.header.x, kPivotX);
    EXPECT_EQ(needle.header.y, kPivotY);
    EXPECT_EQ(needle.header.pivotX, inst->needlePivotX);
    EXPECT_EQ(needle.header.pivotY, inst->needlePivotY);
    EXPECT_EQ(needle.header.drawFlags, 3u);
    EXPECT_EQ(needle.header.owner, &header.base);
    EXPECT_EQ(needle.header.children, nullptr);
    ASSERT_NE(needle.header.failures, nullptr);
    EXPECT_EQ(needle.header.failures[0].key, inst->failureKey);
    EXPECT_EQ(needle.header.failures[0].action, inst->failureAction);
    EXPECT_EQ(needle.header.failures[1].key, 0u);
    EXPECT_EQ(needle.header.failures[1].action, 0u);
    EXPECT_EQ(needle.source.token, inst->token);
    EXPECT_NE(needle.callback, nullptr);

    // Calibration: in ascending value order, each point on its bearing and
    // beyond the needle's tip; the start point is the first of them.
    ASSERT_EQ(needle.calibrationCount, static_cast<std::int32_t>(inst->bearings.size()));
    const auto* points = needle.calibration;
    EXPECT_EQ(needle.startX, points[0].x);
    EXPECT_EQ(needle.startY, points[0].y);
    for (int i = 0; i < needle.calibrationCount; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(std::lround(BearingOf(points[i].x, points[i].y)) % 360,
                inst->bearings[static_cast<std::size_t>(i)]);
      const double radius = std::hypot(points[i].x - kPivotX, points[i].y - kPivotY);
      EXPECT_GE(radius, 123.0);
      EXPECT_LE(radius, 136.0);
      EXPECT_EQ(points[i].degrees, 0.0);
      if (i > 0) {
        EXPECT_GT(points[i].value, points[i - 1].value);
      }
    }

    // The mouse list only carries the help id.
    const gauge::MouseArea* list = l.gauge().ActiveMouseList();
    EXPECT_EQ(list, nullptr);  // none until installed
    l.gauge().Install();
    list = l.gauge().ActiveMouseList();
    ASSERT_NE(list, nullptr);
    const std::uint32_t kinds[] = {gauge::kMouseParent, gauge::kMouseEndOfParent,
                                   gauge::kMouseEndOfList};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(list[i].kind, kinds[i]);
      EXPECT_EQ(list[i].x | list[i].y | list[i].width | list[i].height, 0);
      EXPECT_EQ(list[i].cursor, 0xFFFFFFFFu);
      EXPECT_EQ(list[i].helpId, i == 0 ? inst->helpId : 0u);
      EXPECT_EQ(list[i].eventMask, 0u);
      EXPECT_EQ(list[i].handler, nullptr);
    }
    EXPECT_FALSE(l.gauge().Click(155, 160));
  }
}

TEST(PeriodInstruments, ValidateFindsNoFault) {
  for (const Instrument* inst : kInstruments) {
    SCOPED_TRACE(inst->name);
    const auto module = Module::Load(std::string(PANEL_DIST_DIR "/") + inst->name + ".so");
    for (const panelhost::Finding& finding : panelhost::Validate(*module)) {
      EXPECT_NE(finding.outcome, panelhost::Outcome::kFail) << panelhost::Describe(finding);
    }
  }
}

// ------------------------------------------------------------------ routines

std::vector<std::string> Services(const Host& host) {
  std::vector<std::string> names;
  for (const auto& call : host.trace()) names.push_back(call.service);
  return names;
}

TEST(PeriodInstruments, RoutinesCallTheHostServicesInOrder) {
  for (const Instrument* inst : kInstruments) {
    SCOPED_TRACE(inst->name);
    Loaded l(*inst);
    const bool altimeter = inst == &kAltimeter;
    Host& host = l.host();
    const std::uint32_t root = Word(&l.background());
    const std::uint32_t header = Word(&l.header());
    host.SetTracing(true);

    // Install: the mouse list goes in with the word the install service wrote, plus 4.
    l.gauge().Install();
    ASSERT_EQ(Services(host), (std::vector<std::string>{"ElementListInstall", "MouseListInstall",
                                                        "MouseListRegister"}));
    const auto& install = host.trace();
    EXPECT_EQ(install[0].args[0], root);
    const std::uint32_t word = l.background().runtime[0];
    EXPECT_NE(word, 0u);
    EXPECT_EQ(word, l.gauge().hostWord());
    const std::uint32_t list = Word(l.gauge().ActiveMouseList());
    EXPECT_EQ(install[1].args, (std::vector<std::uint32_t>{list, header, word + 4}));
    EXPECT_EQ(l.gauge().MouseInstallAddress(), word + 4);
    EXPECT_EQ(install[2].args, (std::vector<std::uint32_t>{list, header}));

    // Initialize: the altimeter initializes its units variable first.
    host.ClearTrace();
    l.gauge().Initialize();
    std::uint32_t unitsVariable = 0;
    if (altimeter) {
      ASSERT_EQ(Services(host),
                (std::vector<std::string>{"InitializeVariable", "ElementListInitialize"}));
      unitsVariable = host.trace()[0].args[0];
      EXPECT_EQ(host.trace()[0].args[1], kUnitsToken);
      EXPECT_EQ(host.trace()[1].args[0], root);
    } else {
      ASSERT_EQ(Services(host), (std::vector<std::string>{"ElementListInitialize"}));
    }

    // Every update: the altimeter looks the same units variable up again.
    for (int frame = 0; frame < 2; ++frame) {
      host.ClearTrace();
      l.gauge().Frame();
      std::vector<std::string> expected = {"ElementListUpdate"};
      if (altimeter) expected.push_back("LookupVariable");
      expected.insert(expected.end(), {"ElementListGenerate", "ElementListDraw"});
      ASSERT_EQ(Services(host), expected);
      if (altimeter) {
        EXPECT_EQ(host.trace()[1].args, (std::vector<std::uint32_t>{unitsVariable, kUnitsToken}));
      }
    }

    // Kill: the list is unregistered before the element tree goes.
    host.ClearTrace();
    l.gauge().Kill();
    ASSERT_EQ(Services(host), (std::vector<std::string>{"MouseListUnregister", "ElementListKill"}));
    EXPECT_EQ(host.trace()[0].args, (std::vector<std::uint32_t>{list, header}));
    EXPECT_EQ(host.trace()[1].args[0], root);
    EXPECT_EQ(l.gauge().ActiveMouseList(), nullptr);
    EXPECT_TRUE(host.problems().empty()) << host.problems().front();
  }
}

// ------------------------------------------------------------- needle values

struct ValueCase {
  double units;  // host variable 335 (the altimeter's unit setting)
  double raw;
  double expected;
};

void ExpectValues(const Instrument& instrument, std::span<const ValueCase> cases) {
  Loaded l(instrument);
  l.gauge().Start(0);
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "units " << c.units << ", raw " << c.raw);
    EXPECT_DOUBLE_EQ(l.NeedleValue(c.raw, c.units), c.expected);
  }
}

TEST(PeriodInstruments, AltimeterShowsMetresClampedToTheDial) {
  // clang-format off
  const ValueCase cases[] = {
      // units   raw        metres
      // Units exactly 2.0: the altitude arrives in metres.
      {2.0,      4000,      4000},
      {2.0,      6000,      6000},
      {2.0,      6000.5,    6000},
      {2.0,      0,         0},
      {2.0,      -5,        0},
      {2.0,      kInf,      6000},
      {2.0,      kNaN,      0},
      // Any other units value: feet, converted.
      {1.0,      9842.52,   3000},
      {0.0,      19685.04,  6000},
      {2.0001,   30000,     6000},
      {1.9999,   4000,      4000 / 3.28084},
      {1.0,      -100,      0},
      {1.0,      -kInf,     0},
      {1.0,      kNaN,      0},
      {kNaN,     3280.84,   1000},
  };
  // clang-format on
  ExpectValues(kAltimeter, cases);
}

TEST(PeriodInstruments, AltimeterFollowsTheUnitsOfEachUpdate) {
  Loaded l(kAltimeter);
  l.gauge().Start(0);
  // The same raw altitude, read as metres only while the units variable is 2.0.
  const double units[] = {2.0, 1.0, 2.0, 2.0001, 2.0, 0.0, 2.0};
  for (double u : units) {
    SCOPED_TRACE(u);
    EXPECT_DOUBLE_EQ(l.NeedleValue(3280.84, u), u == 2.0 ? 3280.84 : 1000.0);
  }
}

TEST(PeriodInstruments, TachometerShowsPerCentClampedToTheDial) {
  // clang-format off
  const ValueCase cases[] = {
      // units  raw       per cent
      {0,       16384,    100},  // rated speed
      {0,       8192,     50},
      {0,       18841.6,  115},  // the top of the dial
      {0,       20000,    115},  // not 122.07
      {0,       kInf,     115},
      {0,       0,        0},
      {0,       -1,       0},
      {0,       -kInf,    0},
      {0,       kNaN,     0},
  };
  // clang-format on
  ExpectValues(kTachometer, cases);
}

TEST(PeriodInstruments, AirspeedShowsKmhClampedToTheDial) {
  // clang-format off
  const ValueCase cases[] = {
      // units  raw (knots)  km/h
      {0,       100,         185},
      {0,       200 / 1.85,  200},  // the top of the dial
      {0,       120,         200},  // not 222
      {0,       kInf,        200},
      {0,       0,           0},
      {0,       -3,          0},
      {0,       -kInf,       0},
      {0,       kNaN,        0},
  };
  // clang-format on
  ExpectValues(kAirspeed, cases);
}

// ------------------------------------------------------------------ pictures

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

bool SameColour(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) return false;
  }
  return true;
}

// Paint on the dark face: scale marks and numerals.
bool Painted(std::uint32_t pixel) {
  return std::max({Channel(pixel, 0), Channel(pixel, 8), Channel(pixel, 16)}) >= 150;
}

bool PaintedNear(const panelhost::Image& image, double x, double y) {
  const int px = static_cast<int>(std::floor(x));
  const int py = static_cast<int>(std::floor(y));
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (Painted(image.at(px + dx, py + dy))) return true;
    }
  }
  return false;
}

// Palette index of a pixel of an 8-bit DIB (BITMAPINFOHEADER, palette, rows bottom-up).
int PaletteIndex(std::span<const std::uint8_t> dib, int x, int y) {
  std::int32_t width = 0, height = 0;
  std::uint32_t colours = 0;
  std::memcpy(&width, dib.data() + 4, 4);
  std::memcpy(&height, dib.data() + 8, 4);
  std::memcpy(&colours, dib.data() + 32, 4);
  const std::size_t pixels = 40 + 4 * (colours == 0 ? 256 : colours);
  const std::size_t stride = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
  return dib[pixels + static_cast<std::size_t>(height - 1 - y) * stride +
             static_cast<std::size_t>(x)];
}

TEST(PeriodInstruments, BitmapsHaveTheirSizesAndBlackSurrounds) {
  for (const Instrument* inst : kInstruments) {
    SCOPED_TRACE(inst->name);
    Loaded l(*inst);
    const panelhost::Bitmap& face = l.module().DecodedBitmap(4096);
    EXPECT_EQ(face.bitsPerPixel, 8);
    EXPECT_EQ(face.image.width, 311);
    EXPECT_EQ(face.image.height, 321);
    const auto faceDib = l.module().BitmapResource(4096);
    for (auto [x, y] : {std::pair{0, 0}, {310, 0}, {0, 320}, {310, 320}, {155, 1}, {155, 319}}) {
      EXPECT_EQ(PaletteIndex(faceDib, x, y), 0) << x << "," << y;
    }
    EXPECT_EQ(faceDib[40] | faceDib[41] | faceDib[42], 0);  // palette entry 0 is black

    const panelhost::Bitmap& needle = l.module().DecodedBitmap(8192);
    EXPECT_EQ(needle.bitsPerPixel, 8);
    EXPECT_EQ(needle.image.width, inst->needleWidth);
    EXPECT_EQ(needle.image.height, 22);
    const auto needleDib = l.module().BitmapResource(8192);
    // Hub on the pivot pixel, tip at the right edge, black in the corners.
    EXPECT_NE(PaletteIndex(needleDib, inst->needlePivotX, inst->needlePivotY), 0);
    EXPECT_NE(PaletteIndex(needleDib, inst->needleWidth - 1, inst->needlePivotY), 0);
    for (auto [x, y] :
         {std::pair{0, 0}, {inst->needleWidth - 1, 0}, {0, 21}, {inst->needleWidth - 1, 21}}) {
      EXPECT_EQ(PaletteIndex(needleDib, x, y), 0) << x << "," << y;
    }
  }
}

// How many of the samples along `bearing`, from the hub out to where the
// numerals begin, show the needle's own paint.
int NeedleSamples(const panelhost::Image& image, const panelhost::Image& needle, int pivotX,
                  int pivotY, double bearing) {
  const double a = bearing * std::numbers::pi / 180.0;
  int hits = 0;
  for (int d : {20, 35, 50, 65, 80}) {
    const std::uint32_t paint = needle.at(pivotX + d, pivotY);
    const double x = kPivotX + 0.5 + d * std::sin(a);
    const double y = kPivotY + 0.5 - d * std::cos(a);
    if (SameColour(image.at(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))),
                   paint, 40)) {
      ++hits;
    }
  }
  return hits;
}

struct DialCase {
  double raw;
  double units;
  double value;  // the needle value it gives
  int point;     // the calibration point it lies on, or -1 between points
};

void ExpectNeedleOnMarks(const Instrument& instrument, std::span<const DialCase> cases) {
  Loaded l(instrument);
  l.gauge().Start(1);
  const gauge::NeedleElement610& needle = l.needle();
  const panelhost::Image& face = l.module().DecodedBitmap(4096).image;
  const panelhost::Image& paint = l.module().DecodedBitmap(8192).image;
  for (const DialCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "raw " << c.raw << ", value " << c.value);
    ASSERT_DOUBLE_EQ(l.NeedleValue(c.raw, c.units), c.value);
    double bearing = 0;
    if (c.point >= 0) {
      // A calibration point: the face has its mark right on the point.
      const auto& p = needle.calibration[c.point];
      ASSERT_EQ(p.value, c.value);
      EXPECT_TRUE(Painted(face.at(p.x, p.y)));
      bearing = BearingOf(p.x, p.y);
    } else {
      bearing = panelhost::NeedleBearing(needle.calibration, needle.calibrationCount, kPivotX,
                                         kPivotY, c.value);
    }
    // The face has a scale mark where the needle points.
    const double a = bearing * std::numbers::pi / 180.0;
    EXPECT_TRUE(
        PaintedNear(face, kPivotX + 0.5 + 134 * std::sin(a), kPivotY + 0.5 - 134 * std::cos(a)));

    const panelhost::Image image = panelhost::RenderGauge(l.gauge());
    EXPECT_EQ(NeedleSamples(image, paint, needle.header.pivotX, needle.header.pivotY, bearing), 5);
    for (double off : {-10.0, 10.0}) {
      EXPECT_LE(
          NeedleSamples(image, paint, needle.header.pivotX, needle.header.pivotY, bearing + off), 1)
          << "needle paint " << off << " degrees off its bearing";
    }
  }
}

TEST(PeriodInstruments, AltimeterNeedleLiesOnItsMarks) {
  // clang-format off
  const DialCase cases[] = {
      // raw      units  metres  calibration point
      {0,         2.0,   0,      0},
      {3000,      2.0,   3000,   1},
      {6000,      2.0,   6000,   2},
      {30000,     1.0,   6000,   2},  // clamped, from feet
      {-50,       1.0,   0,      0},  // clamped
      {1000,      2.0,   1000,   -1},
      {4500,      2.0,   4500,   -1},
      {3280.84,   1.0,   1000,   -1},  // from feet
      {5800,      2.0,   5800,   -1},
  };
  // clang-format on
  ExpectNeedleOnMarks(kAltimeter, cases);
}

TEST(PeriodInstruments, TachometerNeedleLiesOnItsMarks) {
  // clang-format off
  const DialCase cases[] = {
      // raw      units  per cent  calibration point
      {0,         0,     0,        0},
      {16384,     0,     100,      1},
      {18841.6,   0,     115,      2},
      {30000,     0,     115,      2},  // clamped
      {8192,      0,     50,       -1},
      {17612.8,   0,     107.5,    -1},  // in the red band
  };
  // clang-format on
  ExpectNeedleOnMarks(kTachometer, cases);
}

TEST(PeriodInstruments, AirspeedNeedleLiesOnItsMarks) {
  // clang-format off
  const DialCase cases[] = {
      // raw (knots)  units  km/h  calibration point
      {0,             0,     0,    0},
      {kNaN,          0,     0,    0},
      {40 / 1.85,     0,     40,   1},
      {80 / 1.85,     0,     80,   3},
      {120 / 1.85,    0,     120,  5},
      {160 / 1.85,    0,     160,  7},
      {300,           0,     200,  8},  // clamped
      {20 / 1.85,     0,     20,   -1},
      {90 / 1.85,     0,     90,   -1},
      {180 / 1.85,    0,     180,  -1},  // the numeral without a point of its own
  };
  // clang-format on
  ExpectNeedleOnMarks(kAirspeed, cases);
}

}  // namespace
