// The program page's transfer and file buttons in the main window, offscreen,
// against a virtual controller behind COM2; the test answers the dialogs.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTabWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/MainForm.h"
#include "support/ModalDriver.h"
#include "support/PageWindowTest.h"
#include "ui/OpenFileForm.h"
#include "ui/SaveFileForm.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

using controller::Fault;
using controller::Program;

class ProgramPageTest : public test::PageWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(openWindow("progpage", [](const std::string& name) { return name == "Message.E"; }, 200));
    form->settings().reconnectDelay = 5;
    form->setDialogAnswerer([this](std::string_view text, DialogType, const std::vector<ButtonKind>& buttons, int) {
      questions.emplace_back(text);
      buttonsEnabledInDialogue.push_back(anyTransferButtonEnabled());
      return windowQuestion(text, buttons).value_or(answer);
    });
  }

  bool anyTransferButtonEnabled() const {
    for (QPushButton* b : form->transferButtons())
      if (b->isEnabled()) return true;
    return false;
  }
  QString messages() const { return form->MsgMemo->toPlainText(); }

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

// A program of `count` lines "G01 X<n>", ending in M30.
QString numberedProgram(int count) {
  QStringList lines;
  for (int n = 1; n < count; ++n) lines << QStringLiteral("G01 X%1").arg(n);
  lines << QStringLiteral("M30");
  return lines.join(QLatin1Char('\n'));
}

std::vector<std::string> linesOf(const QString& text) {
  std::vector<std::string> lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
  return lines;
}

// Runs `action` once, from the event pump, as soon as `ready` holds.
void when(QObject* context, std::function<bool()> ready, std::function<void()> action) {
  auto* poll = new QTimer(context);
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, context, [=] {
    if (!ready()) return;
    poll->stop();
    poll->deleteLater();
    action();
  });
  poll->start();
}

// ... when the send has echoed the line "N<line> ...": the dialogue is then
// waiting for that line's reply.
void duringLine(QObject* context, const QPlainTextEdit* messages, int line, std::function<void()> action) {
  const QString echo = QStringLiteral("\nN%1 ").arg(line);
  when(context, [=] { return messages->toPlainText().contains(echo); }, std::move(action));
}

TEST_F(ProgramPageTest, ASendTakesTheProgramOnceAndNothingInTheWindowChangesOrEndsIt) {
  TMainForm& f = *form;
  const QString program = numberedProgram(40);
  f.ProgramMemo->setPlainText(program);
  f.ProgNoEdit->setValue(5);
  f.ProgNameEdit->setText(QStringLiteral("PART"));
  ctrl.addFault(Fault::delay("store.line:10", 150));  // time for the window to act meanwhile

  struct Seen {
    bool editorReadOnly = false, filesOff = true, fieldsOff = true, otherPagesOff = true, closed = false;
    bool openDialogShown = false;
    QString editorAfterTyping;
  } seen;
  duringLine(&f, f.MsgMemo, 10, [&] {
    seen.editorReadOnly = f.ProgramMemo->isReadOnly();
    for (QWidget* w : std::initializer_list<QWidget*>{f.ReadFileBtn, f.WriteFileBtn, f.SimulatorBtn, f.VersionBtn})
      seen.filesOff = seen.filesOff && !w->isEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{f.ProgNoEdit, f.ProgNameEdit, f.TypeSel, f.COM_Select})
      seen.fieldsOff = seen.fieldsOff && !w->isEnabled();
    seen.otherPagesOff = !f.PageControl->isTabEnabled(1) && !f.PageControl->isTabEnabled(2);
    // What a person can do: type, press Open, Exit and answer No.
    f.ProgramMemo->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
    QApplication::sendEvent(f.ProgramMemo, &key);
    seen.editorAfterTyping = f.ProgramMemo->toPlainText();
    QTimer::singleShot(0, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        seen.openDialogShown = true;
        modal->close();
      }
    });
    f.ReadFileBtn->click();
    yesNoAnswer = mrNo;
    f.CloseBtn->click();
    seen.closed = !f.isVisible();
    // What no person can do, but a stray handler might: the editor and the
    // slot change under the send. What goes out was taken at its start.
    f.ProgramMemo->setPlainText(QStringLiteral("X1\nM30"));
    f.ProgNoEdit->setValue(7);
  });
  f.show();
  f.TransBtn->click();

  EXPECT_TRUE(seen.editorReadOnly);
  EXPECT_TRUE(seen.filesOff);
  EXPECT_TRUE(seen.fieldsOff);
  EXPECT_TRUE(seen.otherPagesOff);
  EXPECT_EQ(seen.editorAfterTyping, program);
  EXPECT_FALSE(seen.openDialogShown);
  EXPECT_FALSE(seen.closed);
  ASSERT_EQ(windowQuestions.size(), 1u);  // stop the transfer and exit? No
  EXPECT_TRUE(f.isVisible());

  // The controller holds the program as it was when the send started, whole.
  EXPECT_EQ(ctrl.program(5), (Program{"PART", linesOf(program)}));
  EXPECT_FALSE(ctrl.program(7));
  EXPECT_TRUE(messages().contains(text(106)));
  // Afterwards everything is back.
  EXPECT_FALSE(f.ProgramMemo->isReadOnly());
  EXPECT_TRUE(f.ReadFileBtn->isEnabled() && f.ProgNoEdit->isEnabled() && f.TypeSel->isEnabled());
  EXPECT_TRUE(f.PageControl->isTabEnabled(1) && f.PageControl->isTabEnabled(2));
}

TEST_F(ProgramPageTest, ExitDuringASendStopsItCleanlyAndThenCloses) {
  TMainForm& f = *form;
  f.ProgramMemo->setPlainText(numberedProgram(30));
  f.ProgNoEdit->setValue(6);
  ctrl.addFault(Fault::delay("store.line:5", 150));
  bool closedWhileRunning = true;
  duringLine(&f, f.MsgMemo, 5, [&] {
    f.close();  // the window's close button; Yes, stop it
    closedWhileRunning = !f.isVisible();
  });
  f.show();
  f.TransBtn->click();

  EXPECT_FALSE(closedWhileRunning);
  ASSERT_GE(windowQuestions.size(), 1u);  // stop it and exit? Yes
  // Nothing went out after the line being acknowledged; the port is closed
  // and the message area says the send was stopped, not that it completed.
  EXPECT_FALSE(messages().contains(QStringLiteral("\nN6 ")));
  EXPECT_FALSE(messages().contains(text(106)));
  EXPECT_TRUE(messages().contains(QString::fromLatin1(Link::kCancelledText.data(),
                                                      static_cast<int>(Link::kCancelledText.size()))));
  EXPECT_FALSE(f.CommPort.Enabled());
  EXPECT_FALSE(f.link().busy());
  // Then the window closed, through its usual way (settings written); the
  // program was not sent whole, so it still counts as changed, and the
  // question about that was answered Yes too.
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(windowQuestions.size(), 2u);
  EXPECT_TRUE(fs::exists(dir / "Init.Ini"));
}

TEST_F(ProgramPageTest, ASendRefusedPartWayEndsSayingTheSlotHoldsPartOfTheProgram) {
  TMainForm& f = *form;
  f.ProgramMemo->setPlainText(numberedProgram(5));
  f.ProgNoEdit->setValue(6);
  ctrl.addFault(Fault::nak("store.line:4"));
  f.TransBtn->click();
  EXPECT_EQ(ctrl.program(6)->lines, (std::vector<std::string>{"G01 X1", "G01 X2", "G01 X3"}));
  const QString note = QString::fromStdString(nc::partialSendText(6, 3, 5, false));
  EXPECT_TRUE(messages().endsWith(note)) << messages().toStdString();
}

TEST_F(ProgramPageTest, ExitDuringADialogueAnsweredNoLetsItFinish) {
  TMainForm& f = *form;
  ctrl.setProgram(3, {"HELD", {"G00 X0", "G01 X5", "M30"}});
  f.ProgNoEdit->setValue(3);
  ctrl.addFault(Fault::delay("list.line:2", 150));
  yesNoAnswer = mrNo;
  f.show();
  when(&f, [&] { return f.ProgramMemo->toPlainText() == QStringLiteral("G00 X0"); }, [&] { f.CloseBtn->click(); });
  f.RcvBtn->click();
  ASSERT_EQ(windowQuestions.size(), 1u);
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G00 X0\nG01 X5\nM30"));
  EXPECT_TRUE(messages().contains(text(109)));
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

// Chooses `name` in the next open or save chooser; `cancel` closes it instead.
void chooseFile(const QString& name, bool* shown = nullptr, bool cancel = false) {
  test::whenModalShown([=](QWidget* modal) {
    if (shown) *shown = true;
    if (auto* open = qobject_cast<TOpenFileForm*>(modal)) {
      open->FileEdit->setText(name);
      cancel ? open->OpenCloseBtn->click() : open->OpenOKBtn->click();
    } else if (auto* save = qobject_cast<TSaveFileForm*>(modal)) {
      save->FileEdit->setText(name);
      cancel ? save->SaveCloseBtn->click() : save->SaveOKBtn->click();
    } else {
      ADD_FAILURE() << "not a file chooser";
    }
  });
}

TEST_F(ProgramPageTest, EditedTextIsDroppedOnlyWhenThePersonAgrees) {
  TMainForm& f = *form;
  f.fileChoice().Directory = dir.string();
  std::ofstream(dir / "other.nc", std::ios::binary) << "3\r\nOTHER\r\nN1 X9\r\n";
  ctrl.setProgram(4, {"HELD", {"G00 X0", "M30"}});
  f.ProgNoEdit->setValue(4);
  f.show();

  // Untouched: Open goes straight to the chooser.
  bool shown = false;
  chooseFile(QStringLiteral("other"), &shown, true);
  f.ReadFileBtn->click();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(windowQuestions.empty());

  // Typed and typed back is no change either.
  f.ProgramMemo->setPlainText(QStringLiteral("G01"));
  f.ProgramMemo->setPlainText(QString());
  shown = false;
  chooseFile(QStringLiteral("other"), &shown, true);
  f.ReadFileBtn->click();
  EXPECT_TRUE(shown && windowQuestions.empty());

  // Edited: Open, Receive and Exit ask first, and No keeps everything.
  f.ProgramMemo->setPlainText(QStringLiteral("MY WORK"));
  yesNoAnswer = mrNo;
  shown = false;
  f.ReadFileBtn->click();
  EXPECT_FALSE(shown);
  QApplication::processEvents();
  f.RcvBtn->click();
  f.CloseBtn->click();
  f.close();
  ASSERT_EQ(windowQuestions.size(), 4u);
  for (const std::string& q : windowQuestions) EXPECT_NE(q.find(f.fromQt(f.PageControl->tabText(0))), std::string::npos);
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("MY WORK"));
  EXPECT_EQ(ctrl.traffic().size(), 0u);  // nothing went on the line
  EXPECT_TRUE(f.isVisible());

  // Yes: the receive replaces it, and the received program counts as unchanged.
  yesNoAnswer = mrYes;
  f.RcvBtn->click();
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G00 X0\nM30"));
  EXPECT_EQ(windowQuestions.size(), 5u);
  f.close();
  EXPECT_EQ(windowQuestions.size(), 5u);
  EXPECT_FALSE(f.isVisible());
}

TEST_F(ProgramPageTest, SavedAndSentProgramsCountAsUnchanged) {
  TMainForm& f = *form;
  f.fileChoice().Directory = dir.string();
  f.show();
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X0\nM30"));
  chooseFile(QStringLiteral("kept"));
  f.WriteFileBtn->click();
  ASSERT_TRUE(fs::exists(dir / "kept.nc"));
  EXPECT_TRUE(windowQuestions.empty());
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X1\nM30"));
  f.TransBtn->click();
  EXPECT_TRUE(ctrl.program(1));
  f.close();
  EXPECT_TRUE(windowQuestions.empty());
  EXPECT_FALSE(f.isVisible());
}

TEST_F(ProgramPageTest, SavingOverAnExistingFileAsksFirst) {
  TMainForm& f = *form;
  f.fileChoice().Directory = dir.string();
  const fs::path file = dir / "part.nc";
  std::ofstream(file, std::ios::binary) << "1\r\nOLD\r\nN1 X0\r\n";
  const QString labelBefore = f.FileNameLabel->text();
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X5"));

  yesNoAnswer = mrNo;
  chooseFile(QStringLiteral("part"));
  f.WriteFileBtn->click();
  ASSERT_EQ(windowQuestions.size(), 1u);
  EXPECT_NE(windowQuestions[0].find(file.string()), std::string::npos);
  std::ifstream old(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "1\r\nOLD\r\nN1 X0\r\n");
  EXPECT_EQ(f.FileNameLabel->text(), labelBefore);
  EXPECT_FALSE(messages().contains(text(116)));

  yesNoAnswer = mrYes;
  chooseFile(QStringLiteral("part"));
  f.WriteFileBtn->click();
  EXPECT_EQ(windowQuestions.size(), 2u);
  std::ifstream replaced(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), "1\r\n\r\nN1 G00 X5\r\n");
}

TEST_F(ProgramPageTest, AFileThatCannotBeOpenedChangesNothingButSaysSo) {
  TMainForm& f = *form;
  f.fileChoice().Directory = dir.string();
  std::ofstream(dir / "good.nc", std::ios::binary) << "2\r\nGOOD\r\nN1 X1\r\n";
  chooseFile(QStringLiteral("good"));
  f.ReadFileBtn->click();
  const QString label = f.FileNameLabel->text();
  ASSERT_TRUE(label.endsWith(QStringLiteral("good.nc")));

  f.MsgMemo->clear();
  chooseFile(QStringLiteral("missing"));
  f.ReadFileBtn->click();
  EXPECT_EQ(f.FileNameLabel->text(), label);
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("X1"));
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("GOOD"));
  EXPECT_FALSE(f.ProgramMemo->isHidden());
  const QStringList lines = messages().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], text(111));
  EXPECT_EQ(lines[1], QString::fromStdString((dir / "missing.nc").string()) + QStringLiteral(": No such file or directory"));

  // Not a file: a directory named like one.
  fs::create_directory(dir / "folder.nc");
  f.MsgMemo->clear();
  chooseFile(QStringLiteral("folder.nc"));
  f.ReadFileBtn->click();
  EXPECT_EQ(f.FileNameLabel->text(), label);
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("X1"));
  EXPECT_TRUE(messages().endsWith(QStringLiteral("folder.nc: Is a directory"))) << messages().toStdString();
}

TEST_F(ProgramPageTest, AFullLengthChineseNameIsSavedAndLoadedBack) {
  fs::copy_file(fs::path(ZAR_DATA_DIR) / "Message.C", dir / "Message.C");
  form = std::make_unique<TMainForm>(MainFormOptions{dir.string(), 0, {}});
  TMainForm& f = *form;
  f.setDialogAnswerer([](std::string_view, DialogType, const std::vector<ButtonKind>&, int) { return mrYes; });
  f.fileChoice().Directory = dir.string();
  f.ProgNoEdit->setValue(9);
  f.ProgNameEdit->insert(QStringLiteral("零件一號"));
  f.ProgNameEdit->insert(QStringLiteral("五"));  // a ninth and tenth byte: refused
  ASSERT_EQ(f.ProgNameEdit->text(), QStringLiteral("零件一號"));
  f.ProgramMemo->setPlainText(QStringLiteral("G00 X0\nM30"));

  chooseFile(QStringLiteral("chinese"));
  f.WriteFileBtn->click();
  std::ifstream in(dir / "chinese.nc", std::ios::binary);
  const std::string content(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(content, "9\r\n" + f.fromQt(QStringLiteral("零件一號")) + "\r\nN1 G00 X0\r\nN2 M30\r\n");

  f.ProgNameEdit->clear();
  f.ProgNoEdit->setValue(1);
  f.ProgramMemo->clear();
  f.MsgMemo->clear();
  chooseFile(QStringLiteral("chinese"));
  f.ReadFileBtn->click();
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("零件一號"));
  EXPECT_EQ(f.ProgNoEdit->value(), 9);
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G00 X0\nM30"));
  EXPECT_FALSE(f.MsgMemo->toPlainText().contains(f.toQt(f.GetMessageText(113))));
}

}  // namespace
}  // namespace zar
