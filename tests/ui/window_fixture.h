// A main window over fixture folders given as drives, and helpers to look at its page and to
// answer its modal boxes from the event loop.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/drives.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/host_search.h"
#include "hdtree/ui/application.h"
#include "hdtree/ui/form.h"

namespace hdtree::testing {

// A directory search over the host's folders that lets a test look in, or throw, whenever a
// folder search starts.
class HookedSearch : public DirectorySearch {
 public:
  explicit HookedSearch(DirectorySearch& inner) : inner_(inner) {}

  std::function<void(const AnsiString& path)> OnFindFirst;

  int FindFirst(const AnsiString& path, int mask, TSearchRec& rec) override {
    if (OnFindFirst) OnFindFirst(path);
    return inner_.FindFirst(path, mask, rec);
  }
  int FindFirstIn(const AnsiString& path, const std::string& hostRelative, int mask,
                  TSearchRec& rec) override {
    if (OnFindFirst) OnFindFirst(path);
    return inner_.FindFirstIn(path, hostRelative, mask, rec);
  }
  int FindNext(TSearchRec& rec) override { return inner_.FindNext(rec); }
  void FindClose(TSearchRec& rec) override { inner_.FindClose(rec); }

 private:
  DirectorySearch& inner_;
};

// Drives e and f are empty temporary folders; the current directory is on drive e ("E:\")
// unless a test says otherwise. The process's current directory is restored at the end.
class WindowFixture {
 public:
  WindowFixture();
  ~WindowFixture();
  WindowFixture(const WindowFixture&) = delete;
  WindowFixture& operator=(const WindowFixture&) = delete;

  // The host folder of a drive, as the drive table holds it.
  QString Root(char letter) const;
  // Makes folders (with their parents) below a drive's root: "a", "a/b".
  void MakeFolders(char letter, const QStringList& paths) const;
  // Makes a file below a drive's root with the given contents.
  void MakeFile(char letter, const QString& path, const QByteArray& contents) const;

  // The window, made on first use, not yet shown.
  TForm1& Form();
  // Shows the window and waits until it is active.
  TForm1& Shown();

  ListingState& State() { return *state_; }
  DriveTable& Drives() { return drives_; }
  HookedSearch& Search() { return search_; }
  FileSystem& Files() { return files_; }

  // The current directory in drive form that the window is made with.
  AnsiString CurrentDirectory = "E:\\";

 private:
  QString savedCwd_;
  std::map<char, std::unique_ptr<QTemporaryDir>> folders_;
  DriveTable drives_;
  HostDirectorySearch hostSearch_{drives_};
  HookedSearch search_{hostSearch_};
  HostFileSystem files_{drives_};
  std::unique_ptr<ListingState> state_ = std::make_unique<ListingState>();
  std::unique_ptr<TForm1> form_;
};

// The page's row i (0 to 25) inside the frame, in the picture's logical pixels.
QRect PageRow(int row);
// The dark pixels of a picture within a logical rectangle, and all its pixels there (both in
// device pixels).
int DarkPixels(const QImage& picture, const QRect& logical);
int PixelCount(const QImage& picture, const QRect& logical);
// The part of a picture within a logical rectangle, as device pixels.
QImage Part(const QImage& picture, const QRect& logical);
// True when the picture's outermost pixels are black: the page's one-pixel frame.
bool HasBlackFrame(const QImage& picture);
// True for an empty page: the black frame, white inside.
bool IsBlankPage(const QImage& picture);
// The rows of the page that hold text.
QList<int> RowsWithText(const QImage& picture);

// Watches for a modal widget of type T (checked every 10 ms, for at most 20 seconds) and
// hands the first visible one to act. Watching ends when the watch is destroyed.
struct ModalWatch {
  QTimer Timer;
  QElapsedTimer Waited;
  bool Done = false;
};

template <class T>
std::unique_ptr<ModalWatch> OnModal(std::function<void(T*)> act) {
  auto watch = std::make_unique<ModalWatch>();
  ModalWatch* w = watch.get();
  QObject::connect(&w->Timer, &QTimer::timeout, [w, act] {
    T* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    if (widget && widget->isVisible()) {
      w->Timer.stop();
      w->Done = true;
      act(widget);
    } else if (w->Waited.elapsed() > 20000) {
      w->Timer.stop();
    }
  });
  w->Waited.start();
  w->Timer.start(10);
  return watch;
}

// What an exception display showed.
struct ShownMessage {
  QString Title;
  QString Text;
  int Icon = 0;
  int Buttons = 0;
};

// Closes the next message box with OK, recording what it showed.
std::unique_ptr<ModalWatch> CloseNextMessageBox(ShownMessage& seen);

}  // namespace hdtree::testing

// A QtTest main over the program's own application object, so that its exception handling is
// in force in the tests too.
#define HDTREE_QTEST_MAIN(TestClass)        \
  int main(int argc, char** argv) {         \
    hdtree::Application app(argc, argv);    \
    hdtree::KeepNoSettings();               \
    TestClass test;                         \
    return QTest::qExec(&test, argc, argv); \
  }
