// panelhost: a headless host for gauge modules.
//
// Module loads a module binary; Host is the simulator side (services,
// variables, key events, mouse lists, sounds); Gauge is one installed gauge
// instance driven through its life cycle. One Host is current at a time: the
// services a module calls are plain functions that act on it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "framework/host_services.h"
#include "framework/records.h"

namespace panelhost {

// A load or use error; the message names the file and the problem.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An image as the renderer handles it: 0xAARRGGBB pixels, row by row from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// A bitmap resource of a module, decoded. Pure black pixels are transparent
// (alpha 0): they show whatever lies behind, on the gauge and on the panel.
struct Bitmap {
  std::uint32_t id = 0;
  int bitsPerPixel = 0;
  Image image;
};

class Module {
 public:
  // Loads the module binary; throws Error naming the file when it is not a
  // loadable module or lacks ImportTable or Linkage.
  static std::unique_ptr<Module> Load(const std::string& path);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const std::string& path() const { return path_; }
  // File name without folder and extension ("flightlog").
  std::string name() const;
  gauge::ImportEntry* importTable() const { return importTable_; }
  gauge::LinkageHead* linkage() const { return linkage_; }
  // The gauge list that follows the Linkage head.
  gauge::GaugeHeaderBase** gaugeList() const;
  // The gauges in Linkage order (at most 1000; a list that long is malformed).
  std::vector<gauge::GaugeHeaderBase*> gauges() const;
  // The gauge with that name, or null.
  gauge::GaugeHeaderBase* FindGauge(std::string_view name) const;

  // The raw DIB (BITMAPINFOHEADER, palette, pixels) of a bitmap resource, or
  // an empty span when the module has none with that id.
  std::span<const std::uint8_t> BitmapResource(std::uint32_t id) const;
  std::vector<std::uint32_t> BitmapIds() const;
  // Decodes a bitmap resource; throws Error when missing or in a format the
  // host does not draw (only uncompressed 8-bit palette and 24-bit DIBs).
  const Bitmap& DecodedBitmap(std::uint32_t id) const;

  // The file version from the module's version resource ("1.0.0.0"), or ""
  // when it has none. Linux modules carry none.
  std::string FileVersion() const;

  // Whether [p, p + size) lies inside the module's loaded image.
  bool Contains(const void* p, std::size_t size) const;

 private:
  Module() = default;
  std::string path_;
  void* handle_ = nullptr;
  gauge::ImportEntry* importTable_ = nullptr;
  gauge::LinkageHead* linkage_ = nullptr;
  std::uintptr_t imageBegin_ = 0;
  std::uintptr_t imageEnd_ = 0;
  mutable std::map<std::uint32_t, Bitmap> bitmaps_;
};

struct KeyEvent {
  std::uint32_t id;
  std::uint32_t parameter;
};

// One call of a host service, for tests and traces: the service's name and
// its arguments as 32-bit words (addresses as numbers).
struct ServiceCall {
  std::string service;
  std::vector<std::uint32_t> args;
};

// One call into the sound library, as the stand-in library reports it.
struct SoundCall {
  std::string operation;  // "load", "play", "prepare", "release"
  std::uint32_t handle;
  std::string path;  // the path passed to "load"
  std::int32_t result;
};

class Gauge;

class Host {
 public:
  static constexpr std::size_t kDataBlockBytes = 1024;

  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The host whose services modules are calling now.
  static Host& Current();

  // Writes HostServices (id 0x0F) and HostDataBlock (id 0x02) into the
  // module's ImportTable.
  void Attach(Module& module);

  // Simulator variables, by token; unknown tokens read 0.
  void SetVariable(std::uint32_t token, double value);
  double Variable(std::uint32_t token) const;
  // HostDataBlock, kDataBlockBytes of little-endian words.
  void SetDataWord(std::uint32_t byteOffset, std::int32_t value);
  std::int32_t DataWord(std::uint32_t byteOffset) const;
  std::uint8_t* dataBlock() { return dataBlock_.data(); }

  // Key events sent with TriggerKeyEvent, in order; the handler (if any) acts
  // on each as it arrives, e.g. the engine model moving variables.
  const std::vector<KeyEvent>& keyEvents() const { return keyEvents_; }
  void ClearKeyEvents() { keyEvents_.clear(); }
  void SetKeyEventHandler(std::function<void(Host&, const KeyEvent&)> handler) {
    keyEventHandler_ = std::move(handler);
  }

  // Every service call, when tracing is on.
  void SetTracing(bool on) { tracing_ = on; }
  const std::vector<ServiceCall>& trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }

  // Sound library calls in order.
  const std::vector<SoundCall>& soundCalls() const { return soundCalls_; }
  void RecordSound(SoundCall call) { soundCalls_.push_back(std::move(call)); }
  void ClearSounds() { soundCalls_.clear(); }

  // Active failures (key) the renderer applies to elements bound to them.
  void SetFailure(std::uint32_t key, bool active);
  bool FailureActive(std::uint32_t key) const;

  // The host's side of the services; called from the service entry points.
  void Trace(const char* service, std::initializer_list<std::uint32_t> args);
  void Refresh(gauge::HostVariable& variable);
  // The storage of a variable, made (as 0) when it has none yet; it stays at
  // the same address for the host's life.
  double& Storage(std::uint32_t token);
  void OnKeyEvent(std::uint32_t id, std::uint32_t parameter);
  // The gauge whose routine, callback or handler the host is calling now;
  // element-list and mouse-list services act on it.
  Gauge* active() const { return active_; }
  void SetActive(Gauge* gauge) { active_ = gauge; }
  // Problems the host saw while serving a module (a text longer than its
  // element allows, a service called for another gauge's root...).
  const std::vector<std::string>& problems() const { return problems_; }
  void Problem(std::string text) { problems_.push_back(std::move(text)); }
  void ClearProblems() { problems_.clear(); }

 private:
  std::map<std::uint32_t, double> variables_;
  // Direct index into variables_ for small tokens (every token the modules
  // use): refreshing a variable every update stays a single load.
  static constexpr std::uint32_t kDirectTokens = 4096;
  std::vector<double*> direct_;
  std::vector<std::uint8_t> dataBlock_;
  std::vector<KeyEvent> keyEvents_;
  std::function<void(Host&, const KeyEvent&)> keyEventHandler_;
  bool tracing_ = false;
  std::vector<ServiceCall> trace_;
  std::vector<SoundCall> soundCalls_;
  std::vector<std::uint32_t> failures_;
  Gauge* active_ = nullptr;
  std::vector<std::string> problems_;
  Host* previous_ = nullptr;
};

// What the host keeps per element between updates.
struct ElementState {
  bool updated = false;  // a value has been computed at least once
  double value = 0.0;    // the value callback's result (or the slider's variable)
  double frozenValue = 0.0;
  std::vector<char> text;     // string elements: the buffer handed to the callback
  std::size_t guardFrom = 0;  // where the buffer's guard bytes begin (0: none laid)
};

class Gauge {
 public:
  Gauge(Host& host, Module& module, gauge::GaugeHeaderBase* header);
  ~Gauge();
  Gauge(const Gauge&) = delete;
  Gauge& operator=(const Gauge&) = delete;

  // Life cycle. Install calls the install routine (and a version-700 gauge's
  // callback with service 3); Kill sends service 12 and calls the kill routine.
  void Install();
  void Initialize();
  void Update();
  void Generate();
  void Draw();
  void Kill();
  void Callback(std::uint32_t service);
  // One frame: update, callback service 6, generate, draw.
  void Frame();
  // Install, initialize and `frames` frames.
  void Start(int frames = 1);

  // A mouse event at gauge pixel (x, y): calls the first click area of the
  // gauge's active mouse list whose box holds the point and whose mask selects
  // the event. Returns whether a handler ran.
  bool Click(int x, int y, std::uint32_t event = gauge::kMouseLeftClick);

  bool installed() const { return installed_; }
  Module& module() const { return module_; }
  Host& host() const { return host_; }
  gauge::GaugeHeaderBase* header() const { return header_; }
  gauge::ElementHeader* root() const;
  // The root's children in list order.
  std::vector<gauge::ElementHeader*> Children() const;
  // The mouse list in force: the header's (700) or the one registered by the
  // install routine (610); null when none.
  gauge::MouseArea* ActiveMouseList() const;
  std::uint32_t MouseInstallAddress() const { return mouseInstallAddress_; }

  const ElementState& State(const gauge::ElementHeader* element) const;
  // A string element's current text.
  std::string Text(const gauge::ElementHeader* element) const;
  // The element at a position in the root's child list, 0-based.
  gauge::ElementHeader* Child(std::size_t index) const;

  // The host's side of the element-list services.
  void ServiceInstall(std::uint32_t arg);
  void ServiceUpdate();
  void ServiceMouseInstall(gauge::MouseArea* list, std::uint32_t hostAddress);
  void ServiceMouseRegister(gauge::MouseArea* list, bool active);
  std::uint32_t hostWord() const;  // the address the host stores in the root's word 60

 private:
  void UpdateElement(gauge::ElementHeader* element, std::size_t position);
  ElementState& StateForUpdate(const gauge::ElementHeader* element, std::size_t position);
  Host& host_;
  Module& module_;
  gauge::GaugeHeaderBase* header_;
  bool installed_ = false;
  std::uint32_t instanceWord_[4] = {};  // what the root's word 60 points at
  gauge::MouseArea* registeredList_ = nullptr;
  std::uint32_t mouseInstallAddress_ = 0;
  std::map<const gauge::ElementHeader*, ElementState> states_;
  // The states in update order, so an update finds each element's state
  // without a lookup; checked against the element on every use.
  std::vector<std::pair<const gauge::ElementHeader*, ElementState*>> updateOrder_;
};

// Connects the host to the sound library already loaded in the process (the
// ignition selector links it), so every sound call lands in soundCalls().
// Does nothing when no sound library is loaded. Called by Host::Attach.
void ConnectSoundLibrary(Host& host);

}  // namespace panelhost
