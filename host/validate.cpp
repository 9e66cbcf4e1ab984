// The record rules of a module, checked without calling into it, except the
// version-610 install/kill routines whose mouse list only shows at run time.
#include "host/validate.h"

#include <cstring>
#include <set>
#include <sstream>

namespace panelhost {

namespace {

using gauge::ElementHeader;

std::string Hex(std::uint32_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << std::uppercase << v;
  return s.str();
}

std::string Addr(const void* p) {
  return Hex(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)));
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

class Checker {
 public:
  explicit Checker(Module& module) : m_(module) {}

  std::vector<Finding> Run() {
    CheckImportTable();
    CheckLinkage();
    return std::move(findings_);
  }

 private:
  void Fail(const std::string& check, const std::string& record, const std::string& field,
            const std::string& message) {
    findings_.push_back({check, Outcome::kFail, gauge_, record, field, message});
  }

  template <typename T>
  bool Inside(const T* p, const std::string& check, const std::string& record,
              const std::string& field, std::size_t count = 1) {
    // T may itself be a pointer (a list entry): its size is what is read.
    // NOLINTNEXTLINE(bugprone-sizeof-expression)
    if (p != nullptr && m_.Contains(p, sizeof(T) * count)) return true;
    Fail(check, record, field,
         p == nullptr ? "null address" : "address " + Addr(p) + " lies outside the module");
    return false;
  }

  void Code(const void* fn, bool required, const std::string& check, const std::string& record,
            const std::string& field) {
    if (fn == nullptr) {
      if (required) Fail(check, record, field, "null, a function is required");
      return;
    }
    if (!m_.Contains(fn, 1))
      Fail(check, record, field, "address " + Addr(fn) + " lies outside the module");
  }

  template <typename Word>
  void Zero(const Word& value, const std::string& check, const std::string& record,
            const std::string& field) {
    // Bytes, not values: a zero field is all zero bits (-0.0 is not).
    Word zero{};
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    if (std::memcmp(&value, &zero, sizeof(Word)) != 0) {
      Fail(check, record, field, "must be 0 in the module");
    }
  }

  template <std::size_t N>
  void ZeroWords(const std::uint32_t (&words)[N], std::size_t firstOffset, const std::string& check,
                 const std::string& record) {
    for (std::size_t i = 0; i < N; ++i) {
      if (words[i] != 0) {
        Fail(check, record, "word at offset " + std::to_string(firstOffset + 4 * i),
             "must be 0, found " + Hex(words[i]));
      }
    }
  }

  // A bounded, NUL-terminated string inside the module.
  bool Text(const char* p, std::size_t max, const std::string& check, const std::string& record,
            const std::string& field, std::string* out = nullptr) {
    if (!Inside(p, check, record, field)) return false;
    for (std::size_t i = 0; i < max && m_.Contains(p + i, 1); ++i) {
      if (p[i] == '\0') {
        if (out != nullptr) out->assign(p, i);
        return true;
      }
    }
    Fail(check, record, field,
         "text is not NUL-terminated within " + std::to_string(max) + " bytes");
    return false;
  }

  void CheckImportTable() {
    gauge::ImportEntry* e = m_.importTable();
    bool services = false;
    std::set<std::uint32_t> seen;
    for (int i = 0;; ++i, ++e) {
      const std::string record = "ImportTable entry " + std::to_string(i);
      if (i == 16 || !m_.Contains(e, sizeof *e)) {
        Fail("module.import-table", record, "id", "no end entry (id 0) within 16 entries");
        return;
      }
      if (e->id == 0) {
        if (e->address != nullptr)
          Fail("module.import-table", record, "address", "end entry must be {0, 0}");
        break;
      }
      if (e->id != gauge::kImportHostServices && e->id != gauge::kImportHostDataBlock) {
        Fail("module.import-table", record, "id", "unknown import id " + Hex(e->id));
      }
      if (!seen.insert(e->id).second)
        Fail("module.import-table", record, "id", "id " + Hex(e->id) + " listed twice");
      if (e->id == gauge::kImportHostServices) services = true;
      if (e->address != nullptr)
        Fail("module.import-table", record, "address", "must be 0 until the host fills it");
    }
    if (!services)
      Fail("module.import-table", "ImportTable", "id",
           "no entry with id 0x0F for the host services");
    importsOk_ = services;
  }

  void CheckLinkage() {
    gauge::LinkageHead* l = m_.linkage();
    if (!Inside(l, "module.linkage", "Linkage", "")) return;
    if (l->moduleId != gauge::kModuleId) {
      Fail("module.linkage", "Linkage", "moduleId", "expected 0x13, found " + Hex(l->moduleId));
    }
    Code(reinterpret_cast<const void*>(l->init), true, "module.linkage", "Linkage", "init");
    Code(reinterpret_cast<const void*>(l->deinit), true, "module.linkage", "Linkage", "deinit");
    ZeroWords(l->zero12, 12, "module.linkage", "Linkage");
    gauge::GaugeHeaderBase** list = m_.gaugeList();
    std::set<std::string> names;
    std::size_t i = 0;
    for (;; ++i) {
      if (i == 1000 || !m_.Contains(&list[i], 4)) {
        Fail("module.gauge-list", "Linkage", "gauges", "gauge list has no null end");
        return;
      }
      if (list[i] == nullptr) break;
      gauge_.clear();
      CheckGauge(list[i], i, names);
    }
    gauge_.clear();
    if (i == 0) Fail("module.gauge-list", "Linkage", "gauges", "the module offers no gauge");
  }

  void CheckGauge(gauge::GaugeHeaderBase* h, std::size_t index, std::set<std::string>& names) {
    const std::string record = "gauge header " + std::to_string(index);
    if (!Inside(h, "gauge.header", record, "")) return;
    std::string name;
    if (Text(h->name, 256, "gauge.header", record, "name", &name)) {
      gauge_ = name;
      if (name.empty()) Fail("gauge.header", record, "name", "empty gauge name");
      if (!names.insert(name).second) Fail("gauge.header", record, "name", "gauge name used twice");
    }
    const bool v700 = h->version == gauge::kGaugeVersion700;
    const bool v610 = h->version == gauge::kGaugeVersion610;
    if (!v700 && !v610) {
      Fail("gauge.header", record, "version",
           "expected 700 or 610, found " + std::to_string(h->version));
      return;
    }
    if (v700 && !Inside(reinterpret_cast<gauge::GaugeHeader700*>(h), "gauge.header", record, ""))
      return;
    if (v610 && !Inside(reinterpret_cast<gauge::GaugeHeader610*>(h), "gauge.header", record, ""))
      return;
    const char* routineNames[] = {"query",    "install", "initialize", "update",
                                  "generate", "draw",    "kill"};
    const void* routines[] = {
        reinterpret_cast<const void*>(h->query),      reinterpret_cast<const void*>(h->install),
        reinterpret_cast<const void*>(h->initialize), reinterpret_cast<const void*>(h->update),
        reinterpret_cast<const void*>(h->generate),   reinterpret_cast<const void*>(h->draw),
        reinterpret_cast<const void*>(h->kill)};
    for (int r = 0; r < 7; ++r) Code(routines[r], true, "gauge.routines", record, routineNames[r]);
    // Install and kill are called below for a version-610 gauge: only when they lie in the module.
    const bool routinesInside = m_.Contains(routines[1], 1) && m_.Contains(routines[6], 1);
    Zero(h->zero40, "gauge.header", record, "word at offset 40");
    if (h->defaultWidth == 0)
      Fail("gauge.header", record, "defaultWidth", "must be greater than 0");
    gauge::MouseArea* mouse = nullptr;
    if (v700) {
      auto* h7 = reinterpret_cast<gauge::GaugeHeader700*>(h);
      ZeroWords(h7->zero48, 48, "gauge.header", record);
      ZeroWords(h7->zero88, 88, "gauge.header", record);
      Code(reinterpret_cast<const void*>(h7->callback), false, "gauge.header", record, "callback");
      mouse = h7->mouseAreas;
    } else {
      ZeroWords(reinterpret_cast<gauge::GaugeHeader610*>(h)->zero48, 48, "gauge.header", record);
    }
    if (!Inside(h->elements, "element.list", record, "elements", 2)) return;
    ElementHeader* root = h->elements[0];
    if (h->elements[1] != nullptr) {
      Fail("element.list", record, "elements",
           "the element list holds the root and then a null end");
    }
    if (!Inside(root, "element.root", "root element", "")) return;
    if (root->kind != gauge::kStaticImage) {
      Fail("element.root", "root element", "kind",
           std::string("the root must be a static image, found ") + KindName(root->kind));
    }
    CheckElement(root, h, "root element", true);
    if (root->children != nullptr) {
      for (std::size_t i = 0;; ++i) {
        if (i == 1000 || !m_.Contains(&root->children[i], 4)) {
          Fail("element.list", "root element", "children", "child list has no null end");
          break;
        }
        ElementHeader* child = root->children[i];
        if (child == nullptr) break;
        const std::string childRecord = "child " + std::to_string(i + 1);
        if (!Inside(child, "element.header", childRecord, "")) continue;
        const std::string described = childRecord + " (" + KindName(child->kind) + " at " +
                                      std::to_string(child->x) + "," + std::to_string(child->y) +
                                      ")";
        CheckElement(child, h, described, false);
        if (child->children != nullptr) {
          Fail("element.tree", described, "children", "only the root has children");
        }
      }
    }
    if (mouse != nullptr) CheckMouseList(mouse, "mouse list");
    if (v610 && importsOk_ && routinesInside) CheckMouseList610(h);
  }

  void CheckBitmap(std::uint32_t id, const std::string& record, const std::string& field) {
    try {
      m_.DecodedBitmap(id);
    } catch (const Error& e) {
      Fail("element.bitmap", record, field, e.what());
    }
  }

  void CheckHostVariable(const gauge::HostVariable& v, const std::string& record,
                         const std::string& field) {
    Zero(v.raw, "element.variable", record, field + ".raw");
    Zero(v.zero8, "element.variable", record, field + " word at offset 8");
    Zero(v.value, "element.variable", record, field + ".value");
    Zero(v.zero20, "element.variable", record, field + " word at offset 20");
  }

  void CheckFailures(const gauge::FailureBinding* f, const std::string& record) {
    if (f == nullptr) return;
    for (std::size_t i = 0;; ++i) {
      if (i == 64 || !m_.Contains(&f[i], sizeof f[i])) {
        Fail("element.failures", record, "failures", "failure list has no {0, 0} end");
        return;
      }
      if (f[i].key == 0) {
        if (f[i].action != 0)
          Fail("element.failures", record, "failures", "end entry must be {0, 0}");
        return;
      }
    }
  }

  void CheckCalibration(const gauge::NeedleCalibrationPoint* points, std::int32_t count,
                        const std::string& record) {
    if (count < 2 || count > 1000) {
      Fail("needle.calibration", record, "calibrationCount",
           "expected 2 to 1000 points, found " + std::to_string(count));
      return;
    }
    if (!Inside(points, "needle.calibration", record, "calibration",
                static_cast<std::size_t>(count)))
      return;
    for (std::int32_t i = 0; i < count; ++i) {
      Zero(points[i].degrees, "needle.calibration", record,
           "point " + std::to_string(i + 1) + ".degrees");
      if (i > 0 && !(points[i].value > points[i - 1].value)) {
        Fail("needle.calibration", record, "point " + std::to_string(i + 1) + ".value",
             "values must ascend: " + std::to_string(points[i].value) + " after " +
                 std::to_string(points[i - 1].value));
      }
    }
  }

  void CheckElement(ElementHeader* e, gauge::GaugeHeaderBase* h, const std::string& record,
                    bool isRoot) {
    const bool v610 = h->version == gauge::kGaugeVersion610;
    const std::uint32_t expectedFlags[] = {1, 3, 6, 3, 3};
    if (e->kind > gauge::kIcon) {
      Fail("element.kind", record, "kind", "unknown element kind " + std::to_string(e->kind));
      return;
    }
    if (v610 && e->kind != gauge::kStaticImage && e->kind != gauge::kNeedle) {
      Fail("element.kind", record, "kind",
           std::string("a version-610 gauge has no ") + KindName(e->kind) + " record");
      return;
    }
    if (e->owner != h)
      Fail("element.owner", record, "owner",
           "must be the gauge's own header " + Addr(h) + ", found " + Addr(e->owner));
    if (e->drawFlags != expectedFlags[e->kind]) {
      Fail("element.draw-flags", record, "drawFlags",
           "expected " + std::to_string(expectedFlags[e->kind]) + " for a " + KindName(e->kind) +
               ", found " + std::to_string(e->drawFlags));
    }
    Zero(e->zero16, "element.header", record, "word at offset 16");
    Zero(e->zero20, "element.header", record, "word at offset 20");
    Zero(e->zero36, "element.header", record, "word at offset 36");
    Zero(e->zero52, "element.header", record, "word at offset 52");
    Zero(e->zero56, "element.header", record, "word at offset 56");
    if (e->kind != gauge::kNeedle && (e->pivotX != 0 || e->pivotY != 0)) {
      Fail("element.header", record, "pivot", "only needles have a pivot");
    }
    CheckFailures(e->failures, record);
    if (e->kind == gauge::kString) {
      if (e->bitmapId != gauge::kNoBitmap)
        Fail("element.bitmap", record, "bitmapId", "strings name no bitmap (0xFFFFFFFF)");
    } else if (e->kind != gauge::kIcon) {
      CheckBitmap(e->bitmapId, record, "bitmapId");
    }
    switch (e->kind) {
      case gauge::kStaticImage:
        if (v610) {
          if (!Inside(reinterpret_cast<gauge::StaticImageElement610*>(e), "element.header", record,
                      ""))
            return;
          ZeroWords(reinterpret_cast<gauge::StaticImageElement610*>(e)->runtime, 60,
                    "element.host-fields", record);
        } else {
          if (!Inside(reinterpret_cast<gauge::StaticImageElement700*>(e), "element.header", record,
                      ""))
            return;
          ZeroWords(reinterpret_cast<gauge::StaticImageElement700*>(e)->runtime, 60,
                    "element.host-fields", record);
        }
        if (isRoot && (e->x != 0 || e->y != 0))
          Fail("element.root", record, "position", "the root lies at (0, 0)");
        break;
      case gauge::kNeedle:
        if (v610) {
          auto* n = reinterpret_cast<gauge::NeedleElement610*>(e);
          if (!Inside(n, "element.header", record, "")) return;
          CheckHostVariable(n->source, record, "source");
          Code(reinterpret_cast<const void*>(n->callback), false, "element.callback", record,
               "callback");
          ZeroWords(n->zero92, 92, "element.zero-fields", record);
          ZeroWords(n->zero120, 120, "element.zero-fields", record);
          CheckCalibration(n->calibration, n->calibrationCount, record);
          if (n->calibrationCount > 0 && m_.Contains(n->calibration, sizeof *n->calibration) &&
              (n->startX != n->calibration[0].x || n->startY != n->calibration[0].y)) {
            Fail("needle.start-point", record, "startX/startY",
                 "expected the first calibration point (" + std::to_string(n->calibration[0].x) +
                     "," + std::to_string(n->calibration[0].y) + "), found (" +
                     std::to_string(n->startX) + "," + std::to_string(n->startY) + ")");
          }
        } else {
          auto* n = reinterpret_cast<gauge::NeedleElement700*>(e);
          if (!Inside(n, "element.header", record, "")) return;
          CheckHostVariable(n->source, record, "source");
          Code(reinterpret_cast<const void*>(n->callback), false, "element.callback", record,
               "callback");
          ZeroWords(n->zero88, 88, "element.zero-fields", record);
          ZeroWords(n->zero120, 120, "element.zero-fields", record);
          ZeroWords(n->zero228, 228, "element.zero-fields", record);
          CheckCalibration(n->calibration, n->calibrationCount, record);
        }
        break;
      case gauge::kString: {
        auto* s = reinterpret_cast<gauge::StringElement700*>(e);
        if (!Inside(s, "element.header", record, "")) return;
        CheckHostVariable(s->source1, record, "source1");
        CheckHostVariable(s->source2, record, "source2");
        CheckHostVariable(s->source3, record, "source3");
        Code(reinterpret_cast<const void*>(s->callback), false, "element.callback", record,
             "callback");
        ZeroWords(s->zero144, 144, "element.zero-fields", record);
        ZeroWords(s->zero200, 200, "element.zero-fields", record);
        ZeroWords(s->zero220, 220, "element.zero-fields", record);
        ZeroWords(s->zero296, 296, "element.zero-fields", record);
        Zero(s->zero188, "element.zero-fields", record, "word at offset 188");
        Zero(s->zero316, "element.zero-fields", record, "word at offset 316");
        Zero(s->text, "element.host-fields", record, "text");
        if (s->charCount < 1 || s->charCount > 256) {
          Fail("string.format", record, "charCount",
               "expected 1 to 256, found " + std::to_string(s->charCount));
        }
        if (s->boxWidth <= 0 || s->boxHeight <= 0)
          Fail("string.format", record, "boxWidth/boxHeight", "the text box must have a size");
        if (std::memchr(s->fontFace, '\0', sizeof s->fontFace) == nullptr) {
          Fail("string.format", record, "fontFace",
               "font face is not NUL-terminated within 32 bytes");
        } else {
          const std::size_t len = std::strlen(s->fontFace);
          for (std::size_t i = len; i < sizeof s->fontFace; ++i) {
            if (s->fontFace[i] != '\0') {
              Fail("string.format", record, "fontFace", "font face must be NUL-padded");
              break;
            }
          }
        }
        break;
      }
      case gauge::kIcon: {
        auto* icon = reinterpret_cast<gauge::IconElement700*>(e);
        if (!Inside(icon, "element.header", record, "")) return;
        CheckHostVariable(icon->source, record, "source");
        Code(reinterpret_cast<const void*>(icon->callback), false, "element.callback", record,
             "callback");
        Zero(icon->zero88, "element.zero-fields", record, "word at offset 88");
        Zero(icon->zero96, "element.zero-fields", record, "word at offset 96");
        Zero(icon->zero108, "element.zero-fields", record, "word at offset 108");
        ZeroWords(icon->zero116, 116, "element.zero-fields", record);
        if (icon->bitmapCount < 1 || icon->bitmapCount > 256) {
          Fail("icon.bitmaps", record, "bitmapCount",
               "expected 1 to 256, found " + std::to_string(icon->bitmapCount));
        } else {
          for (std::int32_t i = 0; i < icon->bitmapCount; ++i) {
            CheckBitmap(
                e->bitmapId + static_cast<std::uint32_t>(i), record,
                "bitmap " + std::to_string(i + 1) + " of " + std::to_string(icon->bitmapCount));
          }
        }
        break;
      }
      case gauge::kSlider: {
        auto* s = reinterpret_cast<gauge::SliderElement700*>(e);
        if (!Inside(s, "element.header", record, "")) return;
        CheckHostVariable(s->xSource, record, "xSource");
        CheckHostVariable(s->ySource, record, "ySource");
        ZeroWords(s->zero88, 88, "element.zero-fields", record);
        Zero(s->zero132, "element.zero-fields", record, "word at offset 132");
        ZeroWords(s->zero144, 144, "element.zero-fields", record);
        break;
      }
      default:
        break;
    }
  }

  void CheckMouseList(gauge::MouseArea* list, const std::string& what) {
    const std::string check = "mouse.list";
    int depth = 0;
    for (std::size_t i = 0;; ++i) {
      const std::string record = what + " record " + std::to_string(i + 1);
      if (i == 1000 || !m_.Contains(&list[i], sizeof list[i])) {
        Fail(check, record, "kind", "the list has no end record (kind 0)");
        return;
      }
      const gauge::MouseArea& a = list[i];
      const bool boxZero = a.x == 0 && a.y == 0 && a.width == 0 && a.height == 0;
      if (i == 0 && (a.kind != gauge::kMouseParent || !boxZero)) {
        Fail(check, record, "kind",
             "the list begins with an outer parent whose box is (0, 0, 0, 0)");
      }
      Zero(a.zero32, "mouse.record", record, "word at offset 32");
      Zero(a.zero40, "mouse.record", record, "word at offset 40");
      switch (a.kind) {
        case gauge::kMouseParent:
          ++depth;
          if (a.cursor != gauge::kNoCursor)
            Fail("mouse.record", record, "cursor", "parents have cursor 0xFFFFFFFF");
          if (a.eventMask != 0)
            Fail("mouse.record", record, "eventMask", "parents have no event mask");
          if (a.handler != nullptr)
            Fail("mouse.record", record, "handler", "parents have no handler");
          break;
        case gauge::kMouseClickArea:
          if (depth == 0) Fail(check, record, "kind", "a click area outside any parent");
          if (a.cursor != 1 && a.cursor != 2 && a.cursor != 5)
            Fail("mouse.record", record, "cursor",
                 "click areas use cursor 1, 2 or 5, found " + Hex(a.cursor));
          if (a.helpId != 0) Fail("mouse.record", record, "helpId", "click areas carry no help id");
          if (a.eventMask != gauge::kMouseLeftClick &&
              a.eventMask != (gauge::kMouseLeftClick | gauge::kMouseLeftHeld)) {
            Fail("mouse.record", record, "eventMask",
                 "expected 0x20000000 or 0x20200000, found " + Hex(a.eventMask));
          }
          if (a.width <= 0 || a.height <= 0)
            Fail("mouse.record", record, "width/height", "a click area needs a box");
          Code(reinterpret_cast<const void*>(a.handler), true, "mouse.record", record, "handler");
          break;
        case gauge::kMouseEndOfParent:
        case gauge::kMouseEndOfList:
          if (a.cursor != gauge::kNoCursor)
            Fail("mouse.record", record, "cursor", "end records have cursor 0xFFFFFFFF");
          if (a.helpId != 0 || a.eventMask != 0 || a.handler != nullptr || !boxZero) {
            Fail("mouse.record", record, "kind",
                 "end records are zero apart from the kind and cursor");
          }
          if (a.kind == gauge::kMouseEndOfParent) {
            if (--depth < 0) Fail(check, record, "kind", "end of parent without an open parent");
          } else {
            if (depth != 0)
              Fail(check, record, "kind",
                   std::to_string(depth) + " parent(s) not ended before the end of the list");
            return;
          }
          break;
        default:
          Fail(check, record, "kind", "unknown mouse record kind " + std::to_string(a.kind));
          return;
      }
    }
  }

  // A version-610 gauge installs its mouse list from its install routine: run
  // install and kill on a host of our own and check what they hand over.
  void CheckMouseList610(gauge::GaugeHeaderBase* h) {
    Host host;
    host.Attach(m_);
    Gauge g(host, m_, h);
    g.Install();
    gauge::MouseArea* list = g.ActiveMouseList();
    if (list == nullptr) {
      Fail("mouse.install-610", "install routine", "MouseListRegister",
           "install registered no mouse list");
    } else {
      if (g.MouseInstallAddress() != g.hostWord() + 4) {
        Fail("mouse.install-610", "install routine", "MouseListInstall",
             "expected the root's host word plus 4 (" + Hex(g.hostWord() + 4) + "), found " +
                 Hex(g.MouseInstallAddress()));
      }
      if (m_.Contains(list, sizeof *list)) {
        CheckMouseList(list, "registered mouse list");
      } else {
        Fail("mouse.install-610", "install routine", "MouseListRegister",
             "the list lies outside the module");
      }
    }
    g.Kill();
    if (g.ActiveMouseList() != nullptr) {
      Fail("mouse.install-610", "kill routine", "MouseListUnregister",
           "kill left the mouse list registered");
    }
    for (const std::string& p : host.problems()) Fail("mouse.install-610", "routines", "", p);
    // Install filled the root's host word; the module's image goes back to how it was.
    auto* root = reinterpret_cast<gauge::StaticImageElement610*>(h->elements[0]);
    root->runtime[0] = 0;
  }

  Module& m_;
  bool importsOk_ = false;
  std::string gauge_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> Validate(Module& module) { return Checker(module).Run(); }

std::string Describe(const Finding& f) {
  std::string out = f.outcome == Outcome::kFail      ? "FAIL "
                    : f.outcome == Outcome::kWarning ? "WARN "
                    : f.outcome == Outcome::kCrash   ? "CRASH "
                                                     : "";
  out += f.check + ": ";
  if (!f.gauge.empty()) out += "gauge \"" + f.gauge + "\", ";
  out += f.record;
  if (!f.field.empty()) out += ", field " + f.field;
  out += ": " + f.message;
  return out;
}

}  // namespace panelhost
