// The module source of the three period needle instruments: one version-610
// gauge showing a single needle over a dial face. Each module is this file
// built with its own data set, the header named by PERIOD_INSTRUMENT_DATA
// (period_instruments/CMakeLists.txt).
#include "period_instruments/instrument.h"

#include <array>
#include <cstddef>

#include "framework/module.h"
#include "period_instruments/dials.h"

#ifndef PERIOD_INSTRUMENT_DATA
#error "PERIOD_INSTRUMENT_DATA names the data set header of the module being built"
#endif
#include PERIOD_INSTRUMENT_DATA

namespace period {

namespace {

// The needle's calibration table, built from the dial's marks so that the
// picture and the record share one source.
template <std::size_t N>
constexpr std::array<gauge::NeedleCalibrationPoint, N> CalibrationTable(
    std::span<const dials::CalibrationMark, N> marks) {
  std::array<gauge::NeedleCalibrationPoint, N> table{};
  for (std::size_t i = 0; i < N; ++i) {
    table[i] = {.x = marks[i].x, .y = marks[i].y, .value = marks[i].value, .degrees = 0.0};
  }
  return table;
}

constexpr std::size_t kPoints = kInstrument.calibration.size();

}  // namespace

// Declared ahead: the routines name them, and the records name the routines.
extern gauge::GaugeHeader610 Gauge;
extern gauge::ElementHeader* const Elements[2];
extern gauge::MouseArea MouseList[3];

using Routines = gauge::Routines610<Gauge, Elements, MouseList, kInstrument.initVariable>;

constinit std::array<gauge::NeedleCalibrationPoint, kPoints> Calibration =
    CalibrationTable(std::span<const dials::CalibrationMark, kPoints>(kInstrument.calibration));

constinit gauge::FailureBinding NeedleFailures[] = {
    kInstrument.failure,
    {.key = 0, .action = 0},
};

constinit gauge::NeedleElement610 Needle = {
    .header = {.kind = gauge::kNeedle,
               .bitmapId = dials::kNeedleBitmap,
               .x = dials::kPivotX,
               .y = dials::kPivotY,
               .zero16 = 0,
               .zero20 = 0,
               .pivotX = kInstrument.needle.pivotX,
               .pivotY = kInstrument.needle.pivotY,
               .owner = &Gauge.base,
               .zero36 = 0,
               .children = nullptr,
               .failures = NeedleFailures,
               .drawFlags = gauge::kDrawImage,
               .zero52 = 0,
               .zero56 = 0},
    .source = gauge::Var(kInstrument.sourceToken),
    .callback = kInstrument.value,
    .zero92 = {},
    .startX = kInstrument.calibration[0].x,
    .startY = kInstrument.calibration[0].y,
    .calibration = Calibration.data(),
    .calibrationCount = static_cast<std::int32_t>(kPoints),
    .zero120 = {},
};

constinit gauge::ElementHeader* const BackgroundChildren[] = {&Needle.header, nullptr};

constinit gauge::StaticImageElement610 Background = {
    .header = {.kind = gauge::kStaticImage,
               .bitmapId = dials::kFaceBitmap,
               .x = 0,
               .y = 0,
               .zero16 = 0,
               .zero20 = 0,
               .pivotX = 0,
               .pivotY = 0,
               .owner = &Gauge.base,
               .zero36 = 0,
               .children = BackgroundChildren,
               .failures = nullptr,
               .drawFlags = gauge::kDrawStaticImage,
               .zero52 = 0,
               .zero56 = 0},
    .runtime = {},  // the host stores an address in runtime[0] during install
};

constinit gauge::ElementHeader* const Elements[2] = {&Background.header, nullptr};

// No clickable area: the list only gives the gauge its help id.
constinit gauge::MouseArea MouseList[3] = {
    gauge::MouseParent(0, 0, 0, 0, kInstrument.helpId),
    gauge::MouseEndParent(),
    gauge::MouseEndList(),
};

// Version 610: the mouse list and callback positions stay 0; the install
// routine hands the list to the host itself.
constinit gauge::GaugeHeader610 Gauge = {
    .base = gauge::HeaderBase<Routines>(gauge::kGaugeVersion610, kInstrument.gaugeName, Elements,
                                        dials::kFaceWidth),
    .zero48 = {},
};

}  // namespace period

// The two exported records; module.h declares ImportTable with its export.
constinit gauge::ImportEntry ImportTable[] = {
    {.id = gauge::kImportHostServices, .address = nullptr},
    {.id = 0, .address = nullptr},
};

GAUGE_EXPORT gauge::LinkageRecord<1> Linkage;
constinit gauge::LinkageRecord<1> Linkage = {
    .head = {.moduleId = gauge::kModuleId,
             .init = &gauge::ModuleHookNothing,
             .deinit = &gauge::ModuleDeinitNothing,
             .zero12 = {}},
    .gauges = {&period::Gauge.base, nullptr},
};
