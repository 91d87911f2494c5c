// The open, save and new-directory dialogs, driven offscreen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "support/ModalDriver.h"
#include "ui/MessageForm.h"
#include "ui/NewDirForm.h"
#include "ui/OpenFileForm.h"
#include "ui/QtFileBrowser.h"
#include "ui/QtText.h"
#include "ui/SaveFileForm.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using test::pressKey;
using test::whenModalShown;

class FileChooserForms : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zar-chooser-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    for (const char* name : {"PROG.nc", "OLD.NC", "SHORT.ncd", "LADDER.pmc", "notes.txt"})
      std::ofstream(dir + "/" + name) << "x\n";
    fs::create_directory(dir + "/SUB");
    std::ofstream(dir + "/SUB/INNER.nc") << "x\n";
    ASSERT_TRUE(english.load(ZAR_DATA_DIR, 1));
    ASSERT_TRUE(chinese.load(ZAR_DATA_DIR, 0));
    state.Directory = dir;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  static QStringList items(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text().trimmed();
    return names;
  }

  std::string dir;
  MessageCatalog english, chinese;
  FileChoice state;
};

TEST_F(FileChooserForms, OpenDialogControlsAndCaptionsInBothLanguages) {
  TOpenFileForm form(Page::Plc, state, english);
  for (const char* name : {"Label1", "FileEdit", "FileListBox1", "DirectoryListBox1", "DriveComboBox1",
                           "FilterComboBox1", "OpenOKBtn", "OpenCloseBtn"})
    EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
  EXPECT_EQ(form.windowTitle(), "Open File");
  EXPECT_EQ(form.Label1->text(), "File name: ");
  EXPECT_EQ(form.OpenOKBtn->text(), "OK");
  EXPECT_EQ(form.FileEdit->text(), "*.*");
  EXPECT_EQ(form.browser()->FilterComboBox1->count(), 4);  // the open dialog offers PLM files
  EXPECT_EQ(form.browser()->DriveComboBox1->itemText(form.browser()->DriveComboBox1->currentIndex()), "/");

  TSaveFileForm save(Page::Plc, state, chinese);
  EXPECT_NE(save.findChild<QToolButton*>("NewDir"), nullptr);
  EXPECT_EQ(save.windowTitle(), QString::fromUtf8("儲存檔案"));
  EXPECT_EQ(save.SaveCloseBtn->text(), QString::fromUtf8("取消"));
  EXPECT_EQ(save.NewDir->toolTip(), QString::fromUtf8("建立新目錄"));
  EXPECT_EQ(save.browser()->FilterComboBox1->count(), 3);  // no PLM entry when saving
  EXPECT_EQ(save.FileEdit->text(), "TMP");
}

TEST_F(FileChooserForms, OpenListsByFilterPicksAFileAndBuildsThePath) {
  TOpenFileForm form(Page::Program, state, english);
  QListWidget* files = form.browser()->FileListBox1;
  EXPECT_EQ(items(files), (QStringList{"OLD.NC", "PROG.nc"}));
  form.browser()->FilterComboBox1->setCurrentIndex(1);
  EXPECT_EQ(items(files), (QStringList{"SHORT.ncd"}));

  pressKey(files, Qt::Key_Down);  // an arrow key picks
  EXPECT_EQ(form.FileEdit->text(), "SHORT.ncd");
  form.FileEdit->setText("PART");
  form.OpenOKBtnClick();
  EXPECT_TRUE(state.FileDialogConfirmed);
  EXPECT_EQ(state.CurrentFileName, dir + "/PART.ncd");
  EXPECT_EQ(state.lastFileName(Page::Program), "PART");
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(FileChooserForms, TabbingIntoTheFileListKeepsTheTypedNameUntilAFileIsPicked) {
  TSaveFileForm form(Page::Program, state, english);
  QListWidget* files = form.browser()->FileListBox1;
  form.FileEdit->setText("NEWPART");
  // Tab gives the list the focus, and the list makes its first entry current.
  QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(files->viewport(), &tabIn);
  QApplication::sendEvent(files, &tabIn);
  EXPECT_EQ(files->currentRow(), 0);
  EXPECT_EQ(form.FileEdit->text(), "NEWPART");
  // Enter there confirms the typed name, not the entry the list chose.
  pressKey(files, Qt::Key_Return);
  EXPECT_TRUE(state.FileDialogConfirmed);
  EXPECT_EQ(state.CurrentFileName, dir + "/NEWPART.nc");

  TSaveFileForm again(Page::Program, state, english);
  files = again.browser()->FileListBox1;
  again.FileEdit->setText("NEWPART");
  files->setCurrentRow(1);  // moved by the program, not by the operator
  EXPECT_EQ(again.FileEdit->text(), "NEWPART");
  pressKey(files, Qt::Key_Up);
  EXPECT_EQ(again.FileEdit->text(), "OLD.NC");
  emit files->itemClicked(files->item(1));
  EXPECT_EQ(again.FileEdit->text(), "PROG.nc");
  pressKey(files, Qt::Key_Return);  // Enter on the picked file opens it
  EXPECT_EQ(state.CurrentFileName, dir + "/PROG.nc");
}

TEST_F(FileChooserForms, DirectoryListNavigatesAndTheNextChooserStartsThere) {
  TOpenFileForm form(Page::Program, state, english);
  QListWidget* dirs = form.browser()->DirectoryListBox1;
  const auto sub = dirs->findItems("SUB", Qt::MatchEndsWith);
  ASSERT_EQ(sub.size(), 1);
  dirs->setCurrentItem(sub.front());
  pressKey(dirs, Qt::Key_Return);  // opens the directory, and does not press OK as well
  EXPECT_EQ(form.browser()->directory(), dir + "/SUB");
  EXPECT_FALSE(state.FileDialogConfirmed);
  EXPECT_EQ(items(form.browser()->FileListBox1), (QStringList{"INNER.nc"}));
  // Going up again through the chain of parents.
  const auto up = dirs->findItems(QString::fromStdString(fs::path(dir).filename().string()), Qt::MatchEndsWith);
  ASSERT_FALSE(up.empty());
  emit dirs->itemActivated(up.front());
  EXPECT_EQ(form.browser()->directory(), dir);

  emit dirs->itemActivated(dirs->findItems("SUB", Qt::MatchEndsWith).front());
  form.OpenCloseBtnClick();
  EXPECT_FALSE(state.FileDialogConfirmed);
  EXPECT_EQ(state.Directory, dir + "/SUB");
}

TEST_F(FileChooserForms, ChooseFunctionsClearTheFlagAndEscapeCancels) {
  state.FileDialogConfirmed = true;
  whenModalShown([](QWidget* w) { pressKey(w, Qt::Key_Escape); });
  EXPECT_FALSE(chooseOpenFile(nullptr, Page::Parameter, state, english));
  EXPECT_FALSE(state.FileDialogConfirmed);

  whenModalShown([](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("FileEdit");
    edit->setText("SET1");
    pressKey(edit, Qt::Key_Return);  // Enter presses OK
  });
  ASSERT_TRUE(chooseSaveFile(nullptr, Page::Parameter, state, english));
  EXPECT_EQ(state.CurrentFileName, dir + "/SET1.par");

  // An empty name in the save dialog acts as Close.
  whenModalShown([](QWidget* w) {
    w->findChild<QLineEdit*>("FileEdit")->clear();
    w->findChild<QPushButton*>("SaveOKBtn")->click();
  });
  EXPECT_FALSE(chooseSaveFile(nullptr, Page::Parameter, state, english));
  EXPECT_EQ(state.lastFileName(Page::Parameter), "SET1");
}

TEST_F(FileChooserForms, SaveProposesTheRememberedNameAgainAfterAChangeOfPlace) {
  state.lastFileName(Page::Plc) = "B.PMC";
  TSaveFileForm form(Page::Plc, state, english);
  EXPECT_EQ(form.FileEdit->text(), "B.PMC");
  form.FileEdit->setText("typed");
  form.browser()->FilterComboBox1->setCurrentIndex(1);
  EXPECT_EQ(form.FileEdit->text(), "B.PMC");
  EXPECT_EQ(form.browser()->FilterComboBox1->currentIndex(), 1);  // the chosen type stays
  form.FileEdit->setText("IMAGE");
  form.SaveOKBtnClick();
  EXPECT_EQ(state.CurrentFileName, dir + "/IMAGE.mcn");
  EXPECT_EQ(state.lastFileName(Page::Plc), "IMAGE");
}

TEST_F(FileChooserForms, NewDirectoryIsMadeOrTheErrorShownAndTheDialogStays) {
  std::string newDirPath = dir;
  TNewDirForm form(newDirPath, english);
  EXPECT_EQ(form.NowDir->toolTip(), QString::fromStdString(dir));
  EXPECT_EQ(form.windowTitle(), "New folder");

  // "SUB" exists: beep, the error dialog with message 184, and the form stays.
  QString shownError;
  whenModalShown([&shownError](QWidget* w) {
    shownError = w->findChild<QLabel*>("Message")->text();
    w->findChild<QPushButton*>("OK")->click();
  });
  form.NewDirEdit->setText("SUB");
  pressKey(form.NewDirEdit, Qt::Key_Return);
  EXPECT_EQ(shownError, catalogText(english, 184));
  EXPECT_EQ(newDirPath, dir);
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.NewDirEdit->text(), "SUB");  // the Enter key itself went nowhere

  form.NewDirEdit->setText("JOBS");
  form.ConfirmBtnClick();
  EXPECT_EQ(newDirPath, dir + "/JOBS");
  EXPECT_TRUE(fs::is_directory(dir + "/JOBS"));
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(FileChooserForms, SaveDialogNewDirShowsTheNewDirectory) {
  TSaveFileForm form(Page::Program, state, english);
  whenModalShown([](QWidget* w) {
    w->findChild<QLineEdit*>("NewDirEdit")->setText("MADE");
    w->findChild<QPushButton*>("ConfirmBtn")->click();
  });
  form.NewDirClick();
  EXPECT_EQ(state.NewDirPath, dir + "/MADE");
  EXPECT_EQ(form.browser()->directory(), dir + "/MADE");

  whenModalShown([](QWidget* w) { w->findChild<QPushButton*>("CancelBtn")->click(); });
  form.NewDirClick();
  EXPECT_EQ(form.browser()->directory(), dir + "/MADE");  // cancelled: stays where it was
}

}  // namespace
}  // namespace zar
