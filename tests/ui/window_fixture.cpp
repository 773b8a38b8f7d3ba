#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>

namespace hdtree::testing {

WindowFixture::WindowFixture() : savedCwd_(QDir::currentPath()) {
  for (const char letter : {'e', 'f'}) {
    auto folder = std::make_unique<QTemporaryDir>();
    QVERIFY2(folder->isValid(), "cannot make a temporary folder");
    drives_.Assign(letter, folder->path().toStdString());
    folders_[letter] = std::move(folder);
  }
}

WindowFixture::~WindowFixture() {
  form_.reset();
  QDir::setCurrent(savedCwd_);
}

QString WindowFixture::Root(char letter) const {
  const Drive* drive = drives_.Find(letter);
  return drive ? QString::fromStdString(drive->HostRoot) : QString();
}

void WindowFixture::MakeFolders(char letter, const QStringList& paths) const {
  const QDir root(Root(letter));
  for (const QString& path : paths) {
    if (!root.mkpath(path)) qFatal("cannot make the folder %s", qPrintable(path));
  }
}

void WindowFixture::MakeFile(char letter, const QString& path, const QByteArray& contents) const {
  QFile file(QDir(Root(letter)).filePath(path));
  if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
    qFatal("cannot write the file %s", qPrintable(path));
}

TForm1& WindowFixture::Form() {
  if (!form_) {
    const AnsiString current = CurrentDirectory;
    form_ = std::make_unique<TForm1>(
        FormServices{*state_, drives_, search_, files_, [current] { return current; }});
  }
  return *form_;
}

TForm1& WindowFixture::Shown() {
  TForm1& form = Form();
  form.show();
  form.activateWindow();
  if (!QTest::qWaitForWindowActive(&form)) qWarning("the window did not become active");
  return form;
}

QRect PageRow(int row) {
  return QRect(1, kPageTextTop + kPageLinePitch * row, kPageWidth - 2, kPageLinePitch);
}

namespace {
QRect DeviceRect(const QImage& picture, const QRect& logical) {
  const qreal ratio = picture.devicePixelRatio();
  return QRect(qRound(logical.x() * ratio), qRound(logical.y() * ratio),
               qRound(logical.width() * ratio), qRound(logical.height() * ratio))
      .intersected(picture.rect());
}
}  // namespace

int DarkPixels(const QImage& picture, const QRect& logical) {
  const QRect area = DeviceRect(picture, logical);
  int dark = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (qGray(picture.pixel(x, y)) < 128) ++dark;
    }
  }
  return dark;
}

int PixelCount(const QImage& picture, const QRect& logical) {
  const QRect area = DeviceRect(picture, logical);
  return area.width() * area.height();
}

QImage Part(const QImage& picture, const QRect& logical) {
  return picture.copy(DeviceRect(picture, logical));
}

bool HasBlackFrame(const QImage& picture) {
  if (picture.isNull()) return false;
  const int w = picture.width();
  const int h = picture.height();
  const qreal ratio = picture.devicePixelRatio();
  const int edge = qRound(ratio);  // one logical pixel
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool frame = x < edge || y < edge || x >= w - edge || y >= h - edge;
      if (!frame) continue;
      const QRgb pixel = picture.pixel(x, y);
      if (pixel != qRgb(0, 0, 0)) return false;
    }
  }
  return true;
}

bool IsBlankPage(const QImage& picture) {
  return HasBlackFrame(picture) &&
         DarkPixels(picture, QRect(1, 1, kPageWidth - 2, kPageHeight - 2)) == 0;
}

QList<int> RowsWithText(const QImage& picture) {
  QList<int> rows;
  for (int row = 0; row < kPageLineCount; ++row) {
    // Leaves out the row's first pixels, which the line above may reach: the page font's lines
    // are a little taller than the 12-pixel pitch.
    if (DarkPixels(picture, PageRow(row).adjusted(0, 2, 0, 0)) > 0) rows << row;
  }
  return rows;
}

std::unique_ptr<ModalWatch> CloseNextMessageBox(ShownMessage& seen) {
  return OnModal<QMessageBox>([&seen](QMessageBox* box) {
    seen.Title = box->windowTitle();
    seen.Text = box->text();
    seen.Icon = box->icon();
    seen.Buttons = box->standardButtons();
    box->button(QMessageBox::Ok)->click();
  });
}

}  // namespace hdtree::testing
