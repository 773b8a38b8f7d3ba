// Runs started from the window, the page they draw and how the scroll bar moves it.
#include <QDir>
#include <QFile>
#include <QWheelEvent>

#include "hdtree/report/report.h"
#include "window_fixture.h"

using namespace hdtree;
using namespace hdtree::testing;

namespace {

// "総ファイル数＝" and the count, as the count box shows it.
QString CountLine(int count) { return QStringLiteral("総ファイル数＝%1").arg(count); }

QStringList Numbered(const QString& stem, int count) {
  QStringList names;
  for (int i = 1; i <= count; ++i)
    names << QStringLiteral("%1%2").arg(stem).arg(i, 2, 10, QChar('0'));
  return names;
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void startButtonListsShowsCountsAndSaves_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << "click";
    QTest::newRow("Alt+S") << "alt-s";
    QTest::newRow("Enter on the focused button") << "enter";
    QTest::newRow("Space on the focused button") << "space";
  }

  void startButtonListsShowsCountsAndSaves() {
    QFETCH(QString, how);
    WindowFixture fixture;
    fixture.MakeFolders('e', {"Alpha", "Beta", "Gamma"});
    TForm1& form = fixture.Shown();
    auto start = [&] {
      if (how == "click") {
        QTest::mouseClick(form.Button1, Qt::LeftButton);
      } else if (how == "alt-s") {
        const int before = form.Memo2->Lines().Count();
        QTest::keyClick(&form, Qt::Key_S, Qt::AltModifier);
        // A mnemonic presses the button for a moment, then clicks it.
        QTRY_COMPARE(form.Memo2->Lines().Count(), before + 1);
      } else {
        form.Button1->setFocus();
        QTRY_VERIFY(form.Button1->hasFocus());
        QTest::keyClick(form.Button1, how == "enter" ? Qt::Key_Return : Qt::Key_Space);
      }
    };

    start();
    // Drive e in lower case and its three folders (the root's first entry has a line of its
    // own); folders only and saved automatically.
    QCOMPARE(fixture.State().LineBuffer[0], std::string_view("e:"));
    QCOMPARE(fixture.State().LastLine, 4);
    QCOMPARE(form.Memo2->Lines().Count(), 1);
    QCOMPARE(form.Memo2->Lines()[0], CountLine(4));
    const QString report = QDir(fixture.Root('e')).filePath("Tree/TreeFol.txt");
    QVERIFY(QFile::exists(report));
    QVERIFY(!QFile::exists(QDir(fixture.Root('e')).filePath("Tree/TreeAll.txt")));

    const QImage& page = form.Image1->Picture();
    QVERIFY(HasBlackFrame(page));
    QCOMPARE(RowsWithText(page), (QList<int>{0, 1, 2, 3, 4}));
    QCOMPARE(form.ScrollBar1->Position(), 0);
    QCOMPARE(form.ScrollBar1->Min(), 0);
    QCOMPARE(form.ScrollBar1->Max(), 4);

    // The second run also finds the report's folder; its count comes last.
    start();
    QCOMPARE(form.Memo2->toPlainText(), CountLine(4) + "\n" + CountLine(5));
    QCOMPARE(FileBytes(report), QByteArray::fromStdString(ReportBytes(fixture.State())));
    QCOMPARE(RowsWithText(form.Image1->Picture()), (QList<int>{0, 1, 2, 3, 4, 5}));
  }

  void countLineGoesAfterTypedText() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::keyClicks(form.Memo2, "note");
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Memo2->toPlainText(), "note\n" + CountLine(0));
  }

  void busyCursorWhileARunLasts() {
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A"});
    TForm1& form = fixture.Shown();
    QList<Qt::CursorShape> during;
    fixture.Search().OnFindFirst = [&](const AnsiString&) {
      if (!during.isEmpty()) return;
      during << form.cursor().shape() << form.Button1->cursor().shape()
             << form.Image1->cursor().shape() << form.Button2->cursor().shape()
             << form.ClientArea()->cursor().shape();
    };
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    // The window's background, the start button and the page show the busy cursor; the other
    // controls keep their own.
    QCOMPARE(during, (QList<Qt::CursorShape>{Qt::WaitCursor, Qt::WaitCursor, Qt::WaitCursor,
                                             Qt::ArrowCursor, Qt::WaitCursor}));
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    for (QWidget* w : {static_cast<QWidget*>(form.Button1), static_cast<QWidget*>(form.Image1)}) {
      QVERIFY(!w->testAttribute(Qt::WA_SetCursor));
      QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
    }
  }

  void listsTheDriveChosenInTheDriveBox() {
    WindowFixture fixture;
    fixture.MakeFolders('f', {"OnF"});
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    form.DriveComboBox1->setCurrentIndex(1);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(fixture.State().LineBuffer[0], std::string_view("f:"));
    QCOMPARE(fixture.State().LastLine, 2);
  }

  void driveThatCannotBeSearchedShowsItsRootAlone() {
    WindowFixture fixture;
    fixture.Drives().Assign('g', QDir(fixture.Root('f')).filePath("missing").toStdString());
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    fixture.State().DriveLetter = "g";
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(fixture.State().LastLine, 0);
    QCOMPARE(form.ScrollBar1->Max(), 0);
    QCOMPARE(RowsWithText(form.Image1->Picture()), QList<int>{0});
    QCOMPARE(form.Memo2->Lines()[0], CountLine(0));
  }

  void scrollBarMovesThePage() {
    WindowFixture fixture;
    fixture.MakeFolders('e', Numbered("Folder", 5));
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(fixture.State().LastLine, 6);
    TScrollBar& bar = *form.ScrollBar1;
    const QImage page0 = form.Image1->Picture().copy();

    // The page at position p shows line p + k in row k: the same pixels page 0 shows in row
    // p + k (the last row of a page has no row after it, so it is left out).
    auto expectPageAt = [&](int position) {
      QCOMPARE(bar.Position(), position);
      const QImage& page = form.Image1->Picture();
      QVERIFY(HasBlackFrame(page));
      for (int row = 0; row + position < 25; ++row) {
        QVERIFY2(Part(page, PageRow(row)) == Part(page0, PageRow(row + position)),
                 qPrintable(QStringLiteral("position %1 row %2").arg(position).arg(row)));
      }
      QList<int> rows;
      for (int row = 0; row <= 6 - position; ++row) rows << row;
      QCOMPARE(RowsWithText(page), rows);
    };

    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    expectPageAt(1);
    bar.triggerAction(QAbstractSlider::SliderPageStepAdd);
    expectPageAt(6);  // 1 + 5
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    expectPageAt(6);  // held at Max
    bar.triggerAction(QAbstractSlider::SliderSingleStepSub);
    expectPageAt(5);
    bar.triggerAction(QAbstractSlider::SliderToMinimum);
    expectPageAt(0);
    bar.triggerAction(QAbstractSlider::SliderToMaximum);
    expectPageAt(6);
    // At the last position line 6 stands at the top with 25 blank rows below it.
    QCOMPARE(DarkPixels(form.Image1->Picture(),
                        QRect(1, kPageTextTop + kPageLinePitch + 1, kPageWidth - 2,
                              kPageHeight - kPageTextTop - kPageLinePitch - 2)),
             0);
    bar.triggerAction(QAbstractSlider::SliderPageStepSub);
    expectPageAt(1);

    // Dragging the thumb redraws the page at every step.
    bar.setSliderDown(true);
    bar.setSliderPosition(3);
    expectPageAt(3);
    bar.setSliderPosition(4);
    expectPageAt(4);
    bar.setSliderDown(false);
    expectPageAt(4);

    // The keyboard, on the focused scroll bar.
    bar.setFocus();
    QTRY_VERIFY(bar.hasFocus());
    QTest::keyClick(&bar, Qt::Key_Up);
    expectPageAt(3);
    QTest::keyClick(&bar, Qt::Key_Home);
    expectPageAt(0);
  }

  void wheelOverThePageMovesTheScrollBar() {
    WindowFixture fixture;
    fixture.MakeFolders('e', Numbered("Folder", 30));
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    TScrollBar& bar = *form.ScrollBar1;
    auto turn = [](QWidget* over, int delta) {
      const QPointF at(over->width() / 2.0, over->height() / 2.0);
      QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(over, &wheel);
    };
    turn(&bar, -120);
    const int byBar = bar.Position();
    QVERIFY(byBar > 0);
    bar.SetPosition(0);
    turn(form.Image1, -120);
    QCOMPARE(bar.Position(), byBar);
    turn(form.Image1, 120);
    QCOMPARE(bar.Position(), 0);
  }

  void runStartedAwayFromTheTopEndsOnPageZero() {
    WindowFixture fixture;
    fixture.MakeFolders('e', Numbered("Folder", 45));
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    const QImage page0 = form.Image1->Picture().copy();
    QList<int> everyRow;
    for (int row = 0; row < kPageLineCount; ++row) everyRow << row;
    QCOMPARE(RowsWithText(page0), everyRow);
    form.ScrollBar1->SetPosition(40);
    QVERIFY(form.Image1->Picture() != page0);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.ScrollBar1->Position(), 0);
    QCOMPARE(form.ScrollBar1->Max(), 46);
    QCOMPARE(form.Image1->Picture(), page0);
  }

  void shorterRunShowsNothingOfTheLongerOne() {
    WindowFixture fixture;
    fixture.MakeFolders('e', Numbered("Long", 45));
    fixture.MakeFolders('f', Numbered("Short", 3));
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(fixture.State().LastLine, 46);
    form.DriveComboBox1->setCurrentIndex(1);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(fixture.State().LastLine, 4);
    QCOMPARE(form.ScrollBar1->Max(), 4);
    for (int position = 0; position <= form.ScrollBar1->Max(); ++position) {
      form.ScrollBar1->SetPosition(position);
      QList<int> rows;
      for (int row = 0; row <= 4 - position; ++row) rows << row;
      QCOMPARE(RowsWithText(form.Image1->Picture()), rows);
    }
  }

  void lineWiderThanThePageIsCutAtItsEdge() {
    WindowFixture fixture;
    const QString wide = QString(120, QChar('W'));
    fixture.MakeFolders('e', {wide, "short"});
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    const QImage& page = form.Image1->Picture();
    const int rightEdge = kPageWidth - 1;
    // Inside each row, leaving out the pixel a taller line's background reaches into.
    auto inner = [](int row, int left, int width) {
      return QRect(left, PageRow(row).top() + 2, width, kPageLinePitch - 3);
    };
    int wideRows = 0;
    for (int row = 0; row <= fixture.State().LastLine; ++row) {
      const bool reachesTheEdge = DarkPixels(page, inner(row, rightEdge - 20, 20)) > 0;
      const int frame = DarkPixels(page, inner(row, rightEdge, 1));
      const int wholeFrame = PixelCount(page, inner(row, rightEdge, 1));
      if (reachesTheEdge) {
        ++wideRows;
        // The text's white background covers the frame there.
        QVERIFY2(frame < wholeFrame, qPrintable(QString::number(row)));
      } else {
        QCOMPARE(frame, wholeFrame);
      }
    }
    QVERIFY(wideRows >= 1);
  }
};

HDTREE_QTEST_MAIN(RunTest)
#include "run_test.moc"
