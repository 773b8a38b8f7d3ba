// Writes a picture of the window after a run, for people to look at.
#include <QDir>

#include "window_fixture.h"

using namespace hdtree;
using namespace hdtree::testing;

class ScreenshotTest : public QObject {
  Q_OBJECT

 private slots:
  void windowAfterARun() {
    WindowFixture fixture;
    fixture.MakeFolders(
        'e', {"Documents/報告書/2024年", "Documents/見積書", "写真/旅行/京都", "写真/家族",
              "Music/クラシック", "Projects/hdtree/src", "Projects/hdtree/tests", "ソフトウェア"});
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Memo2->Lines().Count(), 1);

    const QString folder = QStringLiteral(HDTREE_SCREENSHOT_DIR);
    QVERIFY(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(QStringLiteral("hdtree-window.png"));
    QVERIFY(form.grab().save(path, "PNG"));
    qInfo("screenshot: %s", qPrintable(path));
  }
};

HDTREE_QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
