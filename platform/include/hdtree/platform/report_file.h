// The report file: a whole file written beside its target and put in place at the end.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace hdtree {

// A file that could not be opened, written or closed. The message names the path and the
// reason, for example: "cannot write /media/usb/Tree/TreeAll.txt: No space left on device".
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes one report. Create makes a temporary file beside the target (following a symbolic link
// at the target to the file it names); Write buffers bytes; Commit writes them out, closes the
// file and renames it over the target, which keeps its mode when it existed (a new report gets
// 0666 less the umask). Until Commit succeeds the target is untouched; a stream that failed is
// never written again; the destructor removes an uncommitted temporary file. Every failure
// throws FileError.
class ReportFile {
 public:
  static std::unique_ptr<ReportFile> Create(const std::string& hostPath);
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void Write(std::string_view bytes);
  void Commit();

  const std::string& TargetPath() const { return target_; }

 private:
  ReportFile(std::string target, std::string temp, int fd, bool keepMode, unsigned mode);
  void Flush();
  void WriteAll(std::string_view bytes);
  void Fail(const char* what, int error);

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool keepMode_ = false;
  unsigned mode_ = 0;
  bool failed_ = false;
  bool committed_ = false;
  std::string buffer_;
};

}  // namespace hdtree
