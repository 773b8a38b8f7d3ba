#include "hdtree/ui/application.h"

#include <QMessageBox>
#include <QSettings>
#include <array>
#include <string>

#include "hdtree/platform/drives.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/host_search.h"

namespace hdtree {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("hdtree"));
  setDesktopFileName(QStringLiteral("hdtree"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}

void KeepNoSettings() {
  // A device, not a folder: no settings file can be made below it.
  const QString nowhere = QStringLiteral("/dev/null");
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope, nowhere);
    QSettings::setPath(format, QSettings::SystemScope, nowhere);
  }
}

void ShowExceptionMessage(const QString& message) {
  QMessageBox box(QMessageBox::Critical, WindowTitle(), message + QLatin1Char('.'),
                  QMessageBox::Ok);
  box.exec();
}

void ShowException(const std::exception& error) {
  ShowExceptionMessage(QString::fromUtf8(error.what()));
}

void ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowExceptionMessage(QStringLiteral("unexpected error"));
  }
}

void Guarded(const std::function<void()>& code) {
  try {
    code();
  } catch (...) {
    ShowCurrentException();
  }
}

int RunMainWindow(const std::function<std::unique_ptr<TForm1>()>& create) {
  try {
    std::unique_ptr<TForm1> window;
    try {
      window = create();
    } catch (...) {
      Form1 = nullptr;
      throw;
    }
    window->show();
    QApplication::exec();
  } catch (...) {
    ShowCurrentException();
  }
  return 0;
}

namespace {

// The host's drives, read once at start, with the directory search and the file system over
// them.
struct HostServices {
  DriveTable Drives = DriveTable::FromHost();
  HostDirectorySearch Search{Drives};
  HostFileSystem Files{Drives};
};

}  // namespace

int RunProgram(ListingState& state, const char* programName) {
  std::string name = programName && *programName ? programName : "hdtree";
  int argc = 1;
  std::array<char*, 2> argv{name.data(), nullptr};
  Application app(argc, argv.data());
  KeepNoSettings();

  std::unique_ptr<HostServices> host;
  RunMainWindow([&] {
    host = std::make_unique<HostServices>();
    const DriveTable& drives = host->Drives;
    return std::make_unique<TForm1>(FormServices{state, drives, host->Search, host->Files,
                                                 [&drives] { return drives.CurrentDirectory(); }});
  });
  return 0;
}

}  // namespace hdtree
