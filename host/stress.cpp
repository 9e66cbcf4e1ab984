// validate --strict: runs a module's code under hostile values, odd life
// cycles and many clicks, and watches what it writes, allocates and opens.
#include "host/stress.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>

#include "framework/host_services.h"
#include "host/host.h"
#include "host/stress_watch.h"

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace panelhost {

namespace {

using gauge::ElementHeader;
using gauge::GaugeHeaderBase;
using gauge::HostVariable;

// ---------------------------------------------------------------- texts

std::string Hex(std::uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", v);
  return buffer;
}

// A double as the findings show it: short, exact for the special values.
std::string Number(double v) {
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  // The shortest form that reads back the same value.
  for (int precision = 1; precision < 17; ++precision) {
    char shorter[40];
    std::snprintf(shorter, sizeof shorter, "%.*g", precision, v);
    if (std::strtod(shorter, nullptr) == v) return shorter;
  }
  return buffer;
}

// A module's text, quoted, with bytes that are not printable escaped.
std::string Quoted(const char* p, std::size_t n) {
  std::string out = "\"";
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      out += esc;
    }
  }
  return out + "\"";
}

const char* KindName(std::uint32_t kind) {
  switch (kind) {
    case gauge::kStaticImage:
      return "static image";
    case gauge::kNeedle:
      return "needle";
    case gauge::kString:
      return "string";
    case gauge::kSlider:
      return "slider";
    case gauge::kIcon:
      return "icon";
    default:
      return "element";
  }
}

// Elements are named as validate names them: "root element", "child 3 (string at 76,17)".
std::string ElementName(const ElementHeader* e, std::size_t childIndex) {
  if (childIndex == 0) return "root element";
  return "child " + std::to_string(childIndex) + " (" + KindName(e->kind) + " at " +
         std::to_string(e->x) + "," + std::to_string(e->y) + ")";
}

// ---------------------------------------------------------------- findings

// Where the running check notes the call it is making, so that a crash can
// be told apart by the call it happened in. In a child process this lies in
// memory shared with the parent.
struct CallNote {
  char gauge[96];
  char record[160];
  char field[64];
  char call[256];
};
CallNote* g_note = nullptr;

void Copy(char* to, std::size_t size, const std::string& from) {
  const std::size_t n = std::min(size - 1, from.size());
  std::memcpy(to, from.data(), n);
  to[n] = '\0';
}

void Note(const std::string& gaugeName, const std::string& record, const std::string& field,
          const std::string& call) {
  if (g_note == nullptr) return;
  Copy(g_note->gauge, sizeof g_note->gauge, gaugeName);
  Copy(g_note->record, sizeof g_note->record, record);
  Copy(g_note->field, sizeof g_note->field, field);
  Copy(g_note->call, sizeof g_note->call, call);
}

using Sink = std::function<void(const Finding&)>;

// Findings of one check: each problem once, however often it recurs.
class Report {
 public:
  Report(std::string check, Sink sink) : check_(std::move(check)), sink_(std::move(sink)) {}

  void Add(Outcome outcome, const std::string& gaugeName, const std::string& record,
           const std::string& field, const std::string& message) {
    if (!seen_.insert(gaugeName + "\n" + record + "\n" + field).second) return;
    if (outcome == Outcome::kFail) ++failures_;
    sink_({check_, outcome, gaugeName, record, field, message});
  }
  void Fail(const std::string& gaugeName, const std::string& record, const std::string& field,
            const std::string& message) {
    Add(Outcome::kFail, gaugeName, record, field, message);
  }
  // The check's closing finding: what it tried, when nothing failed.
  void Pass(const std::string& message) {
    if (failures_ == 0) sink_({check_, Outcome::kPass, "", "", "", message});
  }
  void Skip(const std::string& reason) { sink_({check_, Outcome::kSkip, "", "", "", reason}); }
  int failures() const { return failures_; }
  const std::string& check() const { return check_; }

 private:
  std::string check_;
  Sink sink_;
  std::set<std::string> seen_;
  int failures_ = 0;
};

// ---------------------------------------------------------------- the module's records

// One field of a record: its bytes, its name, and whether the host (or, for
// text colours, the module's callbacks) may change it.
struct Field {
  std::uint32_t offset;
  std::uint32_t size;
  std::string name;
  bool mayChange;
};
using Layout = std::vector<Field>;

void Add(Layout& l, std::uint32_t offset, std::uint32_t size, std::string name,
         bool mayChange = false) {
  l.push_back({offset, size, std::move(name), mayChange});
}
void Words(Layout& l, std::uint32_t from, std::uint32_t to) {
  for (std::uint32_t o = from; o < to; o += 4) Add(l, o, 4, "word at offset " + std::to_string(o));
}
void Variable(Layout& l, std::uint32_t at, const std::string& name) {
  Add(l, at, 4, name + ".token");
  Add(l, at + 4, 4, name + ".raw", true);
  Add(l, at + 8, 4, name + " word at offset 8");
  Add(l, at + 12, 8, name + ".value", true);
  Add(l, at + 20, 8, name + " word at offset 20");
}

Layout ElementLayout(const ElementHeader* e, bool v610, bool isRoot) {
  Layout l;
  Add(l, 0, 4, "kind");
  Add(l, 4, 4, "bitmapId");
  Add(l, 8, 4, "x");
  Add(l, 12, 4, "y");
  Words(l, 16, 24);
  Add(l, 24, 4, "pivotX");
  Add(l, 28, 4, "pivotY");
  Add(l, 32, 4, "owner");
  Words(l, 36, 40);
  Add(l, 40, 4, "children");
  Add(l, 44, 4, "failures");
  Add(l, 48, 4, "drawFlags");
  Words(l, 52, 60);
  switch (e->kind) {
    case gauge::kStaticImage:
      // The root's first run-time word holds the host's address after install.
      Add(l, 60, 4, "word at offset 60", isRoot);
      Words(l, 64, v610 ? 80 : 96);
      break;
    case gauge::kNeedle:
      Variable(l, 60, "source");
      if (v610) {
        Add(l, 88, 4, "callback");
        Words(l, 92, 104);
        Add(l, 104, 4, "startX");
        Add(l, 108, 4, "startY");
      } else {
        Words(l, 88, 112);
      }
      Add(l, 112, 4, "calibration");
      Add(l, 116, 4, "calibrationCount");
      Words(l, 120, 224);
      if (!v610) {
        Add(l, 224, 4, "callback");
        Words(l, 228, 236);
      }
      break;
    case gauge::kString:
      Variable(l, 60, "source1");
      Variable(l, 88, "source2");
      Variable(l, 116, "source3");
      Words(l, 144, 184);
      Add(l, 184, 4, "text", true);
      Words(l, 188, 192);
      Add(l, 192, 4, "boxWidth");
      Add(l, 196, 4, "boxHeight");
      Words(l, 200, 208);
      Add(l, 208, 4, "textColour", true);
      Add(l, 212, 4, "colour2");
      Add(l, 216, 4, "colour3");
      Words(l, 220, 248);
      Add(l, 248, 32, "fontFace");
      Add(l, 280, 4, "fontWeight");
      Add(l, 284, 4, "charset");
      Add(l, 288, 4, "textFormat");
      Add(l, 292, 4, "charCount");
      Words(l, 296, 312);
      Add(l, 312, 4, "callback");
      Words(l, 316, 320);
      break;
    case gauge::kIcon:
      Variable(l, 60, "source");
      Words(l, 88, 92);
      Add(l, 92, 4, "selectionMode");
      Words(l, 96, 100);
      Add(l, 100, 8, "selectionParameter");
      Words(l, 108, 112);
      Add(l, 112, 4, "bitmapCount");
      Words(l, 116, 132);
      Add(l, 132, 4, "callback");
      break;
    case gauge::kSlider:
      Variable(l, 60, "xSource");
      Words(l, 88, 104);
      Variable(l, 104, "ySource");
      Words(l, 132, 136);
      Add(l, 136, 8, "yScale");
      Words(l, 144, 192);
      break;
    default:
      break;
  }
  return l;
}

std::uint32_t RecordSize(const Layout& l) {
  std::uint32_t end = 0;
  for (const Field& f : l) end = std::max(end, f.offset + f.size);
  return end;
}

// A record of the module and its bytes as the module defined them.
struct Region {
  std::uint8_t* base = nullptr;
  std::string gauge;
  std::string record;
  Layout layout;
  std::vector<std::uint8_t> saved;
};

class Records {
 public:
  explicit Records(Module& module) : module_(module) {}

  // Every record reachable from the module's exports, as loaded.
  void TakeAll() {
    gauge::ImportEntry* imports = module_.importTable();
    Layout importLayout;
    std::uint32_t n = 0;
    while (n < 16 && module_.Contains(&imports[n], sizeof imports[n])) {
      Add(importLayout, 8 * n, 4, "entry " + std::to_string(n) + ".id");
      Add(importLayout, 8 * n + 4, 4, "entry " + std::to_string(n) + ".address", true);
      if (imports[n++].id == 0) break;
    }
    Take(imports, "", "ImportTable", importLayout);

    Layout linkage;
    Add(linkage, 0, 4, "moduleId");
    Add(linkage, 4, 4, "init");
    Add(linkage, 8, 4, "deinit");
    Words(linkage, 12, 24);
    const std::vector<GaugeHeaderBase*> gauges = module_.gauges();
    for (std::uint32_t i = 0; i <= gauges.size(); ++i) {
      Add(linkage, 24 + 4 * i, 4, "gauges[" + std::to_string(i) + "]");
    }
    Take(module_.linkage(), "", "Linkage", linkage);
    for (GaugeHeaderBase* h : gauges) TakeGauge(h);
  }

  void TakeGauge(GaugeHeaderBase* h) {
    const std::string name = h->name;
    const bool v610 = h->version == gauge::kGaugeVersion610;
    Layout header;
    const char* routineNames[] = {"version",    "name",   "elements", "query", "install",
                                  "initialize", "update", "generate", "draw",  "kill"};
    for (std::uint32_t i = 0; i < 10; ++i) Add(header, 4 * i, 4, routineNames[i]);
    Words(header, 40, 44);
    Add(header, 44, 4, "defaultWidth");
    if (v610) {
      Words(header, 48, 88);
    } else {
      Words(header, 48, 80);
      Add(header, 80, 4, "mouseAreas");
      Add(header, 84, 4, "callback");
      Words(header, 88, 120);
    }
    Take(h, name, "gauge header", header);
    Layout text;
    Add(text, 0, static_cast<std::uint32_t>(std::strlen(h->name) + 1), "name text");
    Take(h->name, name, "gauge name", text);
    Layout list;
    Add(list, 0, 4, "entry 0");
    Add(list, 4, 4, "entry 1");
    Take(h->elements, name, "element list", list);

    ElementHeader* root = h->elements[0];
    std::vector<ElementHeader*> elements{root};
    if (root->children != nullptr) {
      Layout children;
      std::uint32_t i = 0;
      for (; i < 1000 && root->children[i] != nullptr; ++i) {
        elements.push_back(root->children[i]);
        Add(children, 4 * i, 4, "entry " + std::to_string(i));
      }
      Add(children, 4 * i, 4, "entry " + std::to_string(i));
      Take(root->children, name, "child list", children);
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
      ElementHeader* e = elements[i];
      const std::string record = ElementName(e, i);
      Take(e, name, record, ElementLayout(e, v610, i == 0));
      if (e->failures != nullptr) {
        Layout failures;
        for (std::uint32_t f = 0; f < 64; ++f) {
          Add(failures, 8 * f, 4, "entry " + std::to_string(f) + ".key");
          Add(failures, 8 * f + 4, 4, "entry " + std::to_string(f) + ".action");
          if (e->failures[f].key == 0) break;
        }
        Take(e->failures, name, "failure list of " + record, failures);
      }
      if (e->kind == gauge::kNeedle) {
        auto* n7 = reinterpret_cast<gauge::NeedleElement700*>(e);  // same offsets in 610
        Layout points;
        for (std::int32_t p = 0; p < n7->calibrationCount && p < 1000; ++p) {
          const auto o = static_cast<std::uint32_t>(24 * p);
          const std::string point = "point " + std::to_string(p + 1);
          Add(points, o, 4, point + ".x");
          Add(points, o + 4, 4, point + ".y");
          Add(points, o + 8, 8, point + ".value");
          Add(points, o + 16, 8, point + ".degrees");
        }
        Take(n7->calibration, name, "calibration table of " + record, points);
      }
    }
    if (!v610) TakeMouseList(reinterpret_cast<gauge::GaugeHeader700*>(h)->mouseAreas, name);
  }

  // A mouse list, up to and with its end record.
  void TakeMouseList(gauge::MouseArea* list, const std::string& gaugeName) {
    if (list == nullptr) return;
    Layout l;
    for (std::uint32_t i = 0; i < 1000 && module_.Contains(&list[i], sizeof list[i]); ++i) {
      const std::uint32_t o = 44 * i;
      const std::string area = "area " + std::to_string(i + 1);
      const char* names[] = {".kind",
                             ".x",
                             ".y",
                             ".width",
                             ".height",
                             ".cursor",
                             ".helpId",
                             ".eventMask",
                             " word at offset 32",
                             ".handler",
                             " word at offset 40"};
      for (std::uint32_t w = 0; w < 11; ++w) Add(l, o + 4 * w, 4, area + names[w]);
      if (list[i].kind == gauge::kMouseEndOfList) break;
    }
    Take(list, gaugeName, "mouse list", l);
  }

  // Compares every record with its saved bytes; a changed field that module
  // code may not write is reported once, and put back as it was.
  void Compare(Report& report, const std::string& call) {
    for (auto& [address, r] : regions_) {
      if (std::memcmp(r.base, r.saved.data(), r.saved.size()) == 0) continue;
      for (const Field& f : r.layout) {
        if (f.mayChange || std::memcmp(r.base + f.offset, r.saved.data() + f.offset, f.size) == 0) {
          continue;
        }
        std::string change;
        if (f.size == 4) {
          std::uint32_t was, now;
          std::memcpy(&was, r.saved.data() + f.offset, 4);
          std::memcpy(&now, r.base + f.offset, 4);
          change = ": was " + Hex(was) + ", now " + Hex(now);
        }
        report.Fail(r.gauge, r.record, f.name,
                    "changed by " + call + change +
                        "; module code writes only string texts and text colours");
        std::memcpy(r.base + f.offset, r.saved.data() + f.offset, f.size);
      }
    }
  }

  std::size_t count() const { return regions_.size(); }

 private:
  void Take(const void* p, const std::string& gaugeName, const std::string& record, Layout layout) {
    auto* base = static_cast<std::uint8_t*>(const_cast<void*>(p));
    const std::uint32_t size = RecordSize(layout);
    if (base == nullptr || size == 0 || !module_.Contains(base, size)) return;
    if (regions_.count(base) != 0) return;  // shared, e.g. one failure list for two elements
    Region r{base, gaugeName, record, std::move(layout),
             std::vector<std::uint8_t>(base, base + size)};
    regions_.emplace(base, std::move(r));
  }

  Module& module_;
  std::map<const std::uint8_t*, Region> regions_;
};

// ---------------------------------------------------------------- services seen by the module

// The module reaches the host through a table of ours that pauses the watch
// while the host works and learns which variables the module looks up.
gauge::HostServices g_hostServices{};
gauge::HostServices g_tappedServices{};
std::set<std::uint32_t>* g_lookedUp = nullptr;

void GAUGE_CALL TapQuery(ElementHeader* root) {
  watch::Paused paused;
  g_hostServices.ElementListQuery(root);
}
void GAUGE_CALL TapInstall(ElementHeader* root, std::uint32_t arg) {
  watch::Paused paused;
  g_hostServices.ElementListInstall(root, arg);
}
void GAUGE_CALL TapInitialize(ElementHeader* root) {
  watch::Paused paused;
  g_hostServices.ElementListInitialize(root);
}
void GAUGE_CALL TapUpdate(ElementHeader* root) {
  watch::Paused paused;
  g_hostServices.ElementListUpdate(root);
}
void GAUGE_CALL TapGenerate(ElementHeader* root, std::uint32_t arg) {
  watch::Paused paused;
  g_hostServices.ElementListGenerate(root, arg);
}
void GAUGE_CALL TapDraw(ElementHeader* root) {
  watch::Paused paused;
  g_hostServices.ElementListDraw(root);
}
void GAUGE_CALL TapKill(ElementHeader* root) {
  watch::Paused paused;
  g_hostServices.ElementListKill(root);
}
void GAUGE_CALL TapMouseInstall(gauge::MouseArea* list, GaugeHeaderBase* h, std::uint32_t address) {
  watch::Paused paused;
  g_hostServices.MouseListInstall(list, h, address);
}
void GAUGE_CALL TapMouseRegister(gauge::MouseArea* list, GaugeHeaderBase* h) {
  watch::Paused paused;
  g_hostServices.MouseListRegister(list, h);
}
void GAUGE_CALL TapMouseUnregister(gauge::MouseArea* list, GaugeHeaderBase* h) {
  watch::Paused paused;
  g_hostServices.MouseListUnregister(list, h);
}
void GAUGE_CALL TapKeyEvent(std::uint32_t id, std::uint32_t parameter) {
  watch::Paused paused;
  g_hostServices.TriggerKeyEvent(id, parameter);
}
void GAUGE_CALL TapInitializeVariable(HostVariable* v) {
  watch::Paused paused;
  if (g_lookedUp != nullptr && v != nullptr && v->token != 0) g_lookedUp->insert(v->token);
  g_hostServices.InitializeVariable(v);
}
void GAUGE_CALL TapLookupVariable(HostVariable* v) {
  watch::Paused paused;
  if (g_lookedUp != nullptr && v != nullptr && v->token != 0) g_lookedUp->insert(v->token);
  g_hostServices.LookupVariable(v);
}

// Attaches the host and puts our table in front of its services.
void AttachTapped(Host& host, Module& module, std::set<std::uint32_t>* lookedUp) {
  host.Attach(module);
  g_lookedUp = lookedUp;
  gauge::ImportEntry* e = module.importTable();
  for (int i = 0; i < 16 && module.Contains(e, sizeof *e) && e->id != 0; ++i, ++e) {
    if (e->id != gauge::kImportHostServices || e->address == nullptr) continue;
    if (e->address != &g_tappedServices) {
      g_hostServices = *static_cast<gauge::HostServices*>(e->address);
    }
    g_tappedServices = g_hostServices;
    g_tappedServices.ElementListQuery = TapQuery;
    g_tappedServices.ElementListInstall = TapInstall;
    g_tappedServices.ElementListInitialize = TapInitialize;
    g_tappedServices.ElementListUpdate = TapUpdate;
    g_tappedServices.ElementListGenerate = TapGenerate;
    g_tappedServices.ElementListDraw = TapDraw;
    g_tappedServices.ElementListKill = TapKill;
    g_tappedServices.MouseListInstall = TapMouseInstall;
    g_tappedServices.MouseListRegister = TapMouseRegister;
    g_tappedServices.MouseListUnregister = TapMouseUnregister;
    g_tappedServices.TriggerKeyEvent = TapKeyEvent;
    g_tappedServices.InitializeVariable = TapInitializeVariable;
    g_tappedServices.LookupVariable = TapLookupVariable;
    e->address = &g_tappedServices;
  }
}

// ---------------------------------------------------------------- inputs

std::vector<double> FixedValues() {
  using L = std::numeric_limits<double>;
  return {L::quiet_NaN(),
          -L::quiet_NaN(),
          L::infinity(),
          -L::infinity(),
          0.0,
          -0.0,
          L::denorm_min(),
          -L::denorm_min(),
          2.2250738585072009e-308,
          -2.2250738585072009e-308,
          L::min(),
          1e-300,
          1e300,
          -1e300,
          L::max(),
          L::lowest(),
          2147483647.0,
          2147483647.5,
          2147483648.0,
          -2147483648.0,
          -2147483648.5,
          -2147483649.0,
          4294967295.0,
          4294967296.0,
          9.3e18,
          -9.3e18,
          1e15,
          -1e15,
          0.5,
          -0.5,
          0.9999999999,
          -0.9999999999,
          1.0,
          -1.0,
          359.999999,
          -180.0000001};
}

std::vector<std::int32_t> FixedWords() {
  using L = std::numeric_limits<std::int32_t>;
  return {L::min(), L::min() + 1, -1, 0, 1, L::max() - 1, L::max(), 0x7FFF, -0x8000, 1000000000};
}

// Random values of four kinds, reproducible from the seed on every platform:
// any bit pattern, wide magnitudes, whole numbers and everyday values.
std::vector<double> RandomValues(std::uint32_t seed, int count) {
  std::mt19937_64 random(seed);
  std::vector<double> out;
  for (int i = 0; i < count; ++i) {
    const std::uint64_t r = random();
    const double unit = static_cast<double>(r >> 11) * 0x1.0p-53;  // [0, 1)
    double v = 0;
    switch (i % 4) {
      case 0:
        std::memcpy(&v, &r, sizeof v);
        break;
      case 1:
        v = std::ldexp(unit * 2 - 1, static_cast<int>(random() % 2100) - 1074);
        break;
      case 2:
        v = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(r)));
        break;
      default:
        v = (unit * 2 - 1) * 100000.0;
        break;
    }
    out.push_back(v);
  }
  return out;
}

std::vector<std::int32_t> RandomWords(std::uint32_t seed, int count) {
  std::mt19937 random(seed ^ 0x5EEDu);
  std::vector<std::int32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(static_cast<std::int32_t>(random()));
  return out;
}

// ---------------------------------------------------------------- running a gauge

// The elements of a gauge as the host walks them: the root, then its children.
std::vector<ElementHeader*> ElementsOf(GaugeHeaderBase* h) {
  std::vector<ElementHeader*> out{h->elements[0]};
  ElementHeader* root = h->elements[0];
  if (root->children != nullptr) {
    for (std::size_t i = 0; i < 1000 && root->children[i] != nullptr; ++i)
      out.push_back(root->children[i]);
  }
  return out;
}

// The HostVariable records embedded in an element.
std::vector<HostVariable*> VariablesOf(ElementHeader* e, bool v610) {
  switch (e->kind) {
    case gauge::kNeedle:
      if (v610) return {&reinterpret_cast<gauge::NeedleElement610*>(e)->source};
      return {&reinterpret_cast<gauge::NeedleElement700*>(e)->source};
    case gauge::kString: {
      auto* s = reinterpret_cast<gauge::StringElement700*>(e);
      return {&s->source1, &s->source2, &s->source3};
    }
    case gauge::kIcon:
      return {&reinterpret_cast<gauge::IconElement700*>(e)->source};
    case gauge::kSlider: {
      auto* s = reinterpret_cast<gauge::SliderElement700*>(e);
      return {&s->xSource, &s->ySource};
    }
    default:
      return {};
  }
}

bool HasCallback(ElementHeader* e, bool v610) {
  switch (e->kind) {
    case gauge::kNeedle:
      return v610 ? reinterpret_cast<gauge::NeedleElement610*>(e)->callback != nullptr
                  : reinterpret_cast<gauge::NeedleElement700*>(e)->callback != nullptr;
    case gauge::kString:
      return reinterpret_cast<gauge::StringElement700*>(e)->callback != nullptr;
    case gauge::kIcon:
      return reinterpret_cast<gauge::IconElement700*>(e)->callback != nullptr;
    default:
      return false;
  }
}

// Click areas of a mouse list, in list order.
std::vector<const gauge::MouseArea*> ClickAreas(const gauge::MouseArea* list) {
  std::vector<const gauge::MouseArea*> out;
  if (list == nullptr) return out;
  for (int i = 0; i < 1000 && list[i].kind != gauge::kMouseEndOfList; ++i) {
    if (list[i].kind == gauge::kMouseClickArea && list[i].handler != nullptr)
      out.push_back(&list[i]);
  }
  return out;
}

// The gauge the host is calling, for the services the module calls back.
class Active {
 public:
  Active(Host& host, Gauge& g) : host_(host), saved_(host.active()) { host.SetActive(&g); }
  ~Active() { host_.SetActive(saved_); }
  Active(const Active&) = delete;
  Active& operator=(const Active&) = delete;

 private:
  Host& host_;
  Gauge* saved_;
};

constexpr std::size_t kTextBytes = 2048;
constexpr char kGuard = '\x7F';

// What one value-callback call did.
struct CallResult {
  watch::Counts counts;
  bool textChecked = false;
  bool terminated = true;   // a NUL within the character count
  std::size_t overrun = 0;  // bytes written past the character count and its NUL
  std::string text;
};

// One gauge instance on a host of its own, with the module's services tapped.
class Harness {
 public:
  Harness(Module& module, GaugeHeaderBase* h)
      : module_(module), header_(h), name_(h->name), v610_(h->version == gauge::kGaugeVersion610) {
    AttachTapped(host_, module, &lookedUp_);
    gauge_ = std::make_unique<Gauge>(host_, module, h);
  }
  ~Harness() { g_lookedUp = nullptr; }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  Host& host() { return host_; }
  Gauge& gauge() { return *gauge_; }
  const std::string& name() const { return name_; }
  bool v610() const { return v610_; }
  const std::set<std::uint32_t>& lookedUp() const { return lookedUp_; }

  // A life-cycle step, noted first so that a crash names it.
  void Step(const std::string& what, const std::function<void()>& step) {
    Note(name_, "gauge header", "", what);
    step();
  }

  // Calls an element's value callback the way the host's update does: the
  // element's variables refreshed, a string's buffer handed over with guard
  // bytes behind its character count. Counting runs for the call alone.
  CallResult CallValue(ElementHeader* e, bool count) {
    CallResult result;
    for (HostVariable* v : VariablesOf(e, v610_)) host_.Refresh(*v);
    std::vector<char>* text = nullptr;
    std::size_t limit = 0;
    if (e->kind == gauge::kString) {
      auto* s = reinterpret_cast<gauge::StringElement700*>(e);
      text = &texts_[e];
      if (text->empty()) text->assign(kTextBytes, '\0');
      limit = static_cast<std::size_t>(std::clamp(s->charCount, 0, 1000)) + 1;
      std::fill(text->begin() + static_cast<std::ptrdiff_t>(limit), text->end(), kGuard);
      s->text = text->data();
    }
    {
      Active active(host_, *gauge_);
      if (count) watch::Arm();
      switch (e->kind) {
        case gauge::kNeedle:
          if (v610_) {
            auto* n = reinterpret_cast<gauge::NeedleElement610*>(e);
            n->callback(&n->source);
          } else {
            reinterpret_cast<gauge::NeedleElement700*>(e)->callback(e);
          }
          break;
        case gauge::kString:
          reinterpret_cast<gauge::StringElement700*>(e)->callback(e);
          break;
        case gauge::kIcon:
          reinterpret_cast<gauge::IconElement700*>(e)->callback(e);
          break;
        default:
          break;
      }
      if (count) result.counts = watch::Disarm();
    }
    if (text != nullptr) {
      result.textChecked = true;
      char* t = text->data();
      const char* nul = static_cast<const char*>(std::memchr(t, '\0', limit));
      result.terminated = nul != nullptr;
      for (std::size_t i = kTextBytes; i > limit; --i) {
        if (t[i - 1] != kGuard) {
          result.overrun = i - limit;
          break;
        }
      }
      const std::size_t shown = result.terminated ? static_cast<std::size_t>(nul - t)
                                                  : std::min(limit + result.overrun, kTextBytes);
      result.text = Quoted(t, std::min<std::size_t>(shown, 64));
      if (!result.terminated || result.overrun != 0) t[limit - 1] = '\0';
    }
    return result;
  }

  // Calls a click area's handler directly, with each event its mask accepts
  // (arguments as the host passes them: the x of the area's centre, the event).
  void Click(const gauge::MouseArea* a) {
    const int x = a->x + std::max(a->width, 1) / 2;
    for (std::uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
      if ((a->eventMask & bit) == 0) continue;
      Active active(host_, *gauge_);
      a->handler(static_cast<std::uint32_t>(x), bit);
    }
  }

  // Host problems noted since the last look (a text longer than allowed, a
  // service called with another gauge's records...).
  std::vector<std::string> TakeProblems() {
    std::vector<std::string> p = host_.problems();
    host_.ClearProblems();
    return p;
  }

 private:
  Module& module_;
  GaugeHeaderBase* header_;
  std::string name_;
  bool v610_;
  std::set<std::uint32_t> lookedUp_;
  Host host_;
  std::unique_ptr<Gauge> gauge_;
  std::map<ElementHeader*, std::vector<char>> texts_;
};

void ReportProblems(Report& report, Harness& harness, const std::string& during) {
  for (const std::string& p : harness.TakeProblems()) {
    report.Fail(harness.name(), during, "", "the host noted: " + p);
  }
}

// ---------------------------------------------------------------- the driven checks

// What a drive of the module watches.
struct Watching {
  bool texts = false;
  bool records = false;
  bool allocations = false;
  bool files = false;
};

struct DriveTotals {
  std::size_t gauges = 0;
  std::size_t callbacks = 0;
  std::size_t calls = 0;
  std::size_t handlers = 0;
  std::size_t steps = 0;
  std::uint32_t handlerOpens = 0;  // files the click handlers opened and closed
  std::uint32_t handlerCloses = 0;
};

// Runs every gauge of the module through install, a frame, every value
// callback under every hostile input, every click handler and kill, with
// `watching` deciding what is checked after each call.
DriveTotals Drive(Module& module, const StrictOptions& options, const Watching& watching,
                  Report& report) {
  DriveTotals totals;
  Records records(module);
  if (watching.records) records.TakeAll();
  const std::vector<double> fixed = FixedValues();
  std::vector<double> values = fixed;
  const std::vector<double> random = RandomValues(options.seed, options.randomValues);
  values.insert(values.end(), random.begin(), random.end());
  std::vector<std::int32_t> words = FixedWords();
  const std::vector<std::int32_t> randomWords = RandomWords(options.seed, options.randomValues / 4);
  words.insert(words.end(), randomWords.begin(), randomWords.end());

  for (GaugeHeaderBase* h : module.gauges()) {
    ++totals.gauges;
    Harness harness(module, h);
    Gauge& g = harness.gauge();
    auto after = [&](const std::string& what) {
      ++totals.steps;
      if (watching.records) records.Compare(report, what);
      // Host problems are reported by the text-watching drive alone, not once per check.
      if (watching.texts) {
        ReportProblems(report, harness, what);
      } else {
        harness.TakeProblems();
      }
    };
    auto step = [&](const std::string& what, const std::function<void()>& fn) {
      harness.Step(what, fn);
      after(what);
    };
    step("the install routine", [&] { g.Install(); });
    if (watching.records && harness.v610())
      records.TakeMouseList(g.ActiveMouseList(), harness.name());
    step("the initialize routine", [&] { g.Initialize(); });
    step("the update routine", [&] { g.Update(); });
    step("the gauge callback (service 6)", [&] { g.Callback(gauge::kServiceUpdating); });
    step("the generate routine", [&] { g.Generate(); });
    step("the draw routine", [&] { g.Draw(); });

    // Every value callback under the given inputs.
    const std::vector<ElementHeader*> elements = ElementsOf(h);
    auto driveCallbacks = [&](const std::vector<double>& inputs,
                              const std::vector<std::int32_t>& fillings, const std::string& when) {
      for (std::size_t index = 0; index < elements.size(); ++index) {
        ElementHeader* e = elements[index];
        if (!HasCallback(e, harness.v610())) continue;
        const std::string record = ElementName(e, index);
        std::set<std::uint32_t> tokens = harness.lookedUp();
        for (HostVariable* v : VariablesOf(e, harness.v610())) {
          if (v->token != 0) tokens.insert(v->token);
        }
        auto call = [&](const std::string& input) {
          ++totals.calls;
          const std::string what = "the value callback with " + input + when;
          Note(harness.name(), record, "callback", what);
          const CallResult r = harness.CallValue(e, watching.allocations || watching.files);
          if (watching.texts && r.textChecked) {
            const int count = reinterpret_cast<gauge::StringElement700*>(e)->charCount;
            if (r.overrun != 0) {
              report.Fail(harness.name(), record, "text",
                          "wrote " + std::to_string(r.overrun) + " byte(s) past its " +
                              std::to_string(count) + " characters and NUL, with " + input + when +
                              ": " + r.text);
            } else if (!r.terminated) {
              report.Fail(harness.name(), record, "text",
                          "left no NUL within its " + std::to_string(count) + " characters, with " +
                              input + when + ": " + r.text);
            }
          }
          if (watching.allocations && r.counts.allocations != 0) {
            report.Fail(harness.name(), record, "callback",
                        std::to_string(r.counts.allocations) +
                            " heap allocation(s) in the value callback, with " + input + when);
          }
          if (watching.files && (r.counts.opens != 0 || r.counts.closes != 0)) {
            report.Fail(harness.name(), record, "callback",
                        std::to_string(r.counts.opens) + " file(s) opened and " +
                            std::to_string(r.counts.closes) +
                            " closed in the value callback, with " + input + when);
          }
          after(what + " (" + record + ")");
        };
        auto reset = [&] {
          for (std::uint32_t t : tokens) harness.host().SetVariable(t, 0.0);
        };
        if (tokens.empty()) call("no variable");
        for (double v : inputs) {
          for (std::uint32_t t : tokens) {
            reset();
            harness.host().SetVariable(t, v);
            call("token " + std::to_string(t) + " = " + Number(v));
          }
          if (tokens.size() > 1) {
            for (std::uint32_t t : tokens) harness.host().SetVariable(t, v);
            call("every variable = " + Number(v));
          }
        }
        reset();
        for (std::int32_t w : fillings) {
          for (std::uint32_t o = 0; o < Host::kDataBlockBytes; o += 4) {
            harness.host().SetDataWord(o, w);
          }
          call("every HostDataBlock word = " + std::to_string(w));
        }
        for (std::uint32_t o = 0; o < Host::kDataBlockBytes; o += 4) {
          harness.host().SetDataWord(o, 0);
        }
      }
    };
    for (std::size_t index = 0; index < elements.size(); ++index) {
      if (HasCallback(elements[index], harness.v610())) ++totals.callbacks;
    }
    driveCallbacks(values, words, "");

    // Each click handler, then the callbacks again in the state it left
    // (the recorder writing its log, a switch in another position...).
    const std::vector<const gauge::MouseArea*> areas = ClickAreas(g.ActiveMouseList());
    for (std::size_t i = 0; i < areas.size(); ++i) {
      ++totals.handlers;
      const std::string what = "the click handler of click area " + std::to_string(i + 1);
      Note(harness.name(), "mouse list", "handler", what);
      if (watching.files) watch::Arm();
      harness.Click(areas[i]);
      if (watching.files) {
        const watch::Counts c = watch::Disarm();
        totals.handlerOpens += c.opens;
        totals.handlerCloses += c.closes;
      }
      after(what);
      driveCallbacks(fixed, FixedWords(), " after " + what);
    }
    step("the update routine after the clicks", [&] { g.Update(); });
    step("the kill routine", [&] { g.Kill(); });
  }
  return totals;
}

std::string InputsSummary(const StrictOptions& options) {
  return std::to_string(FixedValues().size()) +
         " fixed hostile values (NaN, +-inf, +-0, subnormals, "
         "+-1e300, the 32-bit limits and beyond) and " +
         std::to_string(options.randomValues) + " random ones (seed " +
         std::to_string(options.seed) + ") in each variable, and " +
         std::to_string(FixedWords().size() + static_cast<std::size_t>(options.randomValues / 4)) +
         " HostDataBlock fillings";
}

void HostileValues(Module& module, const StrictOptions& options, Report& report) {
  const DriveTotals t = Drive(module, options, {.texts = true}, report);
  report.Pass(std::to_string(t.calls) + " calls of " + std::to_string(t.callbacks) +
              " value callbacks in " + std::to_string(t.gauges) + " gauge(s), " +
              InputsSummary(options) + ": every text NUL-terminated within its character count");
}

void RecordsUntouched(Module& module, const StrictOptions& options, Report& report) {
  Records probe(module);
  probe.TakeAll();
  const DriveTotals t = Drive(module, options, {.records = true}, report);
  report.Pass(std::to_string(probe.count()) +
              " records compared with their loaded bytes after each of " + std::to_string(t.steps) +
              " routines, callbacks (" + std::to_string(t.calls) + " value calls) and " +
              std::to_string(t.handlers) +
              " click handlers: unchanged but for texts, text colours and "
              "host-filled fields");
}

void NoAllocation(Module& module, const StrictOptions& options, Report& report) {
  if (!watch::Available()) {
    report.Skip("this build of panelhost cannot count allocations (Linux only)");
    return;
  }
  const DriveTotals t = Drive(module, options, {.allocations = true}, report);
  report.Pass(std::to_string(t.calls) + " calls of " + std::to_string(t.callbacks) +
              " value callbacks: no heap allocation in any");
}

void NoFileIo(Module& module, const StrictOptions& options, Report& report) {
  if (!watch::Available()) {
    report.Skip("this build of panelhost cannot watch file opening (Linux only)");
    return;
  }
  const DriveTotals t = Drive(module, options, {.files = true}, report);
  report.Pass(std::to_string(t.calls) + " calls of " + std::to_string(t.callbacks) +
              " value callbacks: no file opened or closed in any (the " +
              std::to_string(t.handlers) + " click handlers opened " +
              std::to_string(t.handlerOpens) + " and closed " + std::to_string(t.handlerCloses) +
              ")");
}

// ---------------------------------------------------------------- life cycles

void Cycles(Module& module, const StrictOptions& options, Report& report) {
  std::size_t gauges = 0;
  for (GaugeHeaderBase* h : module.gauges()) {
    ++gauges;
    Harness harness(module, h);
    int before = -1;
    for (int i = 0; i < options.cycles; ++i) {
      Gauge g(harness.host(), module, h);
      const std::string what = "install/kill cycle " + std::to_string(i + 1);
      harness.Step(what, [&] {
        g.Install();
        g.Initialize();
        for (int f = 0; f <= i % 3; ++f) g.Frame();
        g.Kill();
      });
      ReportProblems(report, harness, what);
      if (i == 0) before = watch::OpenDescriptors();
    }
    const int after = watch::OpenDescriptors();
    if (before >= 0 && after > before) {
      report.Fail(harness.name(), "gauge header", "",
                  std::to_string(after - before) + " more open file descriptor(s) after " +
                      std::to_string(options.cycles) + " install/kill cycles");
    }
  }
  report.Pass(std::to_string(options.cycles) +
              " install/initialize/frames/kill cycles of each of " + std::to_string(gauges) +
              " gauge(s)");
}

void TwoInstances(Module& module, const StrictOptions&, Report& report) {
  std::size_t gauges = 0;
  for (GaugeHeaderBase* h : module.gauges()) {
    ++gauges;
    Harness harness(module, h);
    Gauge second(harness.host(), module, h);
    Gauge& first = harness.gauge();
    harness.Step("installing two instances", [&] {
      first.Install();
      second.Install();
      first.Initialize();
      second.Initialize();
    });
    harness.Step("frames of two instances", [&] {
      for (int i = 0; i < 3; ++i) {
        first.Frame();
        second.Frame();
      }
    });
    harness.Step("clicks on two instances", [&] {
      for (const gauge::MouseArea* a : ClickAreas(first.ActiveMouseList())) harness.Click(a);
      second.Frame();
      first.Frame();
    });
    harness.Step("killing the first of two instances", [&] { first.Kill(); });
    harness.Step("frames of the second instance after the first was killed", [&] {
      second.Frame();
      second.Frame();
    });
    harness.Step("killing the second instance", [&] { second.Kill(); });
    ReportProblems(report, harness, "two instances at once");
  }
  report.Pass("two instances of each of " + std::to_string(gauges) +
              " gauge(s) installed, updated, clicked and killed one after the other");
}

void ServiceOrder(Module& module, const StrictOptions&, Report& report) {
  std::size_t gauges = 0;
  for (GaugeHeaderBase* h : module.gauges()) {
    ++gauges;
    Harness harness(module, h);
    Gauge& g = harness.gauge();
    harness.Step("draw, generate and service 6 before any update", [&] {
      g.Install();
      g.Draw();
      g.Generate();
      g.Callback(gauge::kServiceUpdating);
    });
    harness.Step("update before initialize", [&] { g.Update(); });
    harness.Step("initialize twice", [&] {
      g.Initialize();
      g.Initialize();
    });
    harness.Step("frames", [&] {
      g.Frame();
      g.Frame();
    });
    harness.Step("gauge callback with unused service ids", [&] {
      for (std::uint32_t id = 0; id < 32; ++id) {
        if (id != gauge::kServiceInstalled && id != gauge::kServiceKilling) g.Callback(id);
      }
      g.Callback(0xFFFFFFFFu);
      g.Frame();
    });
    harness.Step("kill, then install and kill without an update", [&] {
      g.Kill();
      g.Install();
      g.Kill();
    });
    harness.Step("install and kill without initialize, then a full life", [&] {
      g.Install();
      g.Update();
      g.Kill();
      g.Start(2);
      g.Kill();
    });
    ReportProblems(report, harness, "routines in unusual order");
  }
  report.Pass(
      "each of " + std::to_string(gauges) +
      " gauge(s) drawn before its update, updated before initialize, initialized twice, sent "
      "every unused gauge-callback service id and re-installed");
}

void ClicksBeforeUpdate(Module& module, const StrictOptions&, Report& report) {
  std::size_t gauges = 0;
  std::size_t clicked = 0;
  for (GaugeHeaderBase* h : module.gauges()) {
    ++gauges;
    Harness harness(module, h);
    Gauge& g = harness.gauge();
    harness.Step("the install routine", [&] { g.Install(); });
    const auto areas = ClickAreas(g.ActiveMouseList());
    clicked += areas.size();
    for (std::size_t i = 0; i < areas.size(); ++i) {
      const std::string what =
          "click area " + std::to_string(i + 1) + " before initialize and update";
      Note(harness.name(), "mouse list", "handler", "the click handler of " + what);
      harness.Click(areas[i]);
    }
    harness.Step("initialize", [&] { g.Initialize(); });
    for (std::size_t i = 0; i < areas.size(); ++i) {
      Note(harness.name(), "mouse list", "handler",
           "the click handler of click area " + std::to_string(i + 1) + " before the first update");
      harness.Click(areas[i]);
    }
    harness.Step("frames after early clicks", [&] {
      g.Frame();
      g.Frame();
    });
    harness.Step("the kill routine", [&] { g.Kill(); });
    ReportProblems(report, harness, "clicks before the first update");
  }
  report.Pass(std::to_string(clicked) + " click area(s) of " + std::to_string(gauges) +
              " gauge(s) clicked before initialize and before the first update");
}

void ClickCycles(Module& module, const StrictOptions& options, Report& report) {
  if (watch::OpenDescriptors() < 0) {
    report.Skip("open file descriptors cannot be counted on this platform");
    return;
  }
  std::size_t gauges = 0;
  std::size_t clicks = 0;
  for (GaugeHeaderBase* h : module.gauges()) {
    Harness harness(module, h);
    Gauge& g = harness.gauge();
    harness.Step("install", [&] { g.Start(1); });
    const auto areas = ClickAreas(g.ActiveMouseList());
    if (areas.empty()) {
      harness.Step("kill", [&] { g.Kill(); });
      continue;
    }
    ++gauges;
    int afterTwo = -1;
    const int rounds = 2 * std::max(2, options.cycles);  // even: toggles end as they began
    for (int round = 0; round < rounds; ++round) {
      const std::string what =
          "round " + std::to_string(round + 1) + " of clicks on every click area";
      Note(harness.name(), "mouse list", "handler", what);
      for (const gauge::MouseArea* a : areas) harness.Click(a);
      clicks += areas.size();
      harness.Step(what + ", then a frame", [&] { g.Frame(); });
      if (round == 1) afterTwo = watch::OpenDescriptors();
    }
    const int end = watch::OpenDescriptors();
    if (end > afterTwo) {
      report.Fail(harness.name(), "mouse list", "handler",
                  std::to_string(end - afterTwo) + " more open file descriptor(s) after " +
                      std::to_string(rounds) +
                      " rounds of clicks than after 2: a descriptor leaks");
    }
    harness.Step("kill", [&] { g.Kill(); });
    ReportProblems(report, harness, "rounds of clicks");
  }
  if (gauges == 0) {
    report.Skip("no gauge has a click area");
    return;
  }
  report.Pass(std::to_string(clicks) + " clicks on every click area of " + std::to_string(gauges) +
              " gauge(s), with a frame after each round: no descriptor left open");
}

// ---------------------------------------------------------------- running checks

using CheckFn = void (*)(Module&, const StrictOptions&, Report&);

struct StrictCheck {
  const char* name;
  CheckFn run;
};

constexpr StrictCheck kStrictChecks[] = {
    {"hostile.values", HostileValues},
    {"records.untouched", RecordsUntouched},
    {"callbacks.no-allocation", NoAllocation},
    {"callbacks.no-file-io", NoFileIo},
    {"lifecycle.cycles", Cycles},
    {"lifecycle.two-instances", TwoInstances},
    {"lifecycle.service-order", ServiceOrder},
    {"lifecycle.clicks-before-update", ClicksBeforeUpdate},
    {"lifecycle.click-cycles", ClickCycles},
};

// What one check does with its module: load it fresh and run.
using Body = std::function<void(const Sink&)>;

void LoadAndRun(const std::string& path, const std::string& check, const Sink& sink,
                const std::function<void(Module&, const Sink&)>& run) {
  std::unique_ptr<Module> module;
  try {
    module = Module::Load(path);
  } catch (const std::exception& e) {
    sink({check, Outcome::kFail, "", "", "", e.what()});
    return;
  }
  try {
    run(*module, sink);
  } catch (const std::exception& e) {
    sink({check, Outcome::kFail, g_note != nullptr ? g_note->gauge : "",
          g_note != nullptr ? g_note->record : "", g_note != nullptr ? g_note->field : "",
          std::string("the check stopped: ") + e.what()});
  }
}

// A fresh empty working folder for one check.
class WorkFolder {
 public:
  WorkFolder() {
    static std::mt19937 random(
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path(ec) /
              ("panelhost_check_" + std::to_string(random()));
      if (std::filesystem::create_directory(path_, ec)) return;
    }
    path_.clear();
  }
  ~WorkFolder() {
    std::error_code ec;
    if (!path_.empty()) {
      std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
      std::filesystem::remove_all(path_, ec);
    }
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

#if !defined(_WIN32)

// Findings cross the pipe as length-prefixed fields.
void PutField(std::string& out, const std::string& s) {
  out += std::to_string(s.size());
  out += ':';
  out += s;
}

void WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

bool GetField(const std::string& in, std::size_t& at, std::string& out) {
  const std::size_t colon = in.find(':', at);
  if (colon == std::string::npos) return false;
  std::size_t length = 0;
  for (std::size_t i = at; i < colon; ++i) {
    if (in[i] < '0' || in[i] > '9') return false;
    length = length * 10 + static_cast<std::size_t>(in[i] - '0');
  }
  if (colon + 1 + length > in.size()) return false;
  out = in.substr(colon + 1, length);
  at = colon + 1 + length;
  return true;
}

std::string SignalName(int signal) {
  const char* description = strsignal(signal);
  switch (signal) {
    case SIGSEGV:
      return std::string("SIGSEGV (") + description + ")";
    case SIGBUS:
      return std::string("SIGBUS (") + description + ")";
    case SIGFPE:
      return std::string("SIGFPE (") + description + ")";
    case SIGILL:
      return std::string("SIGILL (") + description + ")";
    case SIGABRT:
      return std::string("SIGABRT (") + description + ")";
    default:
      return "signal " + std::to_string(signal) + " (" + description + ")";
  }
}

// Runs the body in a child process and passes its findings on; a child that
// dies, stops early or outlives the time limit becomes a crash finding that
// names the call it was making.
void Isolated(const std::string& check, const StrictOptions& options, const Body& body,
              const Sink& sink) {
  void* shared =
      mmap(nullptr, sizeof(CallNote), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    sink({check, Outcome::kFail, "", "", "", "cannot map memory for the check's process"});
    return;
  }
  auto* note = static_cast<CallNote*>(shared);
  std::memset(note, 0, sizeof *note);
  int fds[2];
  if (pipe(fds) != 0) {
    munmap(shared, sizeof(CallNote));
    sink({check, Outcome::kFail, "", "", "", "cannot make a pipe for the check's process"});
    return;
  }
  WorkFolder folder;
  if (folder.path().empty()) {
    munmap(shared, sizeof(CallNote));
    close(fds[0]);
    close(fds[1]);
    sink({check, Outcome::kFail, "", "", "", "cannot make a working folder for the check"});
    return;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    munmap(shared, sizeof(CallNote));
    sink({check, Outcome::kFail, "", "", "", "cannot start the check's process"});
    return;
  }
  if (pid == 0) {
    close(fds[0]);
    g_note = note;
    if (chdir(folder.path().c_str()) != 0) _exit(3);
    body([&](const Finding& f) {
      std::string out = "F";
      PutField(out, f.check);
      PutField(out, std::to_string(static_cast<int>(f.outcome)));
      PutField(out, f.gauge);
      PutField(out, f.record);
      PutField(out, f.field);
      PutField(out, f.message);
      WriteAll(fds[1], out);
    });
    WriteAll(fds[1], "E");
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string received;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  bool timedOut = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }

  std::size_t at = 0;
  bool finished = false;
  while (at < received.size()) {
    if (received[at] == 'E') {
      finished = true;
      break;
    }
    if (received[at] != 'F') break;
    ++at;
    std::string fields[6];
    bool ok = true;
    for (std::string& field : fields) ok = ok && GetField(received, at, field);
    if (!ok) break;
    const int outcome = std::atoi(fields[1].c_str());
    sink({fields[0], static_cast<Outcome>(std::clamp(outcome, 0, 4)), fields[2], fields[3],
          fields[4], fields[5]});
  }
  const bool exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!finished || !exitedCleanly) {
    std::string how;
    if (timedOut) {
      how = "did not finish within " + std::to_string(options.timeoutSeconds) +
            " s and was stopped (a hang?)";
    } else if (WIFSIGNALED(status)) {
      how = "crashed with " + SignalName(WTERMSIG(status));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
      how = "stopped with exit status " + std::to_string(WEXITSTATUS(status)) +
            " (a sanitizer report or an abort; see the error output)";
    } else {
      how = "stopped before it finished";
    }
    std::string call = note->call;
    sink({check, Outcome::kCrash, note->gauge, note->record, note->field,
          "the check " + how + (call.empty() ? std::string() : " during " + call)});
  }
  munmap(shared, sizeof(CallNote));
}

#endif

// Runs the body in this process: from a fresh working folder, without
// protection from a crash.
void InProcess(const std::string& check, const Body& body, const Sink& sink) {
  WorkFolder folder;
  std::error_code ec;
  const std::filesystem::path previous = std::filesystem::current_path(ec);
  if (!folder.path().empty()) std::filesystem::current_path(folder.path(), ec);
  if (folder.path().empty() || ec) {
    sink({check, Outcome::kFail, "", "", "", "cannot make a working folder for the check"});
    return;
  }
  CallNote note{};
  g_note = &note;
  try {
    body(sink);
  } catch (const std::exception& e) {
    sink({check, Outcome::kFail, "", "", "", std::string("the check stopped: ") + e.what()});
  }
  g_note = nullptr;
  std::filesystem::current_path(previous, ec);
}

void RunBody(const std::string& check, const StrictOptions& options, const Body& body,
             const Sink& sink) {
#if !defined(_WIN32)
  if (options.isolate) {
    Isolated(check, options, body, sink);
    return;
  }
#else
  (void)options;  // no fork: every check runs in this process
#endif
  InProcess(check, body, sink);
}

bool Selected(const StrictOptions& options, const std::string& check) {
  if (options.only.empty()) return true;
  return std::any_of(options.only.begin(), options.only.end(),
                     [&](const std::string& prefix) { return check.rfind(prefix, 0) == 0; });
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04X", c);
          out += esc;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

}  // namespace

int ModuleReport::Failures() const {
  return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
    return f.outcome == Outcome::kFail || f.outcome == Outcome::kCrash;
  }));
}

std::vector<std::string> StrictCheckNames() {
  std::vector<std::string> names;
  for (const StrictCheck& c : kStrictChecks) names.push_back(c.name);
  return names;
}

ModuleReport CheckModule(const std::string& path, const StrictOptions& options) {
  ModuleReport report;
  report.path = path;
  Sink sink = [&](const Finding& f) { report.findings.push_back(f); };
  // Each check runs in a working folder of its own: the module is found from anywhere.
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(path, ec).string();
  const std::string& file = ec ? path : absolute;

  // The module loads (its library entry runs) and has its exports.
  bool loaded = false;
  {
    const std::size_t before = report.findings.size();
    RunBody(
        "module.load", options,
        [&](const Sink& out) {
          LoadAndRun(file, "module.load", out, [](Module& m, const Sink& s) {
            s({"module.load", Outcome::kPass, "", "", "",
               "loaded; ImportTable and Linkage exported; " + std::to_string(m.gauges().size()) +
                   " gauge(s)"});
          });
        },
        sink);
    loaded = std::any_of(report.findings.begin() + static_cast<std::ptrdiff_t>(before),
                         report.findings.end(),
                         [](const Finding& f) { return f.outcome == Outcome::kPass; });
  }
  if (!loaded) {
    if (options.strict) {
      for (const StrictCheck& c : kStrictChecks) {
        if (Selected(options, c.name))
          sink({c.name, Outcome::kSkip, "", "", "", "the module did not load"});
      }
    }
    return report;
  }

  // The record rules, as plain validate checks them.
  int recordFailures = 0;
  {
    const std::size_t before = report.findings.size();
    RunBody(
        "records", options,
        [&](const Sink& out) {
          LoadAndRun(file, "records", out, [](Module& m, const Sink& s) {
            Note("", "records", "", "the record checks");
            const std::vector<Finding> findings = Validate(m);
            for (const Finding& f : findings) s(f);
            if (findings.empty())
              s({"records", Outcome::kPass, "", "", "", "every record rule holds"});
          });
        },
        sink);
    recordFailures = static_cast<int>(
        std::count_if(report.findings.begin() + static_cast<std::ptrdiff_t>(before),
                      report.findings.end(), [](const Finding& f) {
                        return f.outcome == Outcome::kFail || f.outcome == Outcome::kCrash;
                      }));
  }
  if (!options.strict) return report;

  for (const StrictCheck& c : kStrictChecks) {
    if (!Selected(options, c.name)) continue;
    if (recordFailures != 0) {
      sink({c.name, Outcome::kSkip, "", "", "",
            "the records break " + std::to_string(recordFailures) +
                " rule(s); the module's code is run only on sound records"});
      continue;
    }
    const std::string name = c.name;
    const CheckFn run = c.run;
    RunBody(
        name, options,
        [&](const Sink& out) {
          LoadAndRun(file, name, out, [&](Module& m, const Sink& s) {
            Report r(name, s);
            run(m, options, r);
          });
        },
        sink);
  }
  return report;
}

std::uint32_t FreshSeed() {
  std::random_device device;
  const auto now =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  return (device() ^ static_cast<std::uint32_t>(now) ^ static_cast<std::uint32_t>(now >> 32)) %
         1000000000u;
}

std::string OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kPass:
      return "pass";
    case Outcome::kFail:
      return "fail";
    case Outcome::kWarning:
      return "warning";
    case Outcome::kSkip:
      return "skip";
    case Outcome::kCrash:
      return "crash";
  }
  return "fail";
}

std::string DescribeLine(const Finding& f) {
  std::string label = OutcomeName(f.outcome);
  std::transform(label.begin(), label.end(), label.begin(),
                 [](char c) { return static_cast<char>(c - 32); });
  std::string out = label + " " + f.check + ": ";
  if (!f.gauge.empty()) out += "gauge \"" + f.gauge + "\", ";
  if (!f.record.empty()) out += f.record;
  if (!f.field.empty()) out += ", field " + f.field;
  if (!f.record.empty() || !f.field.empty()) out += ": ";
  return out + f.message;
}

std::string ReportsJson(const std::vector<ModuleReport>& reports, const StrictOptions& options) {
  std::ostringstream out;
  out << "{\n  \"seed\": " << options.seed
      << ",\n  \"strict\": " << (options.strict ? "true" : "false") << ",\n  \"modules\": [";
  for (std::size_t m = 0; m < reports.size(); ++m) {
    const ModuleReport& r = reports[m];
    out << (m == 0 ? "\n" : ",\n") << "    {\"path\": " << JsonString(r.path)
        << ", \"failures\": " << r.Failures() << ", \"findings\": [";
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
      const Finding& f = r.findings[i];
      out << (i == 0 ? "\n" : ",\n") << "      {\"check\": " << JsonString(f.check)
          << ", \"outcome\": " << JsonString(OutcomeName(f.outcome))
          << ", \"gauge\": " << JsonString(f.gauge) << ", \"record\": " << JsonString(f.record)
          << ", \"field\": " << JsonString(f.field) << ", \"message\": " << JsonString(f.message)
          << "}";
    }
    out << (r.findings.empty() ? "]}" : "\n    ]}");
  }
  out << (reports.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return out.str();
}

int RunStrictValidate(const std::vector<std::string>& paths, const StrictOptions& options,
                      bool json) {
  std::vector<ModuleReport> reports;
  if (!json) {
    std::printf("panelhost validate%s: seed %u (repeat with --seed %u)\n",
                options.strict ? " --strict" : "", options.seed, options.seed);
    std::fflush(stdout);
  }
  int failed = 0;
  for (const std::string& path : paths) {
    reports.push_back(CheckModule(path, options));
    const ModuleReport& r = reports.back();
    if (r.Failures() != 0) ++failed;
    if (!json) {
      for (const Finding& f : r.findings)
        std::printf("%s: %s\n", path.c_str(), DescribeLine(f).c_str());
      std::printf("%s: %s (%d failure(s))\n", path.c_str(), r.Failures() == 0 ? "ok" : "FAILED",
                  r.Failures());
      std::fflush(stdout);
    }
  }
  if (json) std::fputs(ReportsJson(reports, options).c_str(), stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace panelhost
