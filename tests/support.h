// Shared by the tests: where the built modules are, running commands, and a
// temporary working folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace testsupport {

inline std::string ModulePath(const std::string& name) {
  return std::string(PANEL_DIST_DIR) + "/" + name + ".so";
}
inline std::string TestModulePath(const std::string& name) {
  return std::string(PANEL_DIST_DIR) + "/tests/" + name + ".so";
}
inline std::string WindowsDist() { return PANEL_WINDOWS_DIST_DIR; }
inline std::string Panelhost() { return std::string(PANEL_DIST_DIR) + "/panelhost"; }

struct CommandResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

inline CommandResult Run(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A fresh folder that is the working directory while the object lives.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/panel_test_XXXXXX";
    path_ = mkdtemp(pattern);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Wine is needed for the Windows half of the tests; `make test` installs it.
inline bool HaveWine() { return Run("command -v wine >/dev/null").exitCode == 0; }

}  // namespace testsupport
