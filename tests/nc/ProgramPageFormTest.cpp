// The program page's transfer and file buttons in the main window, offscreen,
// against a virtual controller behind COM2; the test answers the dialogs.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/MainForm.h"
#include "support/ModalDriver.h"
#include "ui/OpenFileForm.h"
#include "ui/SaveFileForm.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

using controller::Fault;
using controller::Program;

class ProgramPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("zar_progpage_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.E", dir / "Message.E");
    ASSERT_TRUE(ctrl.start());
    form = std::make_unique<TMainForm>(MainFormOptions{dir.string(), 1, {}});
    form->portDirectory().overrideDevice(2, ctrl.devicePath());
    form->COM_Select->setCurrentIndex(1);
    Settings& s = form->settings();
    s.timeOut = 200;
    s.transitMode = 1;
    s.byteDelay = 0;
    s.reconnectDelay = 5;
    form->setDialogAnswerer([this](std::string_view text, DialogType, const std::vector<ButtonKind>&, int) {
      questions.emplace_back(text);
      buttonsEnabledInDialogue.push_back(anyTransferButtonEnabled());
      return answer;
    });
  }
  void TearDown() override {
    form.reset();
    ctrl.stop();
    fs::remove_all(dir);
  }

  bool anyTransferButtonEnabled() const {
    for (QPushButton* b : form->transferButtons())
      if (b->isEnabled()) return true;
    return false;
  }
  QString messages() const { return form->MsgMemo->toPlainText(); }
  QString text(int id) const { return form->toQt(form->GetMessageText(id)); }

  fs::path dir;
  controller::VirtualController ctrl;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> questions;
  std::vector<bool> buttonsEnabledInDialogue;
  int answer = mrOk;
};

TEST_F(ProgramPageTest, SendReceiveDeleteThroughTheButtons) {
  TMainForm& f = *form;
  ctrl.setProgram(5, {"OLD", {"X1"}});
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X0\n\nM30\n"));
  f.ProgNoEdit->setValue(5);
  f.ProgNameEdit->setText(QStringLiteral("NEW"));

  f.TransBtn->click();
  EXPECT_EQ(ctrl.program(5), (Program{"NEW", {"G00 X0", "", "M30"}}));
  EXPECT_EQ(f.TmpProgNameEdit->text(), QStringLiteral("OLD"));
  ASSERT_EQ(questions.size(), 2u);  // send, then delete the held program first
  EXPECT_TRUE(QString::fromStdString(questions[1]).startsWith(text(130)));
  EXPECT_TRUE(messages().contains(QStringLiteral("\nN2 \n")));
  EXPECT_TRUE(messages().contains(text(106)));
  EXPECT_FALSE(f.CommPort.Enabled());

  f.ProgramMemo->setPlainText(QStringLiteral("to be replaced"));
  f.ProgNameEdit->clear();
  f.RcvBtn->click();
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G00 X0\n\nM30"));
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("NEW"));
  EXPECT_EQ(f.ProgramMemo->textCursor().position(), 0);

  f.ProgNameEdit->clear();
  f.DelProgBtn->click();
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("NEW"));
  EXPECT_FALSE(ctrl.program(5));
  EXPECT_TRUE(messages().endsWith(text(128) + QLatin1Char('\n') + text(107)));

  // Every question came while the transfer buttons of all pages were off;
  // they are back on now.
  EXPECT_EQ(buttonsEnabledInDialogue, std::vector<bool>(questions.size(), false));
  EXPECT_TRUE(f.TransBtn->isEnabled() && f.ParTrnBtn->isEnabled() && f.PLMRcvBtn->isEnabled());

  // Declined: nothing goes on the line.
  answer = mrCancel;
  ctrl.clearTraffic();
  f.TransBtn->click();
  EXPECT_TRUE(ctrl.traffic().empty());
}

TEST_F(ProgramPageTest, WindowStaysLiveAndTakesNoSecondDialogueWhileWaiting) {
  TMainForm& f = *form;
  f.settings().timeOut = 1000;
  ctrl.addFault(Fault::noReply("list"));
  f.ProgramMemo->setPlainText(QStringLiteral("X1"));

  QElapsedTimer clock;
  qint64 last = 0, longestGap = 0;
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (ticks++ > 0) longestGap = std::max(longestGap, now - last);
    last = now;
  });
  bool secondStarted = true;
  QTimer::singleShot(300, [&] {
    const size_t before = questions.size();
    f.TransBtnClick();  // the button is off; even a direct call must not start a second dialogue
    f.RcvBtnClick();
    secondStarted = questions.size() != before;
  });
  clock.start();
  ticker.start(10);
  f.TransBtn->click();
  ticker.stop();

  EXPECT_FALSE(secondStarted);
  EXPECT_GE(clock.elapsed(), 1000);
  EXPECT_GT(ticks, 30);
  EXPECT_LT(longestGap, 150);  // generous: the machine may be busy
  EXPECT_TRUE(messages().contains(text(103)));
  EXPECT_FALSE(f.CommPort.Enabled());
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("X1"));
  EXPECT_TRUE(f.TransBtn->isEnabled());
}

TEST_F(ProgramPageTest, WriteAndReadAFileThroughTheChoosers) {
  TMainForm& f = *form;
  f.fileChoice().Directory = dir.string();
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X0\n\nM30"));
  f.ProgNoEdit->setValue(12);
  f.ProgNameEdit->setText(QStringLiteral("PART"));

  test::whenModalShown([](QWidget* modal) {
    auto* save = qobject_cast<TSaveFileForm*>(modal);
    ASSERT_NE(save, nullptr);
    save->FileEdit->setText(QStringLiteral("part"));
    save->SaveOKBtn->click();
  });
  f.WriteFileBtn->click();
  const fs::path file = dir / "part.nc";
  std::ifstream in(file, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), "12\r\nPART\r\nN1 G00 X0\r\nN3 M30\r\n");
  EXPECT_EQ(f.FileNameLabel->text(), text(35) + QString::fromStdString(file.string()));
  EXPECT_TRUE(messages().endsWith(text(116) + QLatin1Char('\n') + text(117)));

  f.ProgramMemo->setPlainText(QStringLiteral("other"));
  f.ProgNoEdit->setValue(1);
  f.ProgNameEdit->clear();
  test::whenModalShown([](QWidget* modal) {
    auto* open = qobject_cast<TOpenFileForm*>(modal);
    ASSERT_NE(open, nullptr);
    open->FileEdit->setText(QStringLiteral("part"));
    open->OpenOKBtn->click();
  });
  f.ReadFileBtn->click();
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G00 X0\n\nM30"));
  EXPECT_FALSE(f.ProgramMemo->isHidden());
  EXPECT_EQ(f.ProgNoEdit->value(), 12);
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("PART"));
  EXPECT_TRUE(messages().contains(text(114) + QStringLiteral(":3")));
}

}  // namespace
}  // namespace zar
