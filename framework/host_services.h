// The host's service table, reached through the ImportTable entry with id 0x0F.
// Entry N, at byte offset 4N, holds a service's address; modules ignore every
// service's result, so services return nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "records.h"

namespace gauge {

#pragma pack(push, 4)
struct HostServices {
  void* unused0[24];
  void(GAUGE_CALL* ElementListQuery)(ElementHeader* root);                        // 24
  void(GAUGE_CALL* ElementListInstall)(ElementHeader* root, std::uint32_t arg);   // 25
  void(GAUGE_CALL* ElementListInitialize)(ElementHeader* root);                   // 26
  void(GAUGE_CALL* ElementListUpdate)(ElementHeader* root);                       // 27
  void(GAUGE_CALL* ElementListGenerate)(ElementHeader* root, std::uint32_t arg);  // 28
  void(GAUGE_CALL* ElementListDraw)(ElementHeader* root);                         // 29
  void* unused30;
  void(GAUGE_CALL* ElementListKill)(ElementHeader* root);  // 31
  // The third argument is the root image's host-filled word plus 4.
  void(GAUGE_CALL* MouseListInstall)(MouseArea* list, GaugeHeaderBase* gauge,
                                     std::uint32_t hostAddress);                   // 32
  void(GAUGE_CALL* MouseListRegister)(MouseArea* list, GaugeHeaderBase* gauge);    // 33
  void(GAUGE_CALL* MouseListUnregister)(MouseArea* list, GaugeHeaderBase* gauge);  // 34
  void* unused35;
  void(GAUGE_CALL* TriggerKeyEvent)(std::uint32_t event, std::uint32_t parameter);  // 36
  void* unused37;
  void(GAUGE_CALL* InitializeVariable)(HostVariable* variable);  // 38
  void* unused39;
  void(GAUGE_CALL* LookupVariable)(HostVariable* variable);  // 40
};
#pragma pack(pop)

#define GAUGE_SERVICE(field, entry) \
  static_assert(offsetof(HostServices, field) == 4 * (entry), "HostServices." #field)
GAUGE_SERVICE(ElementListQuery, 24);
GAUGE_SERVICE(ElementListInstall, 25);
GAUGE_SERVICE(ElementListInitialize, 26);
GAUGE_SERVICE(ElementListUpdate, 27);
GAUGE_SERVICE(ElementListGenerate, 28);
GAUGE_SERVICE(ElementListDraw, 29);
GAUGE_SERVICE(ElementListKill, 31);
GAUGE_SERVICE(MouseListInstall, 32);
GAUGE_SERVICE(MouseListRegister, 33);
GAUGE_SERVICE(MouseListUnregister, 34);
GAUGE_SERVICE(TriggerKeyEvent, 36);
GAUGE_SERVICE(InitializeVariable, 38);
GAUGE_SERVICE(LookupVariable, 40);
#undef GAUGE_SERVICE
static_assert(sizeof(HostServices) == 41 * 4);

// Well-known GaugeCallback service ids.
inline constexpr std::uint32_t kServiceInstalled = 3;
inline constexpr std::uint32_t kServiceUpdating = 6;
inline constexpr std::uint32_t kServiceKilling = 12;

}  // namespace gauge
