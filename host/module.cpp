// Loading a module binary and reading its bitmap resources.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "host/host.h"

#if defined(_WIN32)
#include <windows.h>
// psapi.h needs the types windows.h declares.
#include <psapi.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

namespace panelhost {

namespace {

#if !defined(_WIN32)
// The table the Linux build of a module carries its bitmaps in.
struct LinuxBitmapEntry {
  std::uint32_t id;
  std::uint32_t size;
  const std::uint8_t* dib;
};
struct LinuxBitmapTable {
  std::uint32_t count;
  LinuxBitmapEntry entries[1];
};

struct RangeSearch {
  std::uintptr_t base;
  std::uintptr_t begin;
  std::uintptr_t end;
};

int FindImageRange(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<RangeSearch*>(data);
  if (info->dlpi_addr != search->base) return 0;
  std::uintptr_t begin = UINTPTR_MAX;
  std::uintptr_t end = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    begin = std::min<std::uintptr_t>(begin, info->dlpi_addr + ph.p_vaddr);
    end = std::max<std::uintptr_t>(end, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
  }
  search->begin = begin;
  search->end = end;
  return 1;
}
#endif

std::uint32_t Read32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

std::unique_ptr<Module> Module::Load(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw Error(path + ": no such module file");
  }
  std::unique_ptr<Module> module(new Module);
  module->path_ = path;
  const std::string absolute = std::filesystem::absolute(path).string();
#if defined(_WIN32)
  HMODULE handle = LoadLibraryExA(absolute.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle == nullptr) {
    const DWORD code = GetLastError();
    throw Error(path + ": cannot load as a module (Windows error " + std::to_string(code) + ")");
  }
  module->handle_ = handle;
  module->importTable_ =
      reinterpret_cast<gauge::ImportEntry*>(GetProcAddress(handle, "ImportTable"));
  module->linkage_ = reinterpret_cast<gauge::LinkageHead*>(GetProcAddress(handle, "Linkage"));
  MODULEINFO info{};
  GetModuleInformation(GetCurrentProcess(), handle, &info, sizeof info);
  module->imageBegin_ = reinterpret_cast<std::uintptr_t>(info.lpBaseOfDll);
  module->imageEnd_ = module->imageBegin_ + info.SizeOfImage;
#else
  void* handle = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    throw Error(path + ": cannot load as a module: " + dlerror());
  }
  module->handle_ = handle;
  module->importTable_ = static_cast<gauge::ImportEntry*>(dlsym(handle, "ImportTable"));
  module->linkage_ = static_cast<gauge::LinkageHead*>(dlsym(handle, "Linkage"));
  if (module->linkage_ != nullptr) {
    Dl_info info{};
    if (dladdr(module->linkage_, &info) != 0) {
      RangeSearch search{reinterpret_cast<std::uintptr_t>(info.dli_fbase), 0, 0};
      // dli_fbase is the load address; program headers are relative to dlpi_addr,
      // which for a shared object is the same base.
      dl_iterate_phdr(FindImageRange, &search);
      module->imageBegin_ = search.begin;
      module->imageEnd_ = search.end;
    }
  }
#endif
  if (module->importTable_ == nullptr) throw Error(path + ": module exports no ImportTable");
  if (module->linkage_ == nullptr) throw Error(path + ": module exports no Linkage");
  return module;
}

Module::~Module() {
#if defined(_WIN32)
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
#else
  if (handle_ != nullptr) dlclose(handle_);
#endif
}

std::string Module::name() const { return std::filesystem::path(path_).stem().string(); }

gauge::GaugeHeaderBase** Module::gaugeList() const {
  return reinterpret_cast<gauge::GaugeHeaderBase**>(reinterpret_cast<std::uint8_t*>(linkage_) +
                                                    sizeof(gauge::LinkageHead));
}

std::vector<gauge::GaugeHeaderBase*> Module::gauges() const {
  std::vector<gauge::GaugeHeaderBase*> out;
  gauge::GaugeHeaderBase** list = gaugeList();
  for (std::size_t i = 0; i < 1000; ++i) {
    // The entry itself (an address) must lie in the module before it is read.
    // NOLINTNEXTLINE(bugprone-sizeof-expression)
    if (!Contains(&list[i], sizeof list[i]) || list[i] == nullptr) break;
    out.push_back(list[i]);
  }
  return out;
}

gauge::GaugeHeaderBase* Module::FindGauge(std::string_view name) const {
  for (gauge::GaugeHeaderBase* header : gauges()) {
    if (!Contains(header, sizeof *header) || !Contains(header->name, 1)) continue;
    const std::size_t limit = imageEnd_ - reinterpret_cast<std::uintptr_t>(header->name);
    if (strnlen(header->name, limit) == name.size() &&
        std::memcmp(header->name, name.data(), name.size()) == 0) {
      return header;
    }
  }
  return nullptr;
}

bool Module::Contains(const void* p, std::size_t size) const {
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  return a >= imageBegin_ && a <= imageEnd_ && size <= imageEnd_ - a;
}

std::span<const std::uint8_t> Module::BitmapResource(std::uint32_t id) const {
#if defined(_WIN32)
  auto h = static_cast<HMODULE>(handle_);
  HRSRC found = FindResourceA(h, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(h, found);
  if (loaded == nullptr) return {};
  return {static_cast<const std::uint8_t*>(LockResource(loaded)), SizeofResource(h, found)};
#else
  const auto* table = static_cast<const LinuxBitmapTable*>(dlsym(handle_, "GaugeBitmapResources"));
  if (table == nullptr) return {};
  for (std::uint32_t i = 0; i < table->count; ++i) {
    if (table->entries[i].id == id) return {table->entries[i].dib, table->entries[i].size};
  }
  return {};
#endif
}

#if defined(_WIN32)
namespace {
BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR out) {
  if (IS_INTRESOURCE(name)) {
    reinterpret_cast<std::vector<std::uint32_t>*>(out)->push_back(
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name)));
  }
  return TRUE;
}
}  // namespace
#endif

std::string Module::FileVersion() const {
#if defined(_WIN32)
  char file[MAX_PATH];
  if (GetModuleFileNameA(static_cast<HMODULE>(handle_), file, sizeof file) == 0) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file, 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
#else
  return {};
#endif
}

std::vector<std::uint32_t> Module::BitmapIds() const {
  std::vector<std::uint32_t> ids;
#if defined(_WIN32)
  EnumResourceNamesA(static_cast<HMODULE>(handle_), MAKEINTRESOURCEA(2), CollectId,
                     reinterpret_cast<LONG_PTR>(&ids));
#else
  const auto* table = static_cast<const LinuxBitmapTable*>(dlsym(handle_, "GaugeBitmapResources"));
  if (table != nullptr) {
    for (std::uint32_t i = 0; i < table->count; ++i) ids.push_back(table->entries[i].id);
  }
#endif
  std::sort(ids.begin(), ids.end());
  return ids;
}

const Bitmap& Module::DecodedBitmap(std::uint32_t id) const {
  if (auto it = bitmaps_.find(id); it != bitmaps_.end()) return it->second;
  const std::span<const std::uint8_t> dib = BitmapResource(id);
  const std::string where = path_ + ": bitmap " + std::to_string(id);
  if (dib.empty()) throw Error(where + ": no such bitmap resource");
  if (dib.size() < 40 || Read32(dib.data()) < 40) throw Error(where + ": truncated header");
  const std::uint8_t* h = dib.data();
  const std::uint32_t headerSize = Read32(h);
  const auto width = static_cast<std::int32_t>(Read32(h + 4));
  const auto rawHeight = static_cast<std::int32_t>(Read32(h + 8));
  const std::uint16_t bits = Read16(h + 14);
  const std::uint32_t compression = Read32(h + 16);
  std::uint32_t colours = Read32(h + 32);
  if (width <= 0 || rawHeight == 0 || width > 8192 || rawHeight > 8192 || rawHeight < -8192) {
    throw Error(where + ": bad size " + std::to_string(width) + " x " + std::to_string(rawHeight));
  }
  if (compression != 0) throw Error(where + ": compressed bitmaps are not supported");
  if (bits != 8 && bits != 24) {
    throw Error(where + ": " + std::to_string(bits) +
                " bits per pixel (supported: 8 with a palette, 24)");
  }
  const bool bottomUp = rawHeight > 0;
  const int height = bottomUp ? rawHeight : -rawHeight;
  if (bits == 8 && colours == 0) colours = 256;
  if (bits == 8 && colours > 256) throw Error(where + ": palette of " + std::to_string(colours));
  const std::size_t paletteBytes = bits == 8 ? colours * 4 : 0;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
  const std::size_t need = headerSize + paletteBytes + stride * static_cast<std::size_t>(height);
  if (dib.size() < need) {
    throw Error(where + ": " + std::to_string(dib.size()) + " bytes, " + std::to_string(need) +
                " needed");
  }
  Bitmap bitmap;
  bitmap.id = id;
  bitmap.bitsPerPixel = bits;
  bitmap.image.width = width;
  bitmap.image.height = height;
  bitmap.image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::uint8_t* palette = h + headerSize;
  const std::uint8_t* pixels = palette + paletteBytes;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row =
        pixels + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t rgb;
      if (bits == 8) {
        const std::uint8_t index = row[x];
        const std::uint8_t* entry = palette + 4 * std::min<std::uint32_t>(index, colours - 1);
        rgb = std::uint32_t{entry[2]} << 16 | std::uint32_t{entry[1]} << 8 | entry[0];
      } else {
        const std::uint8_t* p = row + 3 * x;
        rgb = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
      }
      bitmap.image.at(x, y) = rgb == 0 ? 0u : (0xFF000000u | rgb);
    }
  }
  return bitmaps_.emplace(id, std::move(bitmap)).first->second;
}

}  // namespace panelhost
