// The drive-path mapping: a drive path never leaves its drive's root, never splits a Shift-JIS
// character on a trail byte 5C, and a host path below a root comes back the same way it went.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "hdtree/platform/drives.h"
#include "hdtree/platform/sjis.h"

namespace {

const hdtree::DriveTable& Table() {
  static const hdtree::DriveTable table = [] {
    hdtree::DriveTable t(std::vector<hdtree::Drive>{{'c', "/", "/dev/sda1", "ext4"},
                                                    {'d', "/media/ann/USB", "/dev/sdb1", "vfat"}});
    t.Assign('z', "/tmp/hdtree-fuzz/root");
    t.Assign('y', "/tmp/hdtree-fuzz/root2");
    return t;
  }();
  return table;
}

// True when root is the whole of path or a leading run of its components.
bool IsBelow(std::string_view path, std::string_view root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  if (path.substr(0, root.size()) != root) return false;
  return path.size() == root.size() || path[root.size()] == '/';
}

std::vector<std::string> SplitHost(std::string_view rest) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    const std::size_t slash = rest.find('/', start);
    const std::size_t end = slash == std::string_view::npos ? rest.size() : slash;
    if (end > start) parts.emplace_back(rest.substr(start, end - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return parts;
}

bool Usable(std::string_view component) {
  // A host name never holds a slash; "." and ".." are no names of their own.
  return !component.empty() && component != "." && component != ".." &&
         component.find('/') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const hdtree::DriveTable& table = Table();
  const std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);
  const char letter = static_cast<char>("cdyzCZqx"[data[1] % 8]);

  // Any bytes after "x:": the host path stays below the drive's root and holds no NUL.
  {
    std::string drivePath{letter, ':'};
    drivePath += body;
    const std::optional<std::string> host = table.ToHostPath(drivePath);
    const hdtree::Drive* drive = table.Find(letter);
    if (drive == nullptr) {
      FUZZ_CHECK(!host.has_value());
    } else if (host.has_value()) {
      FUZZ_CHECK(host->find('\0') == std::string::npos);
      if (body.find("..") == std::string_view::npos) FUZZ_CHECK(IsBelow(*host, drive->HostRoot));
    }
  }

  // Names split on NUL, each shown as a name would be: the host path has one component per
  // name, the name's own characters, also when a trail byte is 5C.
  if (const hdtree::Drive* drive = table.Find(letter)) {
    std::vector<hdtree::AnsiString> names;
    std::size_t start = 0;
    while (start <= body.size()) {
      const std::size_t nul = body.find('\0', start);
      const std::size_t end = nul == std::string_view::npos ? body.size() : nul;
      hdtree::AnsiString name = hdtree::HostNameToSjis(body.substr(start, end - start));
      if (Usable(name)) names.push_back(std::move(name));
      if (nul == std::string_view::npos) break;
      start = nul + 1;
    }
    hdtree::AnsiString drivePath{letter, ':'};
    for (const auto& name : names) drivePath += '\\' + name;
    const std::optional<std::string> host = table.ToHostPath(drivePath);
    FUZZ_CHECK(host.has_value());
    FUZZ_CHECK(IsBelow(*host, drive->HostRoot));
    const std::string_view rest = std::string_view(*host).substr(drive->HostRoot.size());
    const std::vector<std::string> parts = SplitHost(rest);
    FUZZ_CHECK(parts.size() == names.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
      FUZZ_CHECK(parts[i] == hdtree::SjisToUtf8(names[i]));
    }

    // Back from the host path: the drive of the longest root, and the same drive path.
    const hdtree::Drive* owner = table.DriveOfHostPath(*host);
    FUZZ_CHECK(owner != nullptr);
    FUZZ_CHECK(IsBelow(*host, owner->HostRoot));
    FUZZ_CHECK(owner->HostRoot.size() >= drive->HostRoot.size());
    const hdtree::AnsiString again = table.ToDrivePath(*host);
    FUZZ_CHECK(table.ToHostPath(again) == host);
  }
  return 0;
}
