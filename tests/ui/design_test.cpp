// The window as it opens: its settings, controls, fonts, keys and first state.
#include <QAbstractButton>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QScrollArea>
#include <QScrollBar>

#include "hdtree/platform/sjis.h"
#include "window_fixture.h"

using namespace hdtree;
using namespace hdtree::testing;

class DesignTest : public QObject {
  Q_OBJECT

 private slots:
  void titleIsTheShiftJisText() {
    WindowFixture fixture;
    const QString title = fixture.Form().windowTitle();
    QCOMPARE(title, WindowTitle());
    const std::string expected =
        "\x48\x44\xCC\xA7\xB2\xD9\x81\x5E\xC2\xD8\xB0\x95\x5C\x8E\xA6\x81\x5E\xC3\xB7\xBD\xC4\x95"
        "\xDB\x91\xB6";
    QCOMPARE(Utf8ToSjis(title.toStdString()), expected);
  }

  void windowPlaceSizeAndIcon() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    QCOMPARE(form.pos(), QPoint(27, 39));
    QCOMPARE(form.size(), QSize(667, 470));
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
  }

  void controlsStandAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Button1") << "Button1" << QRect(24, 16, 89, 41) << QStringList{"スタート(&S)"};
    QTest::newRow("DriveComboBox1") << "DriveComboBox1" << QRect(272, 16, 129, 18) << QStringList{};
    QTest::newRow("Button2") << "Button2" << QRect(136, 16, 89, 41) << QStringList{"閉じる(&C)"};
    QTest::newRow("Memo2") << "Memo2" << QRect(272, 40, 137, 25) << QStringList{};
    QTest::newRow("ScrollBar1") << "ScrollBar1" << QRect(632, 112, 17, 345) << QStringList{};
    QTest::newRow("RadioGroup1") << "RadioGroup1" << QRect(448, 8, 201, 49)
                                 << QStringList{"全ﾌｧｲﾙ書き出し", "フォルダーのみ書き出し"};
    QTest::newRow("RadioGroup2") << "RadioGroup2" << QRect(24, 64, 625, 33)
                                 << QStringList{"自動保存", "任意保存", "保存しない"};
    QTest::newRow("Image1") << "Image1" << QRect(24, 112, 593, 345) << QStringList{};
  }

  void controlsStandAsDesigned() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QStringList, texts);
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    auto* control = form.ClientArea()->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    QStringList shown;
    if (auto* button = qobject_cast<QPushButton*>(control)) shown << button->text();
    for (auto* item : control->findChildren<QRadioButton*>()) {
      shown << item->text();
      // Every item lies inside its group.
      QVERIFY(control->rect().contains(item->geometry()));
    }
    QCOMPARE(shown, texts);
  }

  void startingChoicesAndScrollBar() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    QCOMPARE(form.RadioGroup1->ItemIndex(), 1);
    QCOMPARE(form.RadioGroup2->ItemIndex(), 0);
    QCOMPARE(form.ScrollBar1->orientation(), Qt::Vertical);
    QCOMPARE(form.ScrollBar1->Position(), 0);
    QCOMPARE(form.ScrollBar1->Min(), 0);
    QCOMPARE(form.ScrollBar1->Max(), 100);
    QCOMPARE(form.ScrollBar1->SmallChange(), 1);
    QCOMPARE(form.ScrollBar1->LargeChange(), 5);
  }

  void firstStartShowsAnEmptyFramedPageAndCountBox() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    QCOMPARE(form.Memo2->toPlainText(), QString());
    QCOMPARE(form.Memo2->Lines().Count(), 0);
    const QImage& page = form.Image1->Picture();
    QCOMPARE(page.deviceIndependentSize().toSize(), QSize(593, 345));
    QCOMPARE(page.size(), (QSizeF(593, 345) * page.devicePixelRatio()).toSize());
    QVERIFY(IsBlankPage(page));
    // What is on screen is the picture.
    const QImage screen = form.Image1->grab().toImage();
    QCOMPARE(screen.convertToFormat(QImage::Format_RGB32),
             page.convertToFormat(QImage::Format_RGB32));
  }

  void pageBeforeAnyRunIsBlankAtEveryPosition() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    for (const int position : {1, 50, 100}) {
      form.ScrollBar1->SetPosition(position);
      QVERIFY2(IsBlankPage(form.Image1->Picture()), qPrintable(QString::number(position)));
    }
  }

  void driveLetterComesFromTheCurrentDirectoryThenTheDriveBox() {
    WindowFixture fixture;
    fixture.CurrentDirectory = "F:\\work";
    TForm1& form = fixture.Form();
    // The constructor takes the current directory's letter as it stands.
    QCOMPARE(fixture.State().DriveLetter, AnsiString("F"));
    QCOMPARE(form.DriveComboBox1->count(), 2);
    QCOMPARE(form.DriveComboBox1->itemText(0), "e: " + fixture.Root('e'));
    QCOMPARE(form.DriveComboBox1->itemText(1), "f: " + fixture.Root('f'));
    // Showing the window makes the drive box announce its drive, in lower case.
    fixture.Shown();
    QCOMPARE(form.DriveComboBox1->currentIndex(), 1);
    QCOMPARE(fixture.State().DriveLetter, AnsiString("f"));
  }

  void currentDirectoryWithoutADriveSelectsNone() {
    WindowFixture fixture;
    fixture.CurrentDirectory = "";
    TForm1& form = fixture.Shown();
    QCOMPARE(form.DriveComboBox1->currentIndex(), -1);
    QCOMPARE(fixture.State().DriveLetter, AnsiString());
  }

  void choosingADriveChangesOnlyTheDriveLetter() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    form.Memo2->Lines().Add("kept");
    form.ScrollBar1->SetPosition(7);
    const QImage page = form.Image1->Picture().copy();
    form.DriveComboBox1->setCurrentIndex(1);
    QCOMPARE(fixture.State().DriveLetter, AnsiString("f"));
    form.DriveComboBox1->setCurrentIndex(-1);
    QCOMPARE(fixture.State().DriveLetter, AnsiString());
    QCOMPARE(form.Memo2->toPlainText(), QString("kept"));
    QCOMPARE(form.ScrollBar1->Position(), 7);
    QCOMPARE(form.Image1->Picture(), page);
  }

  void countBoxLooksLikeALabel() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    TMemo& memo = *form.Memo2;
    QCOMPARE(memo.frameShape(), QFrame::NoFrame);
    QCOMPARE(memo.palette().color(QPalette::Base), form.palette().color(QPalette::Button));
    QCOMPARE(memo.viewport()->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!memo.isReadOnly());
  }

  void fontsHaveATwelvePixelHeight() {
    WindowFixture fixture;
    TForm1& form = fixture.Form();
    const QStringList installed = QFontDatabase::families();
    struct Case {
      QFont font;
      QString design;
      QString fallback;
    };
    for (const Case& c : {Case{form.font(), "ＭＳ ゴシック", "IPAGothic"},
                          Case{PageFont(), "ＭＳ Ｐゴシック", "IPAPGothic"}}) {
      QCOMPARE(c.font.pixelSize(), 12);
      QCOMPARE(c.font.families().value(0), c.design);
      const QFontInfo used(c.font);
      if (!installed.contains(c.design) && installed.contains(c.fallback))
        QCOMPARE(used.family(), c.fallback);
    }
    // Every control uses the window's font.
    QCOMPARE(QFontInfo(form.Button1->font()).family(), QFontInfo(form.font()).family());
    QCOMPARE(form.RadioGroup2->Item(2)->font().pixelSize(), 12);
  }

  void tabOrderFollowsTheDesign() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    const QList<QWidget*> controls{form.Button1,    form.DriveComboBox1, form.Button2,
                                   form.Memo2,      form.ScrollBar1,     form.RadioGroup1,
                                   form.RadioGroup2};
    auto controlOf = [&](QWidget* w) -> QWidget* {
      for (QWidget* c : controls)
        if (w == c || c->isAncestorOf(w)) return c;
      return nullptr;
    };
    QList<QWidget*> order;
    QWidget* w = form.Button1;
    do {
      if (QWidget* c = controlOf(w);
          c && (w->focusPolicy() & Qt::TabFocus) && (order.isEmpty() || order.back() != c))
        order << c;
      w = w->nextInFocusChain();
    } while (w != form.Button1);
    QCOMPARE(order, controls);
    QCOMPARE(form.Image1->focusPolicy(), Qt::NoFocus);
  }

  void buttonsHaveMnemonicsAndNoDefault() {
    WindowFixture fixture;
    TForm1& form = fixture.Form();
    QCOMPARE(form.Button1->shortcut(), QKeySequence(Qt::ALT | Qt::Key_S));
    QCOMPARE(form.Button2->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
    for (QPushButton* button :
         {static_cast<QPushButton*>(form.Button1), static_cast<QPushButton*>(form.Button2)}) {
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    }
  }

  void smallWindowScrollsItsContents() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    form.resize(300, 200);
    QTRY_VERIFY(form.findChild<QScrollArea*>()->horizontalScrollBar()->maximum() > 0);
    auto* area = form.findChild<QScrollArea*>();
    QVERIFY(area->verticalScrollBar()->maximum() > 0);
    QCOMPARE(form.ScrollBar1->geometry(), QRect(632, 112, 17, 345));
    form.resize(900, 600);
    QTRY_COMPARE(area->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(form.Image1->geometry(), QRect(24, 112, 593, 345));
  }

  void saveDialogSettings() {
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    TSaveDialog& dialog = *form.SaveDialog1;
    QCOMPARE(dialog.DefaultExt, QString("txt"));
    QCOMPARE(dialog.FilterIndex, 1);
    QCOMPARE(dialog.NameFilters(), (QStringList{"ﾃｷｽﾄﾌｧｲﾙ (*.txt)", "すべてのﾌｧｲﾙ(*.*)"}));
    QCOMPARE(dialog.FileName(), std::string());

    QTemporaryDir current;
    QDir::setCurrent(current.path());
    QStringList filters;
    QString selected;
    QString folder;
    bool native = true;
    bool confirms = true;
    const auto seen = OnModal<QFileDialog>([&](QFileDialog* shown) {
      filters = shown->nameFilters();
      selected = shown->selectedNameFilter();
      folder = shown->directory().absolutePath();
      native = !shown->testOption(QFileDialog::DontUseNativeDialog);
      confirms = !shown->testOption(QFileDialog::DontConfirmOverwrite);
      QCOMPARE(shown->acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(shown->defaultSuffix(), QString("txt"));
      shown->reject();
    });
    dialog.SetInitialDir("");
    QVERIFY(!dialog.Execute());
    QVERIFY(seen->Done);
    QCOMPARE(filters, dialog.NameFilters());
    QCOMPARE(selected, filters.value(0));
    QCOMPARE(folder, QDir(current.path()).canonicalPath());
    QVERIFY(!native);
    QVERIFY(!confirms);
    QCOMPARE(dialog.FileName(), std::string());
  }
};

HDTREE_QTEST_MAIN(DesignTest)
#include "design_test.moc"
