// The many-programs dialog on its own, and the program page's service
// buttons (port search, many programs, the progress strip with Cancel and
// Escape) in the main window, offscreen, against a virtual controller.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MainForm.h"
#include "app/QtProgressStrip.h"
#include "app/QtRadioGroup.h"
#include "base/Settings.h"
#include "nc/MultipleNCForm.h"
#include "support/ModalDriver.h"
#include "ui/FileChoice.h"
#include "ui/QtFileBrowser.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

using controller::Fault;
using controller::Program;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class MultipleDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_multidlg_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "empty");
    catalog.load(ZAR_DATA_DIR, 1);
    files.Directory = dir.string();
    form = std::make_unique<TMultipleNCForm>(settings, files, catalog);
  }
  void TearDown() override {
    form.reset();
    fs::remove_all(dir);
  }
  QCheckBox* slot(int n) { return form->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(n)); }
  std::vector<int> checkedSlots() {
    std::vector<int> on;
    for (int n = 1; n <= 68; ++n)
      if (slot(n)->isChecked()) on.push_back(n);
    return on;
  }

  fs::path dir;
  Settings settings;
  FileChoice files;
  MessageCatalog catalog;
  std::unique_ptr<TMultipleNCForm> form;
};

TEST_F(MultipleDialogTest, ControlsAreThereAndOKWaitsForAMode) {
  for (const char* name : {"ModeSelect", "DriveComboBox1", "DirectoryListBox1", "FilterComboBox1", "FileListBox1",
                           "Panel1", "MoreChkBox0", "MoreChkBox1", "MoreChkBox2", "Label1", "FirstFilenameEdit",
                           "NewDir", "CheckListBox1", "SelAllBtn", "CancelSelBtn", "SelAllBtn2", "CancelSelBtn2",
                           "InquireChk", "OKBtn", "CancelBtn"})
    EXPECT_NE(form->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  for (int n = 1; n <= 68; ++n) ASSERT_NE(slot(n), nullptr) << n;
  EXPECT_EQ(slot(1)->text(), QStringLiteral("L01"));
  EXPECT_EQ(slot(59)->text(), QStringLiteral("L59"));
  EXPECT_EQ(slot(60)->text(), QStringLiteral("G60"));
  EXPECT_EQ(form->FirstFilenameEdit->maxLength(), 20);

  form->show();
  EXPECT_FALSE(form->OKBtn->isVisible());
  EXPECT_FALSE(form->OKBtn->isEnabled());
  EXPECT_EQ(form->ModeSelect->itemIndex(), -1);
  form->ModeSelect->item(0)->click();
  EXPECT_TRUE(form->OKBtn->isVisible() && form->OKBtn->isEnabled());
  EXPECT_TRUE(form->Panel1->isVisible() && form->FirstFilenameEdit->isVisible() && form->NewDir->isVisible());
  EXPECT_FALSE(form->CheckListBox1->isVisible() || form->InquireChk->isVisible());
  form->ModeSelect->item(1)->click();
  EXPECT_FALSE(form->Panel1->isVisible() || form->MoreChkBox0->isVisible() || form->Label1->isVisible());
  EXPECT_TRUE(form->CheckListBox1->isVisible() && form->InquireChk->isVisible() && form->SelAllBtn2->isVisible());
}

TEST_F(MultipleDialogTest, RangeSwitchesEnableTheirSlotsAndExcludeEachOther) {
  form->ModeSelect->item(0)->click();
  EXPECT_TRUE(slot(16)->isEnabled() && slot(60)->isEnabled() && slot(62)->isEnabled());
  EXPECT_FALSE(slot(17)->isEnabled() || slot(59)->isEnabled() || slot(63)->isEnabled());

  form->MoreChkBox0->click();  // L17-L32
  EXPECT_TRUE(slot(17)->isEnabled() && slot(32)->isEnabled());
  EXPECT_FALSE(slot(33)->isEnabled());
  slot(20)->setChecked(true);
  form->MoreChkBox1->click();  // L17-L59 while L17-L32 is ticked: taken back
  EXPECT_FALSE(form->MoreChkBox1->isChecked());
  EXPECT_FALSE(slot(33)->isEnabled());
  EXPECT_TRUE(slot(20)->isChecked());  // nothing else changed

  form->MoreChkBox2->click();
  form->SelAllBtn->click();
  std::vector<int> expected;
  for (int n = 1; n <= 32; ++n) expected.push_back(n);
  for (int n = 60; n <= 68; ++n) expected.push_back(n);
  EXPECT_EQ(checkedSlots(), expected);

  form->MoreChkBox0->click();  // off: its slots unchecked and disabled
  EXPECT_FALSE(slot(20)->isChecked() || slot(20)->isEnabled());
  form->MoreChkBox1->click();
  EXPECT_TRUE(form->MoreChkBox1->isChecked() && slot(59)->isEnabled());
  form->CancelSelBtn->click();
  EXPECT_TRUE(checkedSlots().empty());
}

TEST_F(MultipleDialogTest, ReadModeHandsOverSlotsPrefixAndTheChosenDirectory) {
  form->ModeSelect->item(0)->click();
  slot(3)->setChecked(true);
  slot(61)->setChecked(true);
  form->FirstFilenameEdit->setText(QStringLiteral("P"));
  form->showDirectory((dir / "empty").string());
  form->OKBtn->click();
  const nc::MultipleChoice& c = form->choice();
  EXPECT_TRUE(c.confirmed);
  EXPECT_EQ(c.mode, 0);
  EXPECT_EQ(c.count, 2);
  EXPECT_TRUE(c.chosenSlots[2] && c.chosenSlots[60]);
  EXPECT_EQ(c.prefix, "P");
  // A directory that lists no file is still the one chosen.
  EXPECT_EQ(c.directory, (dir / "empty").string() + "/");
}

TEST_F(MultipleDialogTest, WriteModeTakesCheckedFilesInOrderAndNotMoreThan68) {
  for (int i = 1; i <= 69; ++i) std::ofstream(dir / ("F" + std::to_string(100 + i) + ".nc")) << "1\r\n";
  form->showDirectory(dir.string());
  form->ModeSelect->item(1)->click();
  ASSERT_EQ(form->CheckListBox1->count(), 69);
  form->SelAllBtn2->click();
  form->OKBtn->click();
  EXPECT_FALSE(form->choice().confirmed);  // 69 files start nothing
  EXPECT_EQ(form->choice().count, 0);

  form = std::make_unique<TMultipleNCForm>(settings, files, catalog);
  form->showDirectory(dir.string());
  form->ModeSelect->item(1)->click();
  form->CheckListBox1->item(4)->setCheckState(Qt::Checked);
  form->CheckListBox1->item(1)->setCheckState(Qt::Checked);
  form->OKBtn->click();
  EXPECT_TRUE(form->choice().confirmed);
  EXPECT_EQ(form->choice().files, (std::vector<std::string>{"F102.nc", "F105.nc"}));

  // A directory with nothing in it empties the list.
  form = std::make_unique<TMultipleNCForm>(settings, files, catalog);
  form->showDirectory(dir.string());
  ASSERT_GT(form->CheckListBox1->count(), 0);
  form->showDirectory((dir / "empty").string());
  EXPECT_EQ(form->CheckListBox1->count(), 0);
}

TEST_F(MultipleDialogTest, InquireOptionChangesAtOnceAndCancelConfirmsNothing) {
  EXPECT_TRUE(form->InquireChk->isChecked());
  form->ModeSelect->item(1)->click();
  form->InquireChk->click();
  EXPECT_FALSE(settings.multipleConfirm);
  form->CancelBtn->click();
  EXPECT_FALSE(form->choice().confirmed);
  EXPECT_FALSE(settings.multipleConfirm);  // kept, though the dialog was cancelled
}

// ---------------------------------------------------------------- in the window

class ServiceButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_service_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "backup");
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    ASSERT_TRUE(ctrl.start());
    form = std::make_unique<TMainForm>(MainFormOptions{dir.string(), 1, {}});
    Settings& s = form->settings();
    s.timeOut = 200;
    s.transitMode = 1;
    s.byteDelay = 0;
    s.reconnectDelay = 5;
    form->setDialogAnswerer([this](std::string_view text, DialogType, const std::vector<ButtonKind>&, int) {
      dialogs.emplace_back(text);
      return mrOk;
    });
  }
  void TearDown() override {
    form.reset();
    ctrl.stop();
    fs::remove_all(dir);
  }
  fs::path dir;
  controller::VirtualController ctrl;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> dialogs;
};

TEST_F(ServiceButtonsTest, PortSearchSetsPortTypeModelAndVersion) {
  TMainForm& f = *form;
  controller::ControllerConfig c;
  ctrl.stop();
  controller::VirtualController k300([] {
    controller::ControllerConfig config;
    config.modelAnswer = "K-300\r\n";
    config.versionAnswer = "V1.05M\r\n";
    return config;
  }());
  ASSERT_TRUE(k300.start());
  // COM1 leads nowhere, COM2 to the controller.
  f.portDirectory().overrideDevice(1, (dir / "no-such-device").string());
  f.portDirectory().overrideDevice(2, k300.devicePath());
  f.COM_Select->setCurrentIndex(4);
  f.AutoDetectBtn->show();
  f.AutoDetectBtn->click();
  EXPECT_EQ(f.COM_Select->currentIndex(), 1);
  EXPECT_EQ(f.TypeSel->itemIndex(), 1);
  EXPECT_EQ(f.ModelIndex, 5);
  EXPECT_EQ(f.VersionIndex, 1);  // a K model answer forces K
  EXPECT_TRUE(f.ZAR300RadioButton->isChecked());
  EXPECT_TRUE(f.VerKRadioBtn->isChecked());
  ASSERT_EQ(dialogs.size(), 1u);  // message 55 only
  EXPECT_TRUE(f.MsgMemo->toPlainText().contains(QStringLiteral("K-300")));
  EXPECT_FALSE(f.CommPort.Enabled());
  k300.stop();
}

TEST_F(ServiceButtonsTest, ManyProgramsReadIntoTheChosenDirectory) {
  TMainForm& f = *form;
  f.portDirectory().overrideDevice(2, ctrl.devicePath());
  f.COM_Select->setCurrentIndex(1);
  f.fileChoice().Directory = (dir / "backup").string();
  ctrl.setProgram(3, Program{"THREE", {"G00 X1", "", "M30"}});
  ctrl.setProgram(61, Program{"SIXTY1", {"G01 Y2"}});
  test::whenModalShown([](QWidget* modal) {
    auto* form = qobject_cast<TMultipleNCForm*>(modal);
    ASSERT_NE(form, nullptr);
    form->ModeSelect->item(0)->click();
    form->findChild<QCheckBox*>(QStringLiteral("CheckBox3"))->setChecked(true);
    form->findChild<QCheckBox*>(QStringLiteral("CheckBox61"))->setChecked(true);
    form->FirstFilenameEdit->setText(QStringLiteral("P"));
    form->OKBtn->click();
  });
  f.MultipleBtn->show();
  f.MultipleBtn->click();
  EXPECT_FALSE(f.MultipleBtn->isVisible());
  EXPECT_EQ(slurp(dir / "backup" / "PL03.NC"), "3\r\nTHREE\r\nN1 G00 X1\r\nN3 M30\r\n");
  EXPECT_EQ(slurp(dir / "backup" / "PG61.NC"), "61\r\nSIXTY1\r\nN1 G01 Y2\r\n");
  EXPECT_EQ(f.ProgNoEdit->value(), 61);
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("SIXTY1"));
  EXPECT_TRUE(f.FileNameLabel->text().endsWith(QStringLiteral("PG61.NC")));
  EXPECT_EQ(f.fileChoice().CurrentFileName, (dir / "backup").string() + "/");
  EXPECT_FALSE(f.CommPort.Enabled());
}

TEST_F(ServiceButtonsTest, ProgressStripFollowsASendAndEscapeStopsIt) {
  TMainForm& f = *form;
  f.portDirectory().overrideDevice(2, ctrl.devicePath());
  f.COM_Select->setCurrentIndex(1);
  QString program;
  for (int i = 1; i <= 40; ++i) program += QStringLiteral("G01 X%1\n").arg(i);
  f.ProgramMemo->setPlainText(program);
  f.ProgNoEdit->setValue(7);
  ctrl.addFault(Fault::delay("store.line:10", 150));
  f.link().progress().setNotifyInterval(std::chrono::milliseconds(0));
  QtProgressStrip* strip = f.progressStrip();
  ASSERT_NE(strip, nullptr);
  bool shown = false;
  int value = -1;
  QString estimate;
  auto* poll = new QTimer(&f);
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, &f, [&] {
    if (!f.MsgMemo->toPlainText().contains(QStringLiteral("\nN10 "))) return;
    poll->stop();
    shown = strip->isVisible();
    value = strip->TransferProgress->value();
    estimate = strip->TransferEstimate->text();
    f.activateWindow();
    QTest::keyClick(&f, Qt::Key_Escape);
    QApplication::processEvents();
  });
  f.show();
  poll->start();
  f.TransBtn->click();
  EXPECT_TRUE(shown);
  EXPECT_GT(value, 150);  // 9 of 40 lines: about 225 of 1000
  EXPECT_LT(value, 300);
  EXPECT_TRUE(estimate.startsWith(QStringLiteral("9/40 lines"))) << estimate.toStdString();
  EXPECT_TRUE(f.MsgMemo->toPlainText().contains(QStringLiteral("Cancelled.")));
  EXPECT_FALSE(f.MsgMemo->toPlainText().contains(QStringLiteral("\nN11 ")));
  EXPECT_FALSE(f.CommPort.Enabled());
  EXPECT_FALSE(strip->isVisible());
}

}  // namespace
}  // namespace zar
