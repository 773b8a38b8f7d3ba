#include "hdtree/ui/form.h"

#include <QIcon>
#include <QKeySequence>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <string_view>

#include "hdtree/platform/sjis.h"
#include "hdtree/ui/application.h"

namespace hdtree {

TForm1* Form1 = nullptr;

namespace {

// Placement and size of the window at 96 dots per inch: the outer frame's left and top, and the
// client area (the outer size 675 x 497 less the frame and the title bar).
constexpr QPoint kWindowPlace(27, 39);
constexpr QSize kClientSize(667, 470);
constexpr int kFontPixels = 12;

// The list-mode and save-mode items, and the save dialog's file types.
constexpr const char* kAllFiles = "全ﾌｧｲﾙ書き出し";
constexpr const char* kFoldersOnly = "フォルダーのみ書き出し";
constexpr const char* kSaveAutomaticText = "自動保存";
constexpr const char* kSaveChosenText = "任意保存";
constexpr const char* kSaveNoneText = "保存しない";
constexpr const char* kReportFilter = "ﾃｷｽﾄﾌｧｲﾙ (*.txt)|*.txt|すべてのﾌｧｲﾙ(*.*)|*.*";

QIcon WindowIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/hdtree/icons/hdtree-folder-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/hdtree/icons/hdtree-folder-32.png"), QSize(32, 32));
  return icon;
}

// The first step of every page: the rectangle (0, 0)-(width, height), right and bottom edges
// exclusive, drawn with a black one-pixel pen and a white brush, so the picture is white inside
// a one-pixel black frame. Filled as two rectangles, which hits exactly the same pixels at any
// pixel ratio.
void PaintBlankPage(QPainter& canvas, int width, int height) {
  canvas.fillRect(QRect(0, 0, width, height), Qt::black);
  canvas.fillRect(QRect(1, 1, width - 2, height - 2), Qt::white);
}

// The busy cursor over the window's background, the start button and the page while a run
// lasts; the normal cursor again when it ends, also when it ends by an exception.
class BusyCursor {
 public:
  BusyCursor() { Set(TCursor::crHourGlass); }
  ~BusyCursor() { Set(TCursor::crDefault); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  static void Set(TCursor cursor) {
    SetCursor(*Form1, cursor);
    SetCursor(*Form1->Button1, cursor);
    SetCursor(*Form1->Image1, cursor);
  }
};

}  // namespace

QString WindowTitle() { return QString::fromUtf8(kWindowTitle); }

QFont WindowFont() {
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")});
  font.setPixelSize(kFontPixels);
  return font;
}

QFont PageFont() {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")});
  font.setPixelSize(kFontPixels);
  // Solid one-pixel strokes: the tree's lines join from row to row and stay black, as a
  // 12-pixel screen font draws them.
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

TForm1::TForm1(FormServices services, QWidget* owner)
    : QWidget(owner), services_(std::move(services)) {
  Form1 = this;
  CreateControls();

  // The window's own start, once its controls stand as designed.
  Form1->Memo2->Lines().Clear();
  const AnsiString currentDirectory =
      services_.CurrentDirectory ? services_.CurrentDirectory() : AnsiString();
  services_.State.DriveLetter = currentDirectory.substr(0, 1);
  Form1->ClearPage();

  // The drive box selects the current directory's drive; it announces it when first shown.
  Form1->DriveComboBox1->SetDrive(currentDirectory.empty() ? '\0' : currentDirectory[0]);
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(WindowTitle());
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  move(kWindowPlace);
  resize(kClientSize);

  // The design lives in a content widget of the client area's size; the scroll area around it
  // fills the window and scrolls it when the window is made smaller.
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  scroller_ = new QScrollArea(this);
  scroller_->setFrameShape(QFrame::NoFrame);
  scroller_->setWidgetResizable(false);
  scroller_->setFocusPolicy(Qt::NoFocus);
  frame->addWidget(scroller_);
  client_ = new QWidget;
  client_->setFixedSize(kClientSize);
  scroller_->setWidget(client_);

  // In tab order.
  Button1 = new TButton(QStringLiteral("スタート(&S)"), client_);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(24, 16, 89, 41);

  DriveComboBox1 = new TDriveComboBox(client_);
  DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
  DriveComboBox1->setGeometry(272, 16, 129, 18);
  DriveComboBox1->SetDrives(services_.Drives);

  Button2 = new TButton(QStringLiteral("閉じる(&C)"), client_);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(136, 16, 89, 41);

  Memo2 = new TMemo(client_);
  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setGeometry(272, 40, 137, 25);
  Memo2->StyleAsLabel();
  Memo2->setPlainText(QStringLiteral("Memo2"));

  ScrollBar1 = new TScrollBar(Qt::Vertical, client_);
  ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
  ScrollBar1->setGeometry(632, 112, 17, 345);
  ScrollBar1->SetLargeChange(5);
  ScrollBar1->SetSmallChange(1);
  ScrollBar1->SetMin(0);
  ScrollBar1->SetMax(100);
  ScrollBar1->SetPosition(0);

  RadioGroup1 =
      new TRadioGroup({QString::fromUtf8(kAllFiles), QString::fromUtf8(kFoldersOnly)}, 1, client_);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1->setGeometry(448, 8, 201, 49);
  RadioGroup1->SetItemIndex(kListFoldersOnly);

  RadioGroup2 =
      new TRadioGroup({QString::fromUtf8(kSaveAutomaticText), QString::fromUtf8(kSaveChosenText),
                       QString::fromUtf8(kSaveNoneText)},
                      3, client_);
  RadioGroup2->setObjectName(QStringLiteral("RadioGroup2"));
  RadioGroup2->setGeometry(24, 64, 625, 33);
  RadioGroup2->SetItemIndex(kSaveAutomatic);

  Image1 = new TImage(client_);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(24, 112, kPageWidth, kPageHeight);
  Image1->SetWheelTarget(ScrollBar1);

  SaveDialog1 = std::make_unique<TSaveDialog>(this);
  SaveDialog1->DefaultExt = QStringLiteral("txt");
  SaveDialog1->Filter = QString::fromUtf8(kReportFilter);
  SaveDialog1->FilterIndex = 1;

  // The controls the busy cursor of a run leaves alone keep their own arrow.
  for (QWidget* own : std::initializer_list<QWidget*>{DriveComboBox1, Button2, ScrollBar1,
                                                      RadioGroup1, RadioGroup2}) {
    SetCursor(*own, TCursor::crArrow);
  }

  // The tab order of the design.
  QWidget* previous = Button1;
  auto chain = [&previous](QWidget* next) {
    QWidget::setTabOrder(previous, next);
    previous = next;
  };
  Button1->setFocus();  // the first control takes the focus when the window opens
  chain(DriveComboBox1);
  chain(Button2);
  chain(Memo2);
  chain(ScrollBar1);
  for (TRadioGroup* group : {RadioGroup1, RadioGroup2}) {
    for (int i = 0; i < group->Count(); ++i) chain(group->Item(i));
  }

  // Esc is the close button's key, whichever control has the focus.
  auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  cancel->setContext(Qt::WindowShortcut);
  connect(cancel, &QShortcut::activated, Button2, &QPushButton::click);

  // The events of the design, bound by name.
  Button1->OnClick = Bind(&TForm1::Button1Click);
  DriveComboBox1->OnChange = Bind(&TForm1::DriveComboBox1Change);
  Button2->OnClick = Bind(&TForm1::Button2Click);
  ScrollBar1->OnChange = Bind(&TForm1::ScrollBar1Change);
}

TNotifyEvent TForm1::Bind(void (TForm1::*handler)(QObject*)) {
  return [this, handler](QObject* sender) { Guarded([&] { (this->*handler)(sender); }); };
}

void TForm1::Button1Click(QObject* /*Sender*/) {
  const BusyCursor busy;
  Lister lister(services_.State, services_.Search, *Form1);
  lister.RunListing();
  ReportSaver saver(services_.State, services_.Search, services_.Files, *Form1);
  saver.SaveReport();
}

void TForm1::DriveComboBox1Change(QObject* /*Sender*/) {
  const char letter = Form1->DriveComboBox1->Drive();
  services_.State.DriveLetter = letter ? AnsiString(1, letter) : AnsiString();
}

void TForm1::Button2Click(QObject* /*Sender*/) { Form1->close(); }

void TForm1::ScrollBar1Change(QObject* /*Sender*/) {
  Form1->DrawPage(Form1->ScrollBar1->Position());
}

void TForm1::ClearPage() {
  TImage& image = *Form1->Image1;
  QPainter canvas(&image.Picture());
  PaintBlankPage(canvas, image.width(), image.height());
  canvas.end();
  image.Changed();
}

void TForm1::DrawPage(int firstLine) {
  TImage& image = *Form1->Image1;
  QPainter canvas(&image.Picture());
  PaintBlankPage(canvas, image.width(), image.height());

  // The lines in the page font, black on an opaque white background, each on one row and cut
  // at the picture's edge.
  canvas.setFont(PageFont());
  canvas.setPen(Qt::black);
  canvas.setBackgroundMode(Qt::OpaqueMode);
  canvas.setBackground(Qt::white);
  const qreal ascent = QFontMetricsF(canvas.font(), &image.Picture()).ascent();
  const LineStore& lines = services_.State.LineBuffer;
  for (int i = 0; i < kPageLineCount; ++i) {
    const std::string_view text = lines[firstLine + i];
    if (text.empty()) continue;
    const QPointF baseline(kPageTextLeft, kPageTextTop + kPageLinePitch * i + ascent);
    canvas.drawText(baseline, QString::fromStdString(SjisToUtf8(text)));
  }
  canvas.end();
  image.Changed();
}

int TForm1::ListMode() const { return RadioGroup1->ItemIndex(); }

void TForm1::SetScrollPosition(int position) { ScrollBar1->SetPosition(position); }

void TForm1::SetScrollMin(int min) { ScrollBar1->SetMin(min); }

void TForm1::SetScrollMax(int max) { ScrollBar1->SetMax(max); }

void TForm1::AppendCountLine(const AnsiString& line) {
  Memo2->Lines().Add(QString::fromStdString(SjisToUtf8(line)));
}

int TForm1::SaveMode() const { return RadioGroup2->ItemIndex(); }

SaveDialog& TForm1::Dialog() { return *SaveDialog1; }

}  // namespace hdtree
