// The parameter page in the main window, offscreen: the check list built from
// the shipped data files, the model and version buttons acting when they take
// the focus, the file buttons through the choosers, and the two transfers
// against a virtual controller behind COM2.

// Before any Qt header: the controller's state has a member named like Qt's
// `slots` keyword.
#include "controller/VirtualController.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "app/MainForm.h"
#include "param/ParameterTables.h"
#include "support/ModalDriver.h"
#include "support/PageWindowTest.h"
#include "ui/OpenFileForm.h"
#include "ui/SaveFileForm.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

class ParameterPageTest : public test::PageWindowTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(openWindow("parpage", [](const std::string& name) {
      return name.starts_with("Message.") || name.find("Par") != std::string::npos ||
             name.find("Add") != std::string::npos;
    }, 200));
    form->setDialogAnswerer([this](std::string_view text, DialogType, const std::vector<ButtonKind>& buttons, int) {
      if (const auto yesNo = windowQuestion(text, buttons)) return *yesNo;
      questions.emplace_back(text);
      if (duringQuestion) duringQuestion();
      return answer;
    });
    form->fileChoice().Directory = dir.string();
  }

  // The list the core builds for a model and version from the same files.
  param::ParameterList listOf(int model, int version) const {
    param::ParameterTables tables(FileLocator(dir.string()), 1);
    tables.LoadAddressTables();
    return tables.buildList(model, version);
  }
  std::vector<std::string> names(int model, int version) const {
    std::vector<std::string> out;
    for (const auto& e : listOf(model, version).entries) out.push_back(e.name);
    return out;
  }
  std::vector<std::string> shown() const {
    std::vector<std::string> out;
    for (int i = 0; i < form->ParaCheckListBox->count(); ++i)
      out.push_back(form->ParaCheckListBox->item(i)->text().toStdString());
    return out;
  }
  int checkedCount() const {
    int n = 0;
    for (int i = 0; i < form->ParaCheckListBox->count(); ++i)
      n += form->ParaCheckListBox->item(i)->checkState() == Qt::Checked;
    return n;
  }
  void check(std::initializer_list<int> items) {
    for (int i : items) form->ParaCheckListBox->item(i)->setCheckState(Qt::Checked);
  }
  // A click as the mouse gives it (the press gives the focus).
  static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  void showActive() {
    form->show();
    form->activateWindow();
    QApplication::setActiveWindow(form.get());
    QApplication::processEvents();
  }
  QString messages() const { return form->ParMsgMemo->toPlainText(); }

  std::vector<std::string> questions;
  std::function<void()> duringQuestion;
  int answer = mrOk;
};

TEST_F(ParameterPageTest, ListFollowsTheButtonsThatTakeTheFocus) {
  TMainForm& f = *form;
  // Start-up: model 102, version K, nothing checked.
  ASSERT_GT(names(0, 1).size(), 40u);
  EXPECT_EQ(shown(), names(0, 1));
  EXPECT_EQ(checkedCount(), 0);
  showActive();
  f.PageControl->setCurrentIndex(1);

  // A click that gives the focus: 202 runs version SD.
  click(f.ZAR202RadioButton);
  EXPECT_TRUE(f.ZAR202RadioButton->hasFocus());
  EXPECT_EQ(f.ModelIndex, 1);
  EXPECT_EQ(f.VersionIndex, 0);
  EXPECT_TRUE(f.VerSDRadioBtn->isChecked());
  EXPECT_EQ(shown(), names(1, 0));

  // Arrow keys move the focus along the version buttons: each is entered.
  f.VerSDRadioBtn->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f.VerSDRadioBtn, Qt::Key_Right);
  EXPECT_TRUE(f.VerKRadioBtn->hasFocus());
  EXPECT_EQ(f.VersionIndex, 1);
  EXPECT_EQ(shown(), names(1, 1));
  click(f.VerMRadioBtn);
  EXPECT_EQ(f.VersionIndex, 2);
  EXPECT_EQ(shown(), names(1, 2));

  // Clicking the button that has the focus again is no enter: checks stay.
  check({0, 3});
  click(f.VerMRadioBtn);
  EXPECT_EQ(checkedCount(), 2);

  // 102 runs version K; a model without versions keeps the version.
  click(f.ZAR102RadioButton);
  EXPECT_EQ(f.VersionIndex, 1);
  EXPECT_TRUE(f.VerKRadioBtn->isChecked());
  click(f.ZAR300RadioButton);
  EXPECT_EQ(f.ModelIndex, 5);
  EXPECT_EQ(f.VersionIndex, 1);
  EXPECT_EQ(shown(), names(5, 1));

  f.SelAllBtn->click();
  EXPECT_EQ(checkedCount(), f.ParaCheckListBox->count());
  f.CancelSelBtn->click();
  EXPECT_EQ(checkedCount(), 0);

  // Back from another page: rebuilt with nothing checked; the button that
  // had the focus gets it back without being entered, so a model set
  // meanwhile (as auto-detection does) stays.
  check({1, 2});
  f.PageControl->setCurrentIndex(0);
  f.ProgramMemo->setFocus(Qt::MouseFocusReason);
  f.ModelIndex = 1;
  f.VersionIndex = 2;
  f.PageControl->setCurrentIndex(1);
  EXPECT_EQ(f.ModelIndex, 1);
  EXPECT_EQ(f.VersionIndex, 2);
  EXPECT_EQ(shown(), names(1, 2));
  EXPECT_EQ(checkedCount(), 0);
  f.hide();
}

TEST_F(ParameterPageTest, FileButtonsThroughTheChoosers) {
  TMainForm& f = *form;
  f.ParameterMemo->setPlainText(QStringLiteral("/ axes\nX rapid(12)=24000\n\nY rapid(13)=-5"));
  test::whenModalShown([](QWidget* modal) {
    auto* save = qobject_cast<TSaveFileForm*>(modal);
    ASSERT_NE(save, nullptr);
    save->FileEdit->setText(QStringLiteral("backup"));
    save->SaveOKBtn->click();
  });
  f.WriteParBtn->click();
  const fs::path file = dir / "backup.par";
  EXPECT_EQ(readFile(file), "/ axes\r\nX rapid(12)=24000\r\n\r\nY rapid(13)=-5\r\n");
  EXPECT_EQ(f.ParFileNameLabel->text(), text(35) + QString::fromStdString(file.string()));
  EXPECT_TRUE(messages().endsWith(text(116) + QLatin1Char('\n') + text(117)));

  // A line of 100 characters comes back as two editor lines.
  std::ofstream(dir / "long.par", std::ios::binary) << std::string(100, 'a') << "\r\nB(2)=3\r\n";
  f.ClrMsgBtn2->click();
  test::whenModalShown([](QWidget* modal) {
    auto* open = qobject_cast<TOpenFileForm*>(modal);
    ASSERT_NE(open, nullptr);
    open->FileEdit->setText(QStringLiteral("long"));
    open->OpenOKBtn->click();
  });
  f.ReadParBtn->click();
  EXPECT_EQ(f.editorLines(Page::Parameter),
            (std::vector<std::string>{std::string(79, 'a'), std::string(21, 'a'), "B(2)=3"}));
  EXPECT_EQ(messages(), text(111) + QLatin1Char('\n') + text(114) + QStringLiteral(":3\n") + text(115));
  EXPECT_EQ(f.ParameterMemo->textCursor().position(), 0);
  const QString label = text(35) + QString::fromStdString((dir / "long.par").string());
  EXPECT_EQ(f.ParFileNameLabel->text(), label);

  // A file that cannot be read: the editor and the label stay, the message says why.
  fs::create_directory(dir / "folder.par");
  test::whenModalShown([](QWidget* modal) {
    auto* open = qobject_cast<TOpenFileForm*>(modal);
    ASSERT_NE(open, nullptr);
    open->FileEdit->setText(QStringLiteral("folder.par"));
    open->OpenOKBtn->click();
  });
  f.ReadParBtn->click();
  EXPECT_EQ(f.editorLines(Page::Parameter).size(), 3u);
  EXPECT_EQ(f.ParFileNameLabel->text(), label);
  EXPECT_TRUE(messages().contains(QStringLiteral("directory")));

  // Cancelled: nothing changes.
  const QString before = messages();
  test::whenModalShown([](QWidget* modal) { modal->close(); });
  f.WriteParBtn->click();
  EXPECT_EQ(messages(), before);
  EXPECT_EQ(f.ParFileNameLabel->text(), label);
}

TEST_F(ParameterPageTest, ReceiveTheCheckedThenSendThemBackWithThePageHeld) {
  TMainForm& f = *form;
  f.PageControl->setCurrentIndex(1);
  const param::ParameterList list = listOf(0, 1);
  ASSERT_GT(list.count(), 6u);
  ctrl.setParameter(list[5].number, -42);
  check({0, 2, 5});
  f.ParameterMemo->setPlainText(QStringLiteral("to be replaced"));
  f.ParRcvBtn->click();

  // Only the checked items are asked for, in list order.
  auto request = [&](size_t i) { return std::to_string(list[i].number) + "\r\n"; };
  const std::string ack = "\x06\x07\x01\r\n";
  EXPECT_EQ(ctrl.inputFrames(), (std::vector<std::string>{"$%\r\n", "$P\r\n", request(0), ack, request(2), ack,
                                                           request(5), ack}));
  std::vector<std::string> lines = f.editorLines(Page::Parameter);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], list[5].name + "(" + std::to_string(list[5].number) + ")=-42");
  EXPECT_EQ(f.ParameterMemo->textCursor().position(), 0);
  EXPECT_TRUE(messages().endsWith(text(148) + QLatin1Char('\n') + text(107)));
  EXPECT_EQ(checkedCount(), 3);

  // While the send runs (its question is up) the page holds still: the
  // list, the selectors and the file buttons are off, the editor is
  // read-only, and coming back to the page does not rebuild the list.
  lines[2] = list[5].name + "(" + std::to_string(list[5].number) + ")=77";
  f.setEditorLines(Page::Parameter, lines);
  bool held = false;
  duringQuestion = [&] {
    held = !f.ParaCheckListBox->isEnabled() && !f.ZAR202RadioButton->isEnabled() && !f.VerMRadioBtn->isEnabled() &&
           !f.SelAllBtn->isEnabled() && !f.ReadParBtn->isEnabled() && f.ParameterMemo->isReadOnly() &&
           !f.ParTrnBtn->isEnabled() && !f.TransBtn->isEnabled();
    f.PageControl->setCurrentIndex(0);
    f.PageControl->setCurrentIndex(1);
  };
  ctrl.clearTraffic();
  f.ParTrnBtn->click();
  EXPECT_TRUE(held);
  EXPECT_EQ(ctrl.parameter(list[5].number), 77);
  EXPECT_EQ(ctrl.inputFrames().size(), 5u);
  EXPECT_EQ(checkedCount(), 3);
  EXPECT_TRUE(f.ParaCheckListBox->isEnabled() && f.ZAR202RadioButton->isEnabled() && f.ReadParBtn->isEnabled() &&
              !f.ParameterMemo->isReadOnly() && f.ParTrnBtn->isEnabled());
  EXPECT_TRUE(messages().endsWith(text(146) + QLatin1Char('\n') + text(107)));
}

TEST_F(ParameterPageTest, EditedParametersAreDroppedOnlyWhenThePersonAgrees) {
  TMainForm& f = *form;
  f.PageControl->setCurrentIndex(1);
  check({0});
  f.ParameterMemo->setPlainText(QStringLiteral("MY(1)=5"));
  yesNoAnswer = mrNo;
  bool chooserShown = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      chooserShown = true;
      modal->close();
    }
  });
  f.ReadParBtn->click();  // Open
  f.ParRcvBtn->click();   // Receive
  f.close();              // Exit
  QApplication::processEvents();
  EXPECT_FALSE(chooserShown);
  ASSERT_EQ(windowQuestions.size(), 3u);
  for (const std::string& q : windowQuestions)
    EXPECT_NE(q.find(f.fromQt(f.PageControl->tabText(1))), std::string::npos) << q;
  EXPECT_TRUE(ctrl.inputFrames().empty());
  EXPECT_EQ(f.ParameterMemo->toPlainText(), QStringLiteral("MY(1)=5"));

  // Saved, the text counts as unchanged; saving over the file asks first.
  test::whenModalShown([](QWidget* modal) {
    auto* save = qobject_cast<TSaveFileForm*>(modal);
    ASSERT_NE(save, nullptr);
    save->FileEdit->setText(QStringLiteral("mine.par"));
    save->SaveOKBtn->click();
  });
  f.WriteParBtn->click();
  ASSERT_TRUE(fs::exists(dir / "mine.par"));
  EXPECT_EQ(windowQuestions.size(), 3u);
  f.ParameterMemo->setPlainText(QStringLiteral("MY(1)=6"));
  test::whenModalShown([](QWidget* modal) {
    auto* save = qobject_cast<TSaveFileForm*>(modal);
    ASSERT_NE(save, nullptr);
    save->FileEdit->setText(QStringLiteral("mine.par"));
    save->SaveOKBtn->click();
  });
  f.WriteParBtn->click();  // No: the file keeps the first save
  EXPECT_EQ(windowQuestions.size(), 4u);
  std::ifstream in(dir / "mine.par", std::ios::binary);
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(in), {}).find("MY(1)=5"), std::string::npos);

  f.ParameterMemo->setPlainText(QStringLiteral("MY(1)=5"));
  f.close();
  EXPECT_EQ(windowQuestions.size(), 4u);
  EXPECT_FALSE(f.isVisible());
}

}  // namespace
}  // namespace zar
