// A chosen save into a fixed file, without a dialog: what the benchmarks save through.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "hdtree/report/report.h"

// A dialog that is always confirmed with one file.
class FixedDialog : public hdtree::SaveDialog {
 public:
  explicit FixedDialog(std::string path) : path_(std::move(path)) {}
  void SetInitialDir(const std::string&) override {}
  bool Execute() override { return true; }
  std::string FileName() const override { return path_; }

 private:
  std::string path_;
};

// The chosen save mode with that dialog, in a given list mode.
class ChosenSaveWindow : public hdtree::SaveWindow {
 public:
  ChosenSaveWindow(std::string path, int listMode) : dialog_(std::move(path)), mode_(listMode) {}
  int SaveMode() const override { return hdtree::kSaveChosen; }
  int ListMode() const override { return mode_; }
  hdtree::SaveDialog& Dialog() override { return dialog_; }

 private:
  FixedDialog dialog_;
  int mode_;
};

// Opens reports at host paths; the save's other services are not used by a chosen save.
class ReportOnlyFileSystem : public hdtree::FileSystem {
 public:
  bool ChangeDirectory(const hdtree::AnsiString&) override { return false; }
  bool CreateFolder(const hdtree::AnsiString&) override { return false; }
  std::unique_ptr<hdtree::ReportFile> OpenReport(const std::string& path) override {
    return hdtree::ReportFile::Create(path);
  }
};
