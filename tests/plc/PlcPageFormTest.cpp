// The PLC page in the main window, offscreen: its file buttons through the
// choosers, the send and the receive against a virtual controller behind
// COM2, and the questions before edited text is dropped.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/MainForm.h"
#include "app/QtProgressStrip.h"
#include "support/ModalDriver.h"
#include "support/PageWindowTest.h"
#include "ui/OpenFileForm.h"
#include "ui/SaveFileForm.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

class PlcPageTest : public test::PageWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(
        openWindow("plcpage", [](const std::string& name) { return name.starts_with("Message."); }, 300));
    form->settings().plcTransitDelay = 0;
    form->setDialogAnswerer([this](std::string_view text, DialogType, const std::vector<ButtonKind>& buttons, int) {
      return windowQuestion(text, buttons).value_or(mrOk);
    });
    form->fileChoice().Directory = dir.string();
    form->PageControl->setCurrentIndex(2);
  }

  QString messages() const { return form->PLMMsgMemo->toPlainText(); }
  void open(const QString& name) {
    test::whenModalShown([name](QWidget* modal) {
      auto* chooser = qobject_cast<TOpenFileForm*>(modal);
      ASSERT_NE(chooser, nullptr);
      chooser->FileEdit->setText(name);
      chooser->OpenOKBtn->click();
    });
    form->ReadPLMBtn->click();
  }
  void save(const QString& name) {
    test::whenModalShown([name](QWidget* modal) {
      auto* chooser = qobject_cast<TSaveFileForm*>(modal);
      ASSERT_NE(chooser, nullptr);
      chooser->FileEdit->setText(name);
      chooser->SaveOKBtn->click();
    });
    form->WritePLMBtn->click();
  }
};

TEST_F(PlcPageTest, LoadSaveAndAnOverlongLineRefused) {
  TMainForm& f = *form;
  EXPECT_EQ(f.plcFilePath(), "Tmp.mcn");
  std::ofstream(dir / "a.pmc", std::ios::binary) << "LD 0000\r\nOUT 0500\r\nEND\r\n";
  open(QStringLiteral("a.pmc"));
  EXPECT_EQ(f.PLMMemo->toPlainText(), QStringLiteral("LD 0000\nOUT 0500\nEND"));
  EXPECT_EQ(messages(), text(111) + QStringLiteral("\nPLM ") + text(114).trimmed() + QStringLiteral(":3\n") + text(115));
  EXPECT_EQ(f.plcFilePath(), (dir / "a.pmc").string());
  EXPECT_EQ(f.PLMFileNameLabel->text(), text(35) + QString::fromStdString((dir / "a.pmc").string()));

  // A line longer than 255 characters: refused and named, the editor kept.
  std::ofstream(dir / "long.pmc", std::ios::binary) << "LD 0000 ;" << std::string(300, 'x') << "\r\n";
  f.ClrMsgBtn3->click();
  EXPECT_EQ(messages(), QString());
  open(QStringLiteral("long.pmc"));
  EXPECT_EQ(f.PLMMemo->toPlainText(), QStringLiteral("LD 0000\nOUT 0500\nEND"));
  EXPECT_TRUE(messages().contains(QStringLiteral("line 1 is longer than 255")));
  EXPECT_EQ(f.plcFilePath(), (dir / "a.pmc").string());

  f.PLMMemo->setPlainText(QStringLiteral("LD 0001\nEND"));
  save(QStringLiteral("b.pmc"));
  EXPECT_EQ(readFile(dir / "b.pmc"), "LD 0001\r\nEND\r\n");
  EXPECT_EQ(f.plcFilePath(), (dir / "b.pmc").string());
  EXPECT_TRUE(messages().endsWith(text(116) + QLatin1Char('\n') + text(117)));
}

TEST_F(PlcPageTest, SendCompilesBesideTheFileThenReceiveDecompilesIntoTheEditor) {
  TMainForm& f = *form;
  std::ofstream(dir / "p.pmc", std::ios::binary) << "LD 0000\r\nTMR 005 #100\r\nOUT 0500\r\nEND\r\n";
  open(QStringLiteral("p.pmc"));
  f.PLMTrnBtn->click();
  ASSERT_TRUE(fs::exists(dir / "p.mcn"));
  EXPECT_TRUE(messages().endsWith(text(106) + QLatin1Char('\n') + text(107))) << messages().toStdString();
  EXPECT_FALSE(f.Progress->isVisible());
  std::vector<std::string> image;
  std::istringstream in(readFile(dir / "p.mcn"));
  for (std::string line; std::getline(in, line);) image.push_back(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
  EXPECT_EQ(ctrl.plcImage(), image);
  EXPECT_TRUE(f.PLMTrnBtn->isEnabled() && !f.PLMMemo->isReadOnly());

  // Edited text is dropped only when the person agrees.
  f.PLMMemo->setPlainText(QStringLiteral("MINE"));
  yesNoAnswer = mrNo;
  ctrl.clearTraffic();
  f.PLMRcvBtn->click();
  EXPECT_EQ(windowQuestions.size(), 1u);
  EXPECT_TRUE(ctrl.inputFrames().empty());
  EXPECT_EQ(f.PLMMemo->toPlainText(), QStringLiteral("MINE"));

  yesNoAnswer = mrYes;
  f.PLMRcvBtn->click();
  // The records one a line, each with its line end (the last image line has none).
  EXPECT_EQ(readFile(dir / "Mcn.tmp"), readFile(dir / "p.mcn") + "\r\n");
  const QStringList lines = f.PLMMemo->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("TMR"))) << lines[1].toStdString();
  EXPECT_EQ(f.TmpMemo->toPlainText().split(QLatin1Char('\n')).size(), static_cast<int>(image.size()));
  EXPECT_FALSE(f.Progress->isVisible());
  // Received, the text counts as unchanged: leaving asks nothing more.
  f.close();
  QApplication::processEvents();
  EXPECT_EQ(windowQuestions.size(), 2u);
}

TEST_F(PlcPageTest, TheDialogueHoldsThePageAndShowsItsMarks) {
  TMainForm& f = *form;
  f.show();
  f.PLMMemo->setPlainText(QStringLiteral("0011\n2233\n44"));
  // The controller takes its time over LOF: a look at the page meanwhile.
  ctrl.addFault(controller::Fault::delay("plc.lof", 150));
  f.link().progress().setNotifyInterval(std::chrono::milliseconds(0));
  bool held = false;
  bool stripShown = false;
  QString estimate;
  QString marks;
  // Looked at whenever the dialogue lets events through, once all three
  // records have gone.
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (!marks.isEmpty() || f.Progress->text() != QStringLiteral(">>>")) return;
    marks = f.Progress->text();
    held = f.PLMMemo->isReadOnly() && !f.ReadPLMBtn->isEnabled() && !f.WritePLMBtn->isEnabled() &&
           !f.TransDelayValue->isEnabled() && !f.PLMTrnBtn->isEnabled() && !f.TransBtn->isEnabled();
    // The marks come on top of the window's strip, not instead of it.
    stripShown = f.progressStrip()->isVisible();
    estimate = f.progressStrip()->TransferEstimate->text();
  });
  look.start(5);
  f.PLMTrnBtn->click();
  EXPECT_TRUE(held);
  EXPECT_EQ(marks, QStringLiteral(">>>"));
  EXPECT_TRUE(stripShown);
  EXPECT_TRUE(estimate.startsWith(QStringLiteral("3/3 records"))) << estimate.toStdString();
  EXPECT_FALSE(f.progressStrip()->isVisible());
  EXPECT_EQ(ctrl.plcImage(), (std::vector<std::string>{"0011", "2233", "44"}));
  EXPECT_TRUE(!f.PLMMemo->isReadOnly() && f.ReadPLMBtn->isEnabled() && f.TransDelayValue->isEnabled());
  EXPECT_FALSE(f.Progress->isVisible());
}

}  // namespace
}  // namespace zar
