// The host side: services, variables, key events, and the gauge life cycle.
#include "host/host.h"

#include <algorithm>
#include <cstring>

namespace panelhost {

namespace {

Host* g_current = nullptr;

std::uint32_t Word(const void* p) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// The service entry points: each records the call and acts on the host.
using gauge::ElementHeader;
using gauge::GaugeHeaderBase;
using gauge::HostVariable;
using gauge::MouseArea;

// Element-list services act on the gauge the host is calling; a root that is
// not that gauge's is a module fault the host notes.
Gauge* ActiveFor(const char* service, ElementHeader* root) {
  Host& host = Host::Current();
  Gauge* gauge = host.active();
  if (gauge == nullptr) {
    host.Problem(std::string(service) + " called outside any gauge routine");
    return nullptr;
  }
  if (gauge->root() != root) {
    host.Problem(std::string(service) + " called by gauge \"" + gauge->header()->name +
                 "\" with another element than its root");
    return nullptr;
  }
  return gauge;
}

void GAUGE_CALL ElementListQuery(ElementHeader* root) {
  Host::Current().Trace("ElementListQuery", {Word(root)});
  ActiveFor("ElementListQuery", root);
}
void GAUGE_CALL ElementListInstall(ElementHeader* root, std::uint32_t arg) {
  Host::Current().Trace("ElementListInstall", {Word(root), arg});
  if (Gauge* g = ActiveFor("ElementListInstall", root)) g->ServiceInstall(arg);
}
void GAUGE_CALL ElementListInitialize(ElementHeader* root) {
  Host::Current().Trace("ElementListInitialize", {Word(root)});
  ActiveFor("ElementListInitialize", root);
}
void GAUGE_CALL ElementListUpdate(ElementHeader* root) {
  Host::Current().Trace("ElementListUpdate", {Word(root)});
  if (Gauge* g = ActiveFor("ElementListUpdate", root)) g->ServiceUpdate();
}
void GAUGE_CALL ElementListGenerate(ElementHeader* root, std::uint32_t arg) {
  Host::Current().Trace("ElementListGenerate", {Word(root), arg});
  ActiveFor("ElementListGenerate", root);
}
void GAUGE_CALL ElementListDraw(ElementHeader* root) {
  Host::Current().Trace("ElementListDraw", {Word(root)});
  ActiveFor("ElementListDraw", root);
}
void GAUGE_CALL ElementListKill(ElementHeader* root) {
  Host::Current().Trace("ElementListKill", {Word(root)});
  ActiveFor("ElementListKill", root);
}
void GAUGE_CALL MouseListInstall(MouseArea* list, GaugeHeaderBase* header, std::uint32_t address) {
  Host& host = Host::Current();
  host.Trace("MouseListInstall", {Word(list), Word(header), address});
  if (Gauge* g = host.active(); g != nullptr && g->header() == header) {
    g->ServiceMouseInstall(list, address);
  } else {
    host.Problem("MouseListInstall called with a gauge header that is not the active gauge's");
  }
}
void GAUGE_CALL MouseListRegister(MouseArea* list, GaugeHeaderBase* header) {
  Host& host = Host::Current();
  host.Trace("MouseListRegister", {Word(list), Word(header)});
  if (Gauge* g = host.active(); g != nullptr && g->header() == header) {
    g->ServiceMouseRegister(list, true);
  } else {
    host.Problem("MouseListRegister called with a gauge header that is not the active gauge's");
  }
}
void GAUGE_CALL MouseListUnregister(MouseArea* list, GaugeHeaderBase* header) {
  Host& host = Host::Current();
  host.Trace("MouseListUnregister", {Word(list), Word(header)});
  if (Gauge* g = host.active(); g != nullptr && g->header() == header) {
    g->ServiceMouseRegister(list, false);
  } else {
    host.Problem("MouseListUnregister called with a gauge header that is not the active gauge's");
  }
}
void GAUGE_CALL TriggerKeyEvent(std::uint32_t event, std::uint32_t parameter) {
  Host::Current().Trace("TriggerKeyEvent", {event, parameter});
  Host::Current().OnKeyEvent(event, parameter);
}
void GAUGE_CALL InitializeVariable(HostVariable* variable) {
  Host::Current().Trace("InitializeVariable", {Word(variable), variable->token});
  Host::Current().Refresh(*variable);
}
void GAUGE_CALL LookupVariable(HostVariable* variable) {
  Host::Current().Trace("LookupVariable", {Word(variable), variable->token});
  Host::Current().Refresh(*variable);
}

constinit gauge::HostServices g_services = [] {
  gauge::HostServices s{};
  s.ElementListQuery = &ElementListQuery;
  s.ElementListInstall = &ElementListInstall;
  s.ElementListInitialize = &ElementListInitialize;
  s.ElementListUpdate = &ElementListUpdate;
  s.ElementListGenerate = &ElementListGenerate;
  s.ElementListDraw = &ElementListDraw;
  s.ElementListKill = &ElementListKill;
  s.MouseListInstall = &MouseListInstall;
  s.MouseListRegister = &MouseListRegister;
  s.MouseListUnregister = &MouseListUnregister;
  s.TriggerKeyEvent = &TriggerKeyEvent;
  s.InitializeVariable = &InitializeVariable;
  s.LookupVariable = &LookupVariable;
  return s;
}();

}  // namespace

// ---------------------------------------------------------------- Host

Host::Host() : dataBlock_(kDataBlockBytes, 0), previous_(g_current) { g_current = this; }

Host::~Host() { g_current = previous_; }

Host& Host::Current() {
  if (g_current == nullptr) throw Error("no host is running");
  return *g_current;
}

void Host::Attach(Module& module) {
  gauge::ImportEntry* entry = module.importTable();
  for (int i = 0; i < 64 && module.Contains(entry, sizeof *entry) && entry->id != 0; ++i, ++entry) {
    if (entry->id == gauge::kImportHostServices) entry->address = &g_services;
    if (entry->id == gauge::kImportHostDataBlock) entry->address = dataBlock_.data();
  }
  ConnectSoundLibrary(*this);
}

void Host::SetVariable(std::uint32_t token, double value) { Storage(token) = value; }

double& Host::Storage(std::uint32_t token) {
  if (token < direct_.size() && direct_[token] != nullptr) return *direct_[token];
  double& storage = variables_[token];  // map nodes never move
  if (token < kDirectTokens) {
    if (direct_.empty()) direct_.assign(kDirectTokens, nullptr);
    direct_[token] = &storage;
  }
  return storage;
}

double Host::Variable(std::uint32_t token) const {
  auto it = variables_.find(token);
  return it == variables_.end() ? 0.0 : it->second;
}

void Host::SetDataWord(std::uint32_t byteOffset, std::int32_t value) {
  if (byteOffset + 4 > dataBlock_.size()) throw Error("HostDataBlock offset out of range");
  std::memcpy(&dataBlock_[byteOffset], &value, 4);
}

std::int32_t Host::DataWord(std::uint32_t byteOffset) const {
  if (byteOffset + 4 > dataBlock_.size()) throw Error("HostDataBlock offset out of range");
  std::int32_t value;
  std::memcpy(&value, &dataBlock_[byteOffset], 4);
  return value;
}

void Host::SetFailure(std::uint32_t key, bool active) {
  std::erase(failures_, key);
  if (active) failures_.push_back(key);
}

bool Host::FailureActive(std::uint32_t key) const {
  return std::find(failures_.begin(), failures_.end(), key) != failures_.end();
}

void Host::Trace(const char* service, std::initializer_list<std::uint32_t> args) {
  if (tracing_) trace_.push_back({service, args});
}

void Host::Refresh(gauge::HostVariable& variable) {
  if (variable.token == 0) return;
  double& storage = Storage(variable.token);
  variable.raw = &storage;
  variable.value = storage;
}

void Host::OnKeyEvent(std::uint32_t id, std::uint32_t parameter) {
  keyEvents_.push_back({id, parameter});
  if (keyEventHandler_) keyEventHandler_(*this, keyEvents_.back());
}

// ---------------------------------------------------------------- Gauge

namespace {

// Which gauge the host is calling into, restored on the way out.
class Calling {
 public:
  Calling(Host& host, Gauge* gauge) : host_(host), saved_(host.active()) { host.SetActive(gauge); }
  ~Calling() { host_.SetActive(saved_); }
  Calling(const Calling&) = delete;
  Calling& operator=(const Calling&) = delete;

 private:
  Host& host_;
  Gauge* saved_;
};

constexpr std::size_t kTextBufferBytes = 2048;  // beyond wsprintfA's 1024 + NUL
constexpr char kTextGuard = '\x7F';

// Whether the `n` bytes at `p` all still hold the guard. The whole guard is
// read on every update of every text, so it goes four vector blocks at a
// time without an early exit (it is almost always intact): 16-byte blocks
// everywhere, 32-byte ones where the processor has AVX2.
#define PANEL_GUARD_SCAN(BYTES)                                                           \
  using Block = unsigned char __attribute__((vector_size(BYTES), aligned(1), may_alias)); \
  const Block guard = Block{} + static_cast<unsigned char>(kTextGuard);                   \
  Block d0{}, d1{}, d2{}, d3{};                                                           \
  std::size_t i = 0;                                                                      \
  for (; i + 4 * sizeof(Block) <= n; i += 4 * sizeof(Block)) {                            \
    const auto* b = reinterpret_cast<const Block*>(p + i);                                \
    d0 |= b[0] ^ guard;                                                                   \
    d1 |= b[1] ^ guard;                                                                   \
    d2 |= b[2] ^ guard;                                                                   \
    d3 |= b[3] ^ guard;                                                                   \
  }                                                                                       \
  const Block diff = d0 | d1 | d2 | d3;                                                   \
  unsigned char rest = 0;                                                                 \
  for (; i < n; ++i) rest |= static_cast<unsigned char>(p[i] ^ kTextGuard);               \
  for (std::size_t k = 0; k < sizeof(Block); ++k) rest |= diff[k];                        \
  return rest == 0

bool GuardIntactSse2(const char* p, std::size_t n) { PANEL_GUARD_SCAN(16); }
[[gnu::target("avx2")]] bool GuardIntactAvx2(const char* p, std::size_t n) { PANEL_GUARD_SCAN(32); }
#undef PANEL_GUARD_SCAN

const bool kHaveAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

bool GuardIntact(const char* p, std::size_t n) {
  return kHaveAvx2 ? GuardIntactAvx2(p, n) : GuardIntactSse2(p, n);
}

constexpr int kMaxDepth = 8;

std::uint32_t NextInstallArgument() {
  static std::uint32_t next = 0x1000;
  return next++;
}

}  // namespace

Gauge::Gauge(Host& host, Module& module, gauge::GaugeHeaderBase* header)
    : host_(host), module_(module), header_(header) {
  if (header == nullptr) throw Error(module.path() + ": no gauge header");
}

Gauge::~Gauge() {
  if (installed_) {
    try {
      Kill();
    } catch (...) {  // a destructor must not throw; the host is being torn down
    }
  }
}

gauge::ElementHeader* Gauge::root() const { return header_->elements[0]; }

std::vector<gauge::ElementHeader*> Gauge::Children() const {
  std::vector<gauge::ElementHeader*> out;
  gauge::ElementHeader* r = root();
  if (r == nullptr || r->children == nullptr) return out;
  for (std::size_t i = 0; i < 1000 && r->children[i] != nullptr; ++i) out.push_back(r->children[i]);
  return out;
}

gauge::ElementHeader* Gauge::Child(std::size_t index) const {
  auto children = Children();
  if (index >= children.size()) throw Error("gauge has no child " + std::to_string(index));
  return children[index];
}

std::uint32_t Gauge::hostWord() const { return Word(instanceWord_); }

gauge::MouseArea* Gauge::ActiveMouseList() const {
  if (header_->version == gauge::kGaugeVersion700) {
    return installed_ ? reinterpret_cast<gauge::GaugeHeader700*>(header_)->mouseAreas : nullptr;
  }
  return registeredList_;
}

void Gauge::Install() {
  if (installed_) throw Error(std::string("gauge \"") + header_->name + "\" is already installed");
  {
    Calling calling(host_, this);
    header_->install(NextInstallArgument());
  }
  installed_ = true;
  Callback(gauge::kServiceInstalled);
}

void Gauge::Initialize() {
  Calling calling(host_, this);
  header_->initialize();
}

void Gauge::Update() {
  Calling calling(host_, this);
  header_->update();
}

void Gauge::Generate() {
  Calling calling(host_, this);
  header_->generate(0);
}

void Gauge::Draw() {
  Calling calling(host_, this);
  header_->draw();
}

void Gauge::Kill() {
  Callback(gauge::kServiceKilling);
  {
    Calling calling(host_, this);
    header_->kill();
  }
  installed_ = false;
}

void Gauge::Callback(std::uint32_t service) {
  if (header_->version != gauge::kGaugeVersion700) return;
  auto* h700 = reinterpret_cast<gauge::GaugeHeader700*>(header_);
  if (h700->callback == nullptr) return;
  Calling calling(host_, this);
  h700->callback(Word(header_), service, 0);
}

void Gauge::Frame() {
  Update();
  Callback(gauge::kServiceUpdating);
  Generate();
  Draw();
}

void Gauge::Start(int frames) {
  Install();
  Initialize();
  for (int i = 0; i < frames; ++i) Frame();
}

bool Gauge::Click(int x, int y, std::uint32_t event) {
  gauge::MouseArea* list = ActiveMouseList();
  if (list == nullptr) return false;
  for (int i = 0; i < 1000 && list[i].kind != gauge::kMouseEndOfList; ++i) {
    const gauge::MouseArea& a = list[i];
    if (a.kind != gauge::kMouseClickArea || a.handler == nullptr) continue;
    if (x < a.x || y < a.y || x >= a.x + a.width || y >= a.y + a.height) continue;
    if ((a.eventMask & event) == 0) continue;
    Calling calling(host_, this);
    a.handler(static_cast<std::uint32_t>(x), event);
    return true;
  }
  return false;
}

const ElementState& Gauge::State(const gauge::ElementHeader* element) const {
  static const ElementState kNone;
  auto it = states_.find(element);
  return it == states_.end() ? kNone : it->second;
}

std::string Gauge::Text(const gauge::ElementHeader* element) const {
  const ElementState& state = State(element);
  if (state.text.empty()) return {};
  return std::string(state.text.data(), strnlen(state.text.data(), state.text.size()));
}

void Gauge::ServiceInstall(std::uint32_t) {
  // The root image's first run-time word: an address of the host's, which a
  // version-610 install routine passes back plus 4.
  reinterpret_cast<gauge::StaticImageElement610*>(root())->runtime[0] = hostWord();
}

void Gauge::ServiceMouseInstall(gauge::MouseArea* list, std::uint32_t hostAddress) {
  mouseInstallAddress_ = hostAddress;
  if (hostAddress != hostWord() + 4) {
    host_.Problem(std::string("gauge \"") + header_->name +
                  "\": MouseListInstall got an address that is not the root's host word plus 4");
  }
  (void)list;
}

void Gauge::ServiceMouseRegister(gauge::MouseArea* list, bool active) {
  if (active) {
    registeredList_ = list;
  } else if (registeredList_ == list) {
    registeredList_ = nullptr;
  }
}

void Gauge::ServiceUpdate() {
  gauge::ElementHeader* r = root();
  if (r == nullptr) return;
  // The root is an image without variables; its children (and theirs, for a
  // host that meets deeper trees) are updated in list order.
  struct Walk {
    Gauge& gauge;
    std::size_t position = 0;
    void Children(gauge::ElementHeader* parent, int depth) {
      if (parent->children == nullptr || depth > kMaxDepth) return;
      for (std::size_t i = 0; i < 1000 && parent->children[i] != nullptr; ++i) {
        gauge.UpdateElement(parent->children[i], position++);
        Children(parent->children[i], depth + 1);
      }
    }
  };
  Walk{*this}.Children(r, 0);
}

ElementState& Gauge::StateForUpdate(const gauge::ElementHeader* element, std::size_t position) {
  if (position < updateOrder_.size() && updateOrder_[position].first == element) {
    return *updateOrder_[position].second;
  }
  ElementState& state = states_[element];  // map nodes never move
  if (position >= updateOrder_.size()) updateOrder_.resize(position + 1);
  updateOrder_[position] = {element, &state};
  return state;
}

void Gauge::UpdateElement(gauge::ElementHeader* element, std::size_t position) {
  ElementState& state = StateForUpdate(element, position);
  // A failure bound with action 1 freezes the element at its last value.
  bool frozen = false;
  if (element->failures != nullptr) {
    for (int i = 0; i < 16 && element->failures[i].key != 0; ++i) {
      if (element->failures[i].action == 1 && host_.FailureActive(element->failures[i].key)) {
        frozen = true;
      }
    }
  }
  if (frozen && state.updated) return;

  double value = 0.0;
  switch (element->kind) {
    case gauge::kNeedle:
      if (header_->version == gauge::kGaugeVersion610) {
        auto* n = reinterpret_cast<gauge::NeedleElement610*>(element);
        host_.Refresh(n->source);
        value = n->callback != nullptr ? n->callback(&n->source) : n->source.value;
      } else {
        auto* n = reinterpret_cast<gauge::NeedleElement700*>(element);
        host_.Refresh(n->source);
        value = n->callback != nullptr ? n->callback(element) : n->source.value;
      }
      break;
    case gauge::kString: {
      auto* s = reinterpret_cast<gauge::StringElement700*>(element);
      host_.Refresh(s->source1);
      host_.Refresh(s->source2);
      host_.Refresh(s->source3);
      // Bytes past the element's character count are a guard: a callback that
      // writes into them wrote a text longer than the element allows. The
      // guard stays laid between updates and is laid again only when written
      // over or when the count changes, so an update costs one comparison.
      const std::size_t limit = static_cast<std::size_t>(std::clamp(s->charCount, 0, 1000)) + 1;
      if (state.text.empty()) state.text.assign(kTextBufferBytes, '\0');
      char* text = state.text.data();
      if (state.guardFrom != limit) {
        if (state.guardFrom != 0) {
          std::memset(text + state.guardFrom, 0, kTextBufferBytes - state.guardFrom);
        }
        std::memset(text + limit, kTextGuard, kTextBufferBytes - limit);
        state.guardFrom = limit;
      }
      s->text = text;
      if (s->callback != nullptr) value = s->callback(element);
      const bool overrun = !GuardIntact(text + limit, kTextBufferBytes - limit);
      if (overrun || std::memchr(text, '\0', limit) == nullptr) {
        host_.Problem(std::string("gauge \"") + header_->name + "\": string at (" +
                      std::to_string(element->x) + "," + std::to_string(element->y) +
                      ") wrote a text longer than its " + std::to_string(s->charCount) +
                      " characters");
        text[limit - 1] = '\0';
        std::memset(text + limit, kTextGuard, kTextBufferBytes - limit);
      }
      break;
    }
    case gauge::kIcon: {
      auto* icon = reinterpret_cast<gauge::IconElement700*>(element);
      host_.Refresh(icon->source);
      value = icon->callback != nullptr ? icon->callback(element) : icon->source.value;
      break;
    }
    case gauge::kSlider: {
      auto* slider = reinterpret_cast<gauge::SliderElement700*>(element);
      host_.Refresh(slider->xSource);
      host_.Refresh(slider->ySource);
      value = slider->ySource.value;
      break;
    }
    default:
      return;
  }
  state.value = value;
  state.updated = true;
}

}  // namespace panelhost
