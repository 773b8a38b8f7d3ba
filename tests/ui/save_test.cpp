// Saving from the window: automatic, chosen in the save dialog, none, and a save that fails.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "hdtree/report/report.h"
#include "window_fixture.h"

using namespace hdtree;
using namespace hdtree::testing;

namespace {

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Answers the next save dialog: types a name and presses Enter, or cancels when the name is
// empty. What the dialog offered is kept.
struct DialogAnswer {
  QString Offered;        // the file name in the dialog's name field
  QString OfferedFolder;  // the folder it opened in
};

std::unique_ptr<ModalWatch> AnswerSaveDialog(const QString& name, DialogAnswer& seen) {
  return OnModal<QFileDialog>([name, &seen](QFileDialog* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    seen.Offered = edit->text();
    seen.OfferedFolder = dialog->directory().absolutePath();
    if (name.isEmpty()) {
      dialog->reject();
      return;
    }
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
    if (dialog->isVisible()) static_cast<QDialog*>(dialog)->accept();
  });
}

}  // namespace

class SaveTest : public QObject {
  Q_OBJECT

 private slots:
  void automaticSaveNamesTheReportByListMode_data() {
    QTest::addColumn<int>("listMode");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("other");
    QTest::newRow("folders only") << kListFoldersOnly << "TreeFol.txt"
                                  << "TreeAll.txt";
    QTest::newRow("all files") << kListAllFiles << "TreeAll.txt"
                               << "TreeFol.txt";
  }

  void automaticSaveNamesTheReportByListMode() {
    QFETCH(int, listMode);
    QFETCH(QString, written);
    QFETCH(QString, other);
    WindowFixture fixture;
    fixture.MakeFolders('e', {"Docs/Old", "Tree"});
    fixture.MakeFile('e', "Docs/note.txt", "hello");
    fixture.MakeFile('e', "Tree/" + other, "kept");
    TForm1& form = fixture.Shown();
    form.RadioGroup1->SetItemIndex(listMode);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    const QDir tree(QDir(fixture.Root('e')).filePath("Tree"));
    QCOMPARE(FileBytes(tree.filePath(written)),
             QByteArray::fromStdString(ReportBytes(fixture.State())));
    QVERIFY(FileBytes(tree.filePath(written)).startsWith("e:\r\n "));
    QCOMPARE(FileBytes(tree.filePath(other)), QByteArray("kept"));
  }

  void chosenSaveWritesTheFileTypedInTheDialog() {
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A", "B"});
    QTemporaryDir out;
    const QString outDir = QDir(out.path()).canonicalPath();
    QDir::setCurrent(outDir);
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveChosen);

    // A bare name gets .txt; the dialog opens in the current directory.
    DialogAnswer first;
    auto answered = AnswerSaveDialog("mytree", first);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(answered->Done);
    QCOMPARE(first.OfferedFolder, outDir);
    QCOMPARE(first.Offered, QString());
    const QString chosen = QDir(outDir).filePath("mytree.txt");
    QCOMPARE(QString::fromStdString(form.SaveDialog1->FileName()), chosen);
    QCOMPARE(FileBytes(chosen), QByteArray::fromStdString(ReportBytes(fixture.State())));
    QVERIFY(!QDir(fixture.Root('e')).exists("Tree"));
    QCOMPARE(Entries(outDir), QStringList{"mytree.txt"});

    // The next chosen save offers the same file again and replaces it without a question.
    fixture.MakeFolders('e', {"C"});
    DialogAnswer second;
    answered = AnswerSaveDialog("mytree.txt", second);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(answered->Done);
    QCOMPARE(second.Offered, QString("mytree.txt"));
    QCOMPARE(second.OfferedFolder, outDir);
    QCOMPARE(FileBytes(chosen), QByteArray::fromStdString(ReportBytes(fixture.State())));
    QVERIFY(FileBytes(chosen).contains("C <Folder>"));

    // A cancel writes nothing and keeps the file name.
    const QByteArray before = FileBytes(chosen);
    fixture.MakeFolders('e', {"D"});
    DialogAnswer third;
    answered = AnswerSaveDialog(QString(), third);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(answered->Done);
    QCOMPARE(QString::fromStdString(form.SaveDialog1->FileName()), chosen);
    QCOMPARE(FileBytes(chosen), before);
    QCOMPARE(Entries(outDir), QStringList{"mytree.txt"});
    QCOMPARE(form.Memo2->Lines().Count(), 3);
    // The dialog kept no settings of its own.
    QCOMPARE(Entries(QStringLiteral(HDTREE_TEST_CONFIG_HOME)), QStringList());
  }

  void noSaveShowsNoDialogAndWritesNothing() {
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A"});
    TForm1& form = fixture.Shown();
    form.RadioGroup2->SetItemIndex(kSaveNone);
    const QString cwd = QDir::currentPath();
    DialogAnswer seen;
    const auto answered = AnswerSaveDialog(QString(), seen);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QTest::qWait(50);
    QVERIFY(!answered->Done);
    QCOMPARE(Entries(fixture.Root('e')), QStringList{"A"});
    QCOMPARE(QDir::currentPath(), cwd);
    QCOMPARE(fixture.State().ReportFileName, AnsiString());
    QCOMPARE(form.Memo2->Lines().Count(), 1);
  }

  void failedSaveIsShownAndTheWindowStaysUsable() {
    WindowFixture fixture;
    fixture.MakeFolders('e', {"A"});
    // A file where the report folder should be: neither the folder nor the report can be made.
    fixture.MakeFile('e', "Tree", "in the way");
    TForm1& form = fixture.Shown();
    ShownMessage shown;
    const auto closed = CloseNextMessageBox(shown);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QVERIFY(closed->Done);
    QCOMPARE(shown.Title, WindowTitle());
    QCOMPARE(shown.Icon, int(QMessageBox::Critical));
    QCOMPARE(shown.Buttons, int(QMessageBox::Ok));
    QVERIFY2(shown.Text.contains("TreeFol.txt"), qPrintable(shown.Text));
    QVERIFY(shown.Text.endsWith('.'));
    QCOMPARE(FileBytes(QDir(fixture.Root('e')).filePath("Tree")), QByteArray("in the way"));
    // The listing on screen is that of the run; the cursor is normal again.
    QCOMPARE(form.Memo2->Lines().Count(), 1);
    QVERIFY(!form.Button1->testAttribute(Qt::WA_SetCursor));
    QVERIFY(form.isVisible());

    // Once the way is clear the next run saves.
    QVERIFY(QFile::remove(QDir(fixture.Root('e')).filePath("Tree")));
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    QCOMPARE(form.Memo2->Lines().Count(), 2);
    QCOMPARE(FileBytes(QDir(fixture.Root('e')).filePath("Tree/TreeFol.txt")),
             QByteArray::fromStdString(ReportBytes(fixture.State())));
  }
};

HDTREE_QTEST_MAIN(SaveTest)
#include "save_test.moc"
