// The main window: its controls as designed, its handlers, and the page view of the tree.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "hdtree/listing/lister.h"
#include "hdtree/listing/listing_state.h"
#include "hdtree/platform/drives.h"
#include "hdtree/platform/file_system.h"
#include "hdtree/platform/search.h"
#include "hdtree/report/report.h"
#include "hdtree/ui/controls.h"

class QScrollArea;
class QShowEvent;

namespace hdtree {

// The window's title: half-width katakana, full-width slashes.
inline constexpr const char* kWindowTitle = "HDﾌｧｲﾙ／ﾂﾘｰ表示／ﾃｷｽﾄ保存";
QString WindowTitle();

// The design's fonts: the window's, and the page's. Both have a 12-pixel character height.
QFont WindowFont();
QFont PageFont();

// Page geometry, in pixels of the page picture.
inline constexpr int kPageWidth = 593;
inline constexpr int kPageHeight = 345;
inline constexpr int kPageLineCount = 26;
inline constexpr int kPageTextLeft = 10;
inline constexpr int kPageTextTop = 10;
inline constexpr int kPageLinePitch = 12;

// What the window works with besides its controls: the listing state, the drives, the directory
// search and the file system, and the process's current directory in drive form ("C:\home\ann";
// empty when no drive holds it).
struct FormServices {
  ListingState& State;
  const DriveTable& Drives;
  DirectorySearch& Search;
  FileSystem& Files;
  std::function<AnsiString()> CurrentDirectory;
};

class TForm1 : public QWidget, public ListingWindow, public SaveWindow {
  Q_OBJECT

 public:
  // Sets Form1 to the new window first, builds the controls of the design, then clears the
  // count box, takes the current directory's drive letter into DriveLetter and clears the page.
  explicit TForm1(FormServices services, QWidget* owner = nullptr);
  ~TForm1() override;

  TButton* Button1 = nullptr;
  TDriveComboBox* DriveComboBox1 = nullptr;
  TButton* Button2 = nullptr;
  TMemo* Memo2 = nullptr;
  TImage* Image1 = nullptr;
  TScrollBar* ScrollBar1 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;
  TRadioGroup* RadioGroup2 = nullptr;
  std::unique_ptr<TSaveDialog> SaveDialog1;

  // Lists the chosen drive, shows page 0 and the count, saves; the busy cursor meanwhile.
  void Button1Click(QObject* Sender);
  // DriveLetter := the drive box's letter, lower case; empty when no drive is selected.
  void DriveComboBox1Change(QObject* Sender);
  // Closes the window, which ends the program.
  void Button2Click(QObject* Sender);
  // Draws the page that begins at the scroll bar's position.
  void ScrollBar1Change(QObject* Sender);

  // Draws lines firstLine to firstLine + 25 of the tree into the page picture.
  void DrawPage(int firstLine) override;
  // The first step of DrawPage alone: a white page in a one-pixel black frame.
  void ClearPage();

  // ListingWindow
  int ListMode() const override;
  void SetScrollPosition(int position) override;
  void SetScrollMin(int min) override;
  void SetScrollMax(int max) override;
  void AppendCountLine(const AnsiString& line) override;

  // SaveWindow
  int SaveMode() const override;
  SaveDialog& Dialog() override;

  // The content of the window's client area, laid out as designed; it scrolls when the window
  // is made smaller than it.
  QWidget* ClientArea() const { return client_; }

 private:
  void CreateControls();
  // A handler bound to a control's event. An exception that escapes the handler is shown in the
  // exception display and goes no further, so the window stays open.
  TNotifyEvent Bind(void (TForm1::*handler)(QObject*));

  FormServices services_;
  QScrollArea* scroller_ = nullptr;
  QWidget* client_ = nullptr;
};

// The program's one main window; null until it is created and after a failed creation.
extern TForm1* Form1;

}  // namespace hdtree
