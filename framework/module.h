// What every gauge module is built from: its exported records and the seven
// gauge routines, written once and instantiated per gauge.
#pragma once

#include <cstdint>

#include "host_services.h"
#include "records.h"

// Each module defines both, with the module's own entry count and gauge count.
GAUGE_EXPORT gauge::ImportEntry ImportTable[];

namespace gauge {

// The ImportTable's address for `id`, as the host wrote it; read at every call.
inline void* ImportedAddress(std::uint32_t id) {
  for (const ImportEntry* entry = ImportTable; entry->id != 0; ++entry) {
    if (entry->id == id) return entry->address;
  }
  return nullptr;
}

inline HostServices& Host() {
  return *static_cast<HostServices*>(ImportedAddress(kImportHostServices));
}

// Module init and deinit hooks: nothing to do, all state is in the image.
void GAUGE_CALL ModuleHookNothing();
void GAUGE_CALL ModuleDeinitNothing();

// The seven routines of a version-700 gauge whose element list is `Elements`:
// each hands the gauge's own root element to one host service.
template <auto& Elements>
struct Routines700 {
  static ElementHeader* Root() { return Elements[0]; }
  static void GAUGE_CALL Query() { Host().ElementListQuery(Root()); }
  static void GAUGE_CALL Install(std::uint32_t arg) { Host().ElementListInstall(Root(), arg); }
  static void GAUGE_CALL Initialize() { Host().ElementListInitialize(Root()); }
  static void GAUGE_CALL Update() { Host().ElementListUpdate(Root()); }
  static void GAUGE_CALL Generate(std::uint32_t arg) { Host().ElementListGenerate(Root(), arg); }
  static void GAUGE_CALL Draw() { Host().ElementListDraw(Root()); }
  static void GAUGE_CALL Kill() { Host().ElementListKill(Root()); }
};

// Version-610 routines: install and kill also attach `MouseList` to the host,
// and initialize first initializes `*InitVariable` when the gauge keeps one.
template <auto& Gauge, auto& Elements, auto& MouseList, HostVariable* InitVariable = nullptr>
struct Routines610 : Routines700<Elements> {
  using Base = Routines700<Elements>;
  static void GAUGE_CALL Install(std::uint32_t arg) {
    Host().ElementListInstall(Base::Root(), arg);
    // The root image's first run-time word is filled by the install service
    // itself, so it is read only now.
    auto* root = reinterpret_cast<StaticImageElement610*>(Base::Root());
    Host().MouseListInstall(MouseList, const_cast<GaugeHeaderBase*>(&Gauge.base),
                            root->runtime[0] + 4);
    Host().MouseListRegister(MouseList, const_cast<GaugeHeaderBase*>(&Gauge.base));
  }
  static void GAUGE_CALL Initialize() {
    // A plain if: compilers that treat a symbol's address as possibly null
    // (the sanitizer build) cannot take it as a constant expression.
    if (InitVariable != nullptr) Host().InitializeVariable(InitVariable);
    Host().ElementListInitialize(Base::Root());
  }
  static void GAUGE_CALL Kill() {
    Host().MouseListUnregister(MouseList, const_cast<GaugeHeaderBase*>(&Gauge.base));
    Host().ElementListKill(Base::Root());
  }
};

// The header's seven routines in the header's order.
template <typename R>
constexpr GaugeHeaderBase HeaderBase(std::uint32_t version, const char* name,
                                     ElementHeader* const* elements, std::uint32_t defaultWidth) {
  return {version,    name,         elements, &R::Query, &R::Install, &R::Initialize,
          &R::Update, &R::Generate, &R::Draw, &R::Kill,  0,           defaultWidth};
}

}  // namespace gauge
