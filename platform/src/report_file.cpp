#include "hdtree/platform/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace hdtree {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;  // bytes collected before one write()
constexpr int kMaxLinks = 40;                // links followed at the target, as the kernel does
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 07777;

std::string Message(const char* what, const std::string& path, const char* reason) {
  return std::string("cannot ") + what + " " + path + ": " + reason;
}

[[noreturn]] void Throw(const char* what, const std::string& path, int error) {
  throw FileError(Message(what, path, std::strerror(error)));
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at the path to the file they name, also when that file does not exist
// yet (a link to a report still to be written).
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 256) + 1);
    const ssize_t n = readlink(current.c_str(), target.data(), target.size());
    if (n < 0) Throw("open", path, errno);
    if (static_cast<std::size_t>(n) >= target.size()) continue;  // grew meanwhile: read again
    const std::string link(target.data(), static_cast<std::size_t>(n));
    current = link.front() == '/' ? link : Folder(current) + "/" + link;
  }
  Throw("open", path, ELOOP);
}

// The mode bits the process gives a new file: 0666 less the umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return kNewFileMode & ~mask;
}

}  // namespace

std::unique_ptr<ReportFile> ReportFile::Create(const std::string& hostPath) {
  if (hostPath.empty()) Throw("open", hostPath, ENOENT);
  const std::string target = FollowLinks(hostPath);

  bool keepMode = false;
  mode_t mode = 0;
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Throw("open", hostPath, EISDIR);
    // A device or FIFO is never replaced by a plain file.
    if (!S_ISREG(st.st_mode)) throw FileError(Message("open", hostPath, "Not a regular file"));
    keepMode = true;
    mode = st.st_mode & kPermissionBits;
  } else if (errno != ENOENT) {
    Throw("open", hostPath, errno);
  }

  std::string temp = Folder(target) + "/." + BaseName(target) + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) Throw("open", hostPath, errno);
  return std::unique_ptr<ReportFile>(
      new ReportFile(target, std::move(temp), fd, keepMode, static_cast<unsigned>(mode)));
}

ReportFile::ReportFile(std::string target, std::string temp, int fd, bool keepMode, unsigned mode)
    : target_(std::move(target)),
      temp_(std::move(temp)),
      fd_(fd),
      keepMode_(keepMode),
      mode_(mode) {
  buffer_.reserve(kChunkSize);
}

ReportFile::~ReportFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

void ReportFile::Write(std::string_view bytes) {
  if (failed_ || committed_) {
    throw FileError(Message("write", target_, "the report is no longer open"));
  }
  if (buffer_.size() + bytes.size() > kChunkSize && !buffer_.empty()) Flush();
  if (bytes.size() >= kChunkSize) {
    WriteAll(bytes);  // straight from the caller's bytes: a large report is never copied
    return;
  }
  buffer_ += bytes;
}

void ReportFile::Flush() {
  WriteAll(buffer_);
  buffer_.clear();
}

void ReportFile::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    // At most a chunk a call: one call of hundreds of megabytes is several times slower.
    const std::size_t piece = bytes.size() - done < kChunkSize ? bytes.size() - done : kChunkSize;
    const ssize_t n = ::write(fd_, bytes.data() + done, piece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("write", errno);
    if (n == 0) Fail("write", EIO);
    done += static_cast<std::size_t>(n);
  }
}

void ReportFile::Fail(const char* what, int error) {
  failed_ = true;
  buffer_.clear();
  buffer_.shrink_to_fit();
  if (fd_ >= 0) close(fd_);  // a stream that failed is closed once and never used again
  fd_ = -1;
  unlink(temp_.c_str());
  temp_.clear();
  Throw(what, target_, error);
}

void ReportFile::Commit() {
  if (failed_ || committed_) {
    throw FileError(Message("close", target_, "the report is no longer open"));
  }
  Flush();
  if (fsync(fd_) != 0 && errno != EINVAL) Fail("write", errno);  // EINVAL: cannot be synced
  // A replaced report keeps its mode; a new one gets what a new file of the process gets.
  const mode_t mode = keepMode_ ? static_cast<mode_t>(mode_) : NewFileMode();
  if (fchmod(fd_, mode) != 0) Fail("write", errno);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0 && errno != EINTR) Fail("close", errno);
  if (rename(temp_.c_str(), target_.c_str()) != 0) Fail("write", errno);
  committed_ = true;
}

}  // namespace hdtree
