// The interposers behind host/stress_watch.h. On Linux the executable's own
// definitions of malloc, fopen, open... come first in the dynamic symbol
// lookup of every library, modules included (host/CMakeLists.txt exports them
// with a dynamic list), and forward to the C library.
#include "host/stress_watch.h"

#include <atomic>
#include <cstddef>

#if defined(_WIN32)

namespace panelhost::watch {
bool Available() { return false; }
void Arm() {}
Counts Disarm() { return {}; }
Paused::Paused() : wasArmed_(false) {}
Paused::~Paused() = default;
int OpenDescriptors() { return -1; }
}  // namespace panelhost::watch

#else

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

// With 64-bit file offsets the C headers rename fopen to fopen64, and the
// definitions below would collide.
#if defined(_FILE_OFFSET_BITS) && _FILE_OFFSET_BITS == 64
#error "stress_watch.cpp defines both the plain and the 64-bit file functions"
#endif

namespace {

std::atomic<bool> g_armed{false};
std::atomic<std::uint32_t> g_allocations{0};
std::atomic<std::uint32_t> g_opens{0};
std::atomic<std::uint32_t> g_closes{0};

inline void CountAllocation() {
  if (g_armed.load(std::memory_order_relaxed))
    g_allocations.fetch_add(1, std::memory_order_relaxed);
}
inline void CountOpen() {
  if (g_armed.load(std::memory_order_relaxed)) g_opens.fetch_add(1, std::memory_order_relaxed);
}
inline void CountClose() {
  if (g_armed.load(std::memory_order_relaxed)) g_closes.fetch_add(1, std::memory_order_relaxed);
}

// The next definition of `name` after this executable's: the C library's, or
// the sanitizer runtime's that wraps it.
template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer owns malloc; it reports every allocation through this hook.
int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                              void (*freeHook)(const volatile void*));
#else
// The C library's allocator under its own names.
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* p, std::size_t size) noexcept;
void* __libc_memalign(std::size_t alignment, std::size_t size) noexcept;
void __libc_free(void* p) noexcept;
void* memalign(std::size_t alignment, std::size_t size) noexcept;

void* malloc(std::size_t size) noexcept {
  CountAllocation();
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
  CountAllocation();
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
  CountAllocation();
  return __libc_realloc(p, size);
}
void free(void* p) noexcept { __libc_free(p); }
void* memalign(std::size_t alignment, std::size_t size) noexcept {
  CountAllocation();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  CountAllocation();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
  CountAllocation();
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return 22;  // EINVAL
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
#endif

FILE* fopen(const char* path, const char* mode) {
  static auto next = Next<FILE* (*)(const char*, const char*)>("fopen");
  CountOpen();
  return next(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
  static auto next = Next<FILE* (*)(const char*, const char*)>("fopen64");
  CountOpen();
  return next(path, mode);
}
FILE* freopen(const char* path, const char* mode, FILE* stream) {
  static auto next = Next<FILE* (*)(const char*, const char*, FILE*)>("freopen");
  CountOpen();
  return next(path, mode, stream);
}
FILE* freopen64(const char* path, const char* mode, FILE* stream) {
  static auto next = Next<FILE* (*)(const char*, const char*, FILE*)>("freopen64");
  CountOpen();
  return next(path, mode, stream);
}
FILE* fdopen(int fd, const char* mode) noexcept {
  static auto next = Next<FILE* (*)(int, const char*)>("fdopen");
  CountOpen();
  return next(fd, mode);
}
int fclose(FILE* stream) {
  static auto next = Next<int (*)(FILE*)>("fclose");
  CountClose();
  return next(stream);
}
// open's mode argument is read only with O_CREAT or O_TMPFILE; passing it on
// unconditionally is what the C library's own wrappers do.
int open(const char* path, int flags, ...) {
  static auto next = Next<int (*)(const char*, int, ...)>("open");
  __builtin_va_list args;
  __builtin_va_start(args, flags);
  const unsigned mode = __builtin_va_arg(args, unsigned);
  __builtin_va_end(args);
  CountOpen();
  return next(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  static auto next = Next<int (*)(const char*, int, ...)>("open64");
  __builtin_va_list args;
  __builtin_va_start(args, flags);
  const unsigned mode = __builtin_va_arg(args, unsigned);
  __builtin_va_end(args);
  CountOpen();
  return next(path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
  static auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  __builtin_va_list args;
  __builtin_va_start(args, flags);
  const unsigned mode = __builtin_va_arg(args, unsigned);
  __builtin_va_end(args);
  CountOpen();
  return next(dir, path, flags, mode);
}
int openat64(int dir, const char* path, int flags, ...) {
  static auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
  __builtin_va_list args;
  __builtin_va_start(args, flags);
  const unsigned mode = __builtin_va_arg(args, unsigned);
  __builtin_va_end(args);
  CountOpen();
  return next(dir, path, flags, mode);
}
int creat(const char* path, mode_t mode) {
  static auto next = Next<int (*)(const char*, mode_t)>("creat");
  CountOpen();
  return next(path, mode);
}
int creat64(const char* path, mode_t mode) {
  static auto next = Next<int (*)(const char*, mode_t)>("creat64");
  CountOpen();
  return next(path, mode);
}
int close(int fd) {
  static auto next = Next<int (*)(int)>("close");
  CountClose();
  return next(fd);
}

}  // extern "C"

namespace panelhost::watch {

namespace {
#if defined(__SANITIZE_ADDRESS__)
void OnMalloc(const volatile void*, std::size_t) { CountAllocation(); }
void OnFree(const volatile void*) {}
#endif
}  // namespace

bool Available() { return true; }

void Arm() {
#if defined(__SANITIZE_ADDRESS__)
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  (void)hooked;
#endif
  g_allocations = 0;
  g_opens = 0;
  g_closes = 0;
  g_armed = true;
}

Counts Disarm() {
  g_armed = false;
  return {g_allocations.load(), g_opens.load(), g_closes.load()};
}

Paused::Paused() : wasArmed_(g_armed.exchange(false)) {}
Paused::~Paused() { g_armed = wasArmed_; }

int OpenDescriptors() {
  Paused paused;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count - 1;  // the directory stream's own descriptor
}

}  // namespace panelhost::watch

#endif
