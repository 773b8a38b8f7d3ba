// The window's controls: thin classes over Qt widgets with the properties and events the window
// works with (ItemIndex, Position, Min, Max, Lines, Cursor, FileName, Execute, OnClick, ...).
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "hdtree/platform/drives.h"
#include "hdtree/report/report.h"

namespace hdtree {

// An event handler: it receives the control that raised the event.
using TNotifyEvent = std::function<void(QObject* sender)>;

// Mouse cursors of a control. crDefault lets the control show its normal cursor.
enum class TCursor { crDefault, crArrow, crHourGlass };

// Sets the cursor shown over a control.
void SetCursor(QWidget& control, TCursor cursor);

// A push button. Enter and Return activate it while it has the focus; no button of the window is
// ever a default button.
class TButton : public QPushButton {
 public:
  TButton(const QString& caption, QWidget* parent);

  TNotifyEvent OnClick;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The drive box: one entry per drive ("c: /", "d: /media/ann/USB") in letter order. It fills
// quietly; the first time it is shown it announces its selected drive through OnChange, and from
// then on every change of the selection raises OnChange.
class TDriveComboBox : public QComboBox {
 public:
  explicit TDriveComboBox(QWidget* parent);

  void SetDrives(const DriveTable& drives);
  // The selected drive's letter, lower case; 0 when no drive is selected.
  char Drive() const;
  // Selects the drive of a letter (either case); no selection when the box has no such drive.
  void SetDrive(char letter);

  TNotifyEvent OnChange;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::vector<char> letters_;
  bool announced_ = false;
};

// A multi-line text box.
class TMemo : public QPlainTextEdit {
 public:
  explicit TMemo(QWidget* parent);

  // The box's text as lines.
  class TStrings {
   public:
    explicit TStrings(TMemo& memo) : memo_(memo) {}
    // Adds a line after the lines already there.
    void Add(const QString& line);
    void Clear();
    int Count() const;
    QString operator[](int index) const;

   private:
    TMemo& memo_;
  };

  TStrings Lines() { return TStrings(*this); }
  // Shows the box like a label: no border, the window's background, the arrow cursor.
  void StyleAsLabel();
};

// An image control that shows a retained picture: what was drawn last stays on screen, and a
// repaint only copies the picture.
class TImage : public QWidget {
 public:
  explicit TImage(QWidget* parent);

  // The picture, made on first use at the control's size (in device pixels at the screen's
  // pixel ratio, so that it stays sharp) and never replaced.
  QImage& Picture();
  // Shows the picture's new contents.
  void Changed() { update(); }
  // Wheel turns over the image are handed to this control (the page's scroll bar).
  void SetWheelTarget(QWidget* target) { wheelTarget_ = target; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QImage picture_;
  QWidget* wheelTarget_ = nullptr;
};

// A scroll bar. Every change of the position raises OnChange; a change that leaves the position
// where it was raises nothing.
class TScrollBar : public QScrollBar {
 public:
  TScrollBar(Qt::Orientation kind, QWidget* parent);

  int Position() const { return value(); }
  void SetPosition(int position) { setValue(position); }
  int Min() const { return minimum(); }
  void SetMin(int min) { setMinimum(min); }
  int Max() const { return maximum(); }
  void SetMax(int max) { setMaximum(max); }
  int SmallChange() const { return singleStep(); }
  void SetSmallChange(int step) { setSingleStep(step); }
  int LargeChange() const { return pageStep(); }
  void SetLargeChange(int step) { setPageStep(step); }

  TNotifyEvent OnChange;
};

// A framed group of mutually exclusive choices without a title, its items laid out in columns.
class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(const QStringList& items, int columns, QWidget* parent);

  // The checked item, -1 when none is.
  int ItemIndex() const;
  void SetItemIndex(int index);
  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Item(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ArrangeItems();

  QButtonGroup group_;
  std::vector<QRadioButton*> buttons_;
  int columns_;
};

// The save-file dialog of a chosen save, over Qt's own (non-native) file dialog.
class TSaveDialog : public SaveDialog {
 public:
  explicit TSaveDialog(QWidget* owner) : owner_(owner) {}

  // Added to a file name typed without an extension.
  QString DefaultExt;
  // File types as "name|pattern|name|pattern".
  QString Filter;
  // The file type shown first, counted from 1.
  int FilterIndex = 1;

  void SetInitialDir(const std::string& dir) override;
  const std::string& InitialDir() const { return initialDir_; }
  // Shows the dialog modally in the initial folder (the current directory when empty),
  // offering the current file name. True when the user confirmed a file: FileName then holds its
  // absolute path. A cancel leaves FileName as it was.
  bool Execute() override;
  std::string FileName() const override { return fileName_; }
  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }

  // The file types in the form Qt's dialog takes ("name (patterns)").
  QStringList NameFilters() const;

 private:
  QWidget* owner_;
  std::string initialDir_;
  std::string fileName_;
};

}  // namespace hdtree
