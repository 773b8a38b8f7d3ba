#include "hdtree/ui/controls.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTextBlock>
#include <QWheelEvent>
#include <cctype>
#include <cmath>

namespace hdtree {

void SetCursor(QWidget& control, TCursor cursor) {
  switch (cursor) {
    case TCursor::crDefault:
      control.unsetCursor();
      break;
    case TCursor::crArrow:
      control.setCursor(Qt::ArrowCursor);
      break;
    case TCursor::crHourGlass:
      control.setCursor(Qt::WaitCursor);
      break;
  }
}

// --- TButton ---

TButton::TButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setAutoDefault(false);
  setDefault(false);
  connect(this, &QPushButton::clicked, this, [this] {
    if (OnClick) OnClick(this);
  });
}

void TButton::keyPressEvent(QKeyEvent* event) {
  // Qt clicks a focused button on Enter only when it may act as a dialog's default button; this
  // window has none, so the focused button takes the key itself.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && mods == Qt::NoModifier && !event->isAutoRepeat()) {
    event->accept();
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

// --- TDriveComboBox ---

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::currentIndexChanged, this, [this] {
    if (announced_ && OnChange) OnChange(this);
  });
}

void TDriveComboBox::SetDrives(const DriveTable& drives) {
  const QSignalBlocker quiet(this);
  clear();
  letters_.clear();
  for (const hdtree::Drive& drive : drives.Drives()) {
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(drive.Letter)));
    letters_.push_back(letter);
    addItem(QStringLiteral("%1: %2").arg(QChar(letter), QString::fromUtf8(drive.HostRoot)));
  }
  setCurrentIndex(-1);
}

char TDriveComboBox::Drive() const {
  const int index = currentIndex();
  if (index < 0 || index >= static_cast<int>(letters_.size())) return 0;
  return letters_[static_cast<std::size_t>(index)];
}

void TDriveComboBox::SetDrive(char letter) {
  const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  int index = -1;
  for (std::size_t i = 0; i < letters_.size(); ++i) {
    if (letters_[i] == wanted) index = static_cast<int>(i);
  }
  setCurrentIndex(index);
}

void TDriveComboBox::showEvent(QShowEvent* event) {
  QComboBox::showEvent(event);
  if (announced_) return;
  announced_ = true;
  if (OnChange) OnChange(this);
}

// --- TMemo ---

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TMemo::StyleAsLabel() {
  setFrameShape(QFrame::NoFrame);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, colours.color(QPalette::Button));
  setPalette(colours);
  setCursor(Qt::ArrowCursor);
  viewport()->setCursor(Qt::ArrowCursor);
}

void TMemo::TStrings::Add(const QString& line) { memo_.appendPlainText(line); }

void TMemo::TStrings::Clear() { memo_.clear(); }

int TMemo::TStrings::Count() const {
  const QTextDocument* text = memo_.document();
  return text->isEmpty() ? 0 : text->blockCount();
}

QString TMemo::TStrings::operator[](int index) const {
  return memo_.document()->findBlockByNumber(index).text();
}

// --- TImage ---

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage& TImage::Picture() {
  if (picture_.isNull()) {
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels(static_cast<int>(std::ceil(width() * ratio)),
                             static_cast<int>(std::ceil(height() * ratio)));
    picture_ = QImage(devicePixels, QImage::Format_RGB32);
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::white);
  }
  return picture_;
}

void TImage::paintEvent(QPaintEvent* event) {
  QPainter screen(this);
  if (picture_.isNull()) {
    screen.fillRect(event->rect(), palette().window());
    return;
  }
  screen.drawImage(QPoint(0, 0), picture_);
}

void TImage::wheelEvent(QWheelEvent* event) {
  if (wheelTarget_) {
    QCoreApplication::sendEvent(wheelTarget_, event);
    return;
  }
  QWidget::wheelEvent(event);
}

// --- TScrollBar ---

TScrollBar::TScrollBar(Qt::Orientation kind, QWidget* parent) : QScrollBar(kind, parent) {
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QAbstractSlider::valueChanged, this, [this] {
    if (OnChange) OnChange(this);
  });
}

// --- TRadioGroup ---

TRadioGroup::TRadioGroup(const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(parent), columns_(columns < 1 ? 1 : columns) {
  group_.setExclusive(true);
  int id = 0;
  for (const QString& text : items) {
    auto* button = new QRadioButton(text, this);
    group_.addButton(button, id++);
    buttons_.push_back(button);
  }
}

int TRadioGroup::ItemIndex() const { return group_.checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < Count()) {
    Item(index)->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked; uncheck the last one outside it.
  if (QAbstractButton* checked = group_.checkedButton()) {
    group_.setExclusive(false);
    checked->setChecked(false);
    group_.setExclusive(true);
  }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  ArrangeItems();
}

void TRadioGroup::ArrangeItems() {
  if (buttons_.empty()) return;
  // Items fill the box inside its frame, column by column, each row the same height.
  constexpr int kLeftMargin = 8;
  constexpr int kFrameMargin = 2;
  const int count = Count();
  const int rows = (count + columns_ - 1) / columns_;
  const int innerHeight = height() - 2 * kFrameMargin;
  const int rowHeight = innerHeight / rows;
  const int top = kFrameMargin + (innerHeight % rows) / 2;
  const int columnWidth = (width() - kLeftMargin - kFrameMargin) / columns_;
  for (int i = 0; i < count; ++i) {
    const int column = i / rows;
    const int row = i % rows;
    Item(i)->setGeometry(kLeftMargin + column * columnWidth, top + row * rowHeight, columnWidth,
                         rowHeight);
  }
}

// --- TSaveDialog ---

void TSaveDialog::SetInitialDir(const std::string& dir) { initialDir_ = dir; }

QStringList TSaveDialog::NameFilters() const {
  QStringList result;
  const QStringList parts = Filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& name = parts[i];
    QString pattern = parts[i + 1];
    pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
    // Qt reads the patterns from the parentheses at the end of the name; a name that shows
    // them already is kept as it is.
    if (name.endsWith(QLatin1Char('(') + parts[i + 1] + QLatin1Char(')')))
      result << name;
    else
      result << name + QStringLiteral(" (") + pattern + QLatin1Char(')');
  }
  return result;
}

bool TSaveDialog::Execute() {
  QFileDialog dialog(owner_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFilters();
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int first = FilterIndex >= 1 && FilterIndex <= filters.size() ? FilterIndex - 1 : 0;
    dialog.selectNameFilter(filters[first]);
  }
  dialog.setDefaultSuffix(DefaultExt);
  dialog.setDirectory(initialDir_.empty() ? QDir::currentPath()
                                          : QString::fromStdString(initialDir_));
  // The file chosen last is offered again, in its own folder.
  if (!fileName_.empty()) dialog.selectFile(QString::fromStdString(fileName_));
  dialog.setWindowModality(Qt::ApplicationModal);

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
  fileName_ = QFileInfo(chosen.first()).absoluteFilePath().toStdString();
  return true;
}

}  // namespace hdtree
