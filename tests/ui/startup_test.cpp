// The program's life: start-up, closing, and exceptions shown in the exception display.
#include <QMessageBox>
#include <stdexcept>

#include "window_fixture.h"

using namespace hdtree;
using namespace hdtree::testing;

namespace {

// An object whose handling of any posted event throws, as a faulty handler would.
class ThrowingObject : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("event failed");
    return QObject::event(e);
  }
};

QList<TForm1*> VisibleMainWindows() {
  QList<TForm1*> found;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* form = qobject_cast<TForm1*>(w); form && form->isVisible()) found << form;
  }
  return found;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void closeKeysAndButton_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc on the start button") << "esc-button1";
    QTest::newRow("Esc on the close button") << "esc-button2";
    QTest::newRow("Esc on the count box") << "esc-memo";
    QTest::newRow("Alt+C") << "alt-c";
    QTest::newRow("click") << "click";
    QTest::newRow("Enter on the close button") << "enter-button2";
  }

  void closeKeysAndButton() {
    QFETCH(QString, how);
    WindowFixture fixture;
    TForm1& form = fixture.Shown();
    auto focus = [](QWidget* w) {
      w->setFocus();
      QTRY_VERIFY(w->hasFocus());
    };
    if (how == "esc-button1" || how == "esc-button2" || how == "esc-memo") {
      QWidget* target = how == "esc-button1"   ? static_cast<QWidget*>(form.Button1)
                        : how == "esc-button2" ? static_cast<QWidget*>(form.Button2)
                                               : static_cast<QWidget*>(form.Memo2);
      focus(target);
      QTest::keyClick(target, Qt::Key_Escape);
    } else if (how == "alt-c") {
      QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    } else if (how == "click") {
      QTest::mouseClick(form.Button2, Qt::LeftButton);
    } else {
      focus(form.Button2);
      QTest::keyClick(form.Button2, Qt::Key_Return);
    }
    QTRY_VERIFY(!form.isVisible());
    // Closing lists nothing and writes nothing.
    QCOMPARE(form.Memo2->Lines().Count(), 0);
    QVERIFY(QDir(fixture.Root('e')).isEmpty());
  }

  void exceptionInARunIsShownAndTheWindowStaysOpen_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "date out of range"
                           << "date out of range.";
    QTest::newRow("already with a full stop") << "stopped."
                                              << "stopped..";
  }

  void exceptionInARunIsShownAndTheWindowStaysOpen() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A/B"});
    TForm1& form = fixture.Shown();
    QList<Qt::CursorShape> cursorWhenThrown;
    fixture.Search().OnFindFirst = [&](const AnsiString& path) {
      if (path.find("\\A\\") == AnsiString::npos) return;
      cursorWhenThrown << form.Button1->cursor().shape();
      throw std::runtime_error(message.toStdString());
    };
    ShownMessage seen;
    const auto closed = CloseNextMessageBox(seen);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(closed->Done);
    QCOMPARE(seen.Text, shown);
    QCOMPARE(seen.Title, WindowTitle());
    QCOMPARE(seen.Icon, int(QMessageBox::Critical));
    QCOMPARE(seen.Buttons, int(QMessageBox::Ok));
    QCOMPARE(cursorWhenThrown, QList<Qt::CursorShape>{Qt::WaitCursor});

    // The window is open and usable, the cursor normal, no count line, no report.
    QVERIFY(form.isVisible());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!form.Button1->testAttribute(Qt::WA_SetCursor));
    QVERIFY(!form.Image1->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(form.Memo2->Lines().Count(), 0);
    QVERIFY(!QDir(fixture.Root('e')).exists("Tree"));
    fixture.Search().OnFindFirst = nullptr;
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Memo2->Lines().Count(), 1);
  }

  void exceptionEscapingAnyEventIsShown() {
    ThrowingObject faulty;
    ShownMessage seen;
    const auto closed = CloseNextMessageBox(seen);
    QCoreApplication::postEvent(&faulty, new QEvent(QEvent::User));
    QTRY_VERIFY(closed->Done);
    QCOMPARE(seen.Text, QString("event failed."));
    QCOMPARE(seen.Title, WindowTitle());
  }

  void failedCreationIsShownOnceAndEndsTheProgram() {
    WindowFixture fixture;
    ShownMessage seen;
    const auto closed = CloseNextMessageBox(seen);
    QPointer<TForm1> made;
    const int code = RunMainWindow([&] {
      auto form =
          std::make_unique<TForm1>(FormServices{fixture.State(), fixture.Drives(), fixture.Search(),
                                                fixture.Files(), [&]() -> AnsiString {
                                                  // Form1 already refers to the window being made.
                                                  made = Form1;
                                                  throw std::runtime_error("no current directory");
                                                }});
      return form;
    });
    QCOMPARE(code, 0);
    QVERIFY(closed->Done);
    QCOMPARE(seen.Text, QString("no current directory."));
    QCOMPARE(Form1, nullptr);
    QVERIFY(made.isNull());  // it was being made, and is gone
    QVERIFY(VisibleMainWindows().isEmpty());
    // No second display follows.
    ShownMessage again;
    const auto more = CloseNextMessageBox(again);
    QTest::qWait(100);
    QVERIFY(!more->Done);
  }

  void programRunsUntilTheWindowIsClosed() {
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A"});
    bool wasOpen = false;
    AnsiString announced;
    QTimer::singleShot(0, [&] {
      wasOpen = Form1 && Form1->isVisible();
      announced = fixture.State().DriveLetter;
      if (Form1) Form1->Button2->click();
    });
    const int code = RunMainWindow([&] {
      return std::make_unique<TForm1>(FormServices{fixture.State(), fixture.Drives(),
                                                   fixture.Search(), fixture.Files(),
                                                   [] { return AnsiString("E:\\"); }});
    });
    QCOMPARE(code, 0);
    QVERIFY(wasOpen);
    QCOMPARE(announced, AnsiString("e"));
    QCOMPARE(Form1, nullptr);
  }
};

HDTREE_QTEST_MAIN(StartupTest)
#include "startup_test.moc"
