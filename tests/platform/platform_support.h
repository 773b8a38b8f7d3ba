// Temporary folders and mounts for the tests of the host layer.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace hdtree::testing {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hdtree-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = std::filesystem::canonical(pattern).string();
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A tmpfs mounted on a folder for the life of the object. Needs root; Error() tells why it could
// not be mounted (empty when it is).
class TempMount {
 public:
  TempMount(const std::string& folder, const char* options) : folder_(folder) {
    if (geteuid() != 0) {
      error_ = "needs root to mount a tmpfs";
    } else if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options) != 0) {
      error_ = std::string("mount of a tmpfs refused: ") + std::strerror(errno);
    } else {
      mounted_ = true;
    }
  }
  ~TempMount() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  TempMount(const TempMount&) = delete;
  TempMount& operator=(const TempMount&) = delete;

  const std::string& Error() const { return error_; }

 private:
  std::string folder_;
  std::string error_;
  bool mounted_ = false;
};

// Sets TZ for one test and puts the earlier setting back afterwards.
class ZoneSetting {
 public:
  explicit ZoneSetting(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneSetting() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ZoneSetting(const ZoneSetting&) = delete;
  ZoneSetting& operator=(const ZoneSetting&) = delete;

 private:
  std::optional<std::string> old_;
};

// Open descriptors of the process.
inline int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

}  // namespace hdtree::testing
