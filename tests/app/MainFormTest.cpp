#include "app/MainForm.h"
#include "app/QtControls.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "app/AboutForm.h"
#include "ui/Encoding.h"

namespace fs = std::filesystem;

namespace zar {
namespace {

// Caption table of the window: control name and catalog message.
const std::vector<std::pair<const char*, int>> kCaptions = {
    {"Label1", 12},     {"Label2", 13},        {"Label3", 14},           {"Label4", 15},
    {"FileNameLabel", 16}, {"Label11", 17},    {"TypeSel", 18},          {"TransBtn", 21},
    {"RcvBtn", 22},     {"DelProgBtn", 23},    {"ClrMsgBtn", 24},        {"ReadFileBtn", 25},
    {"WriteFileBtn", 26}, {"SimulatorBtn", 27}, {"AutoDetectBtn", 28},   {"MultipleBtn", 29},
    {"CloseBtn", 30},   {"Label7", 32},        {"Label6", 33},           {"Label5", 34},
    {"ParFileNameLabel", 35}, {"Label10", 36}, {"ParTrnBtn", 41},        {"ParRcvBtn", 42},
    {"ClrMsgBtn2", 43}, {"ReadParBtn", 44},    {"WriteParBtn", 45},      {"SelAllBtn", 46},
    {"CancelSelBtn", 47}, {"CloseBtn2", 50},   {"Label8", 52},           {"PLMFileNameLabel", 53},
    {"Label9", 54},     {"PLMTrnBtn", 61},     {"PLMRcvBtn", 62},        {"ClrMsgBtn3", 63},
    {"ReadPLMBtn", 64}, {"WritePLMBtn", 65},   {"CloseBtn3", 70},
};

QString captionOf(QWidget* w) {
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return QStringLiteral("<no caption>");
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zar_mainform_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    previous_ = fs::current_path();
  }
  void TearDown() override {
    form_.reset();
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  void write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
  }
  std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // Catalogs whose message n reads "E<n>" (English) or "程式<n>" (Big5).
  void writeCatalogs() {
    std::string english, chinese;
    for (int n = 1; n <= 250; ++n) {
      char label[8];
      std::snprintf(label, sizeof label, "M%03d ", n);
      english += label + ("E" + std::to_string(n)) + "\r\n";
      chinese += label + fromUtf8("程式" + std::to_string(n), 0) + "\r\n";
    }
    write("Message.E", english);
    write("Message.C", chinese);
  }
  TMainForm& make(int language = -1) {
    form_ = std::make_unique<TMainForm>(MainFormOptions{dir_.string(), language, {}});
    form_->setDialogAnswerer([this](std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                                    int) {
      dialogs_.push_back({std::string(text), type, buttons});
      return mrOk;
    });
    return *form_;
  }
  template <typename T = QWidget>
  T* find(const char* name) {
    return form_->findChild<T*>(QString::fromLatin1(name));
  }
  static void press(QWidget* target, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(3, 3), target->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &event);
  }
  static void type(QWidget* target, Qt::Key key, const QString& text) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
  }

  struct Dialog {
    std::string text;
    DialogType type;
    std::vector<ButtonKind> buttons;
  };
  fs::path dir_;
  fs::path previous_;
  std::unique_ptr<TMainForm> form_;
  std::vector<Dialog> dialogs_;
};

TEST_F(MainFormTest, EveryControlExistsByName) {
  TMainForm& f = make();
  const char* names[] = {
      "PageControl", "ProgramSheet", "ParameterSheet", "PLMSheet",
      // program page
      "ProgramMemo", "Memo1", "MsgMemo", "ProgNoEdit", "ProgNameEdit", "TypeSel", "COM_Select", "ReadFileBtn",
      "WriteFileBtn", "SimulatorBtn", "TransBtn", "RcvBtn", "DelProgBtn", "ClrMsgBtn", "CloseBtn", "VersionBtn",
      "SpeedButton1", "AutoDetectBtn", "MultipleBtn", "TmpProgNameEdit", "Label1", "Label2", "Label3", "Label4",
      "FileNameLabel", "Label11",
      // parameter page
      "ParFileNameLabel", "ParameterMemo", "ReadParBtn", "WriteParBtn", "ParMsgMemo", "ClrMsgBtn2", "CloseBtn2",
      "Label7", "Label6", "Label5", "Label10", "ParaCheckListBox", "SelAllBtn", "CancelSelBtn", "ParTrnBtn",
      "ParRcvBtn", "ZAR102RadioButton", "ZAR202RadioButton", "ZAR302RadioButton", "ZAR101RadioButton",
      "ZAR200RadioButton", "ZAR300RadioButton", "VerSDRadioBtn", "VerKRadioBtn", "VerMRadioBtn",
      // PLC page
      "PLMMemo", "Memo2", "PLMMsgMemo", "Progress", "TmpMemo", "ReadPLMBtn", "WritePLMBtn", "PLMTrnBtn",
      "PLMRcvBtn", "ClrMsgBtn3", "CloseBtn3", "TransDelayValue", "Label8", "Label9", "PLMFileNameLabel"};
  for (const char* name : names) EXPECT_NE(find(name), nullptr) << name;
  auto* timer = f.findChild<QTimer*>(QStringLiteral("Timer1"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 10);
  EXPECT_TRUE(timer->isActive());

  // Controls sit on the page the window's layout gives them.
  EXPECT_TRUE(f.ProgramSheet->isAncestorOf(f.COM_Select));
  EXPECT_TRUE(f.ParameterSheet->isAncestorOf(f.ParaCheckListBox));
  EXPECT_TRUE(f.PLMSheet->isAncestorOf(f.TransDelayValue));
  EXPECT_EQ(f.PageControl->count(), 3);
}

TEST_F(MainFormTest, StartsAtItsDesignedSizeAndGrowsWithTheEditorsTakingTheRoom) {
  TMainForm& f = make();
  f.show();
  QApplication::processEvents();
  EXPECT_EQ(f.size(), QSize(788, 562));
  EXPECT_EQ(f.minimumSize(), QSize(788, 562));
  EXPECT_GT(f.maximumSize().width(), 1400);
  EXPECT_TRUE(f.windowFlags() & Qt::WindowMaximizeButtonHint);

  struct Sizes {
    QSize program, plc, parameter, messages;
  };
  auto measure = [&] {
    Sizes s;
    for (int page : {0, 1, 2}) {
      f.PageControl->setCurrentIndex(page);
      QApplication::processEvents();
    }
    s.program = f.ProgramMemo->size();
    s.plc = f.PLMMemo->size();
    s.parameter = f.ParameterMemo->size();
    s.messages = f.MsgMemo->size();
    f.PageControl->setCurrentIndex(0);
    return s;
  };
  const Sizes small = measure();
  f.resize(1400, 900);
  QApplication::processEvents();
  const Sizes large = measure();
  for (auto [before, after] : {std::pair{small.program, large.program}, std::pair{small.plc, large.plc},
                               std::pair{small.parameter, large.parameter}}) {
    EXPECT_GE(after.width(), before.width() + 500);
    EXPECT_GE(after.height(), before.height() + 300);
  }
  EXPECT_EQ(large.messages.height(), small.messages.height());

  // It never shrinks below the designed size.
  f.resize(500, 300);
  QApplication::processEvents();
  EXPECT_EQ(f.size(), QSize(788, 562));
}

TEST_F(MainFormTest, StartsWithTheDefaultsWithoutSettingsFiles) {
  TMainForm& f = make();
  EXPECT_EQ(f.currentPage(), Page::Program);
  EXPECT_EQ(f.PageControl->currentIndex(), 0);
  ASSERT_EQ(f.COM_Select->count(), 8);
  EXPECT_EQ(f.COM_Select->itemText(0), QStringLiteral("COM1"));
  EXPECT_EQ(f.COM_Select->itemText(7), QStringLiteral("COM8"));
  EXPECT_EQ(f.COM_Select->currentText(), QStringLiteral("COM2"));
  EXPECT_FALSE(f.COM_Select->isEditable());
  EXPECT_EQ(f.Memo1->document()->blockCount(), 3000);
  EXPECT_EQ(f.Memo1->document()->firstBlock().text(), QStringLiteral("N0001"));
  EXPECT_EQ(f.Memo1->document()->lastBlock().text(), QStringLiteral("N3000"));
  EXPECT_EQ(f.Memo2->document()->blockCount(), 1024);
  EXPECT_EQ(f.Memo2->document()->lastBlock().text(), QStringLiteral("N1024"));
  EXPECT_FALSE(f.Memo1->isEnabled());
  EXPECT_TRUE(f.Memo1->isReadOnly());
  EXPECT_TRUE(f.MsgMemo->isReadOnly());
  EXPECT_EQ(f.ProgNoEdit->value(), 1);
  EXPECT_EQ(f.ProgNoEdit->minimum(), 1);
  EXPECT_EQ(f.ProgNoEdit->maximum(), 99);
  EXPECT_EQ(f.TypeSel->itemIndex(), 0);
  EXPECT_EQ(f.TypeSel->item(0)->text(), QStringLiteral("ZAR X02"));
  EXPECT_EQ(f.TypeSel->item(1)->text(), QStringLiteral("ZAR X00/X01"));
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(f.MultipleBtn->isHidden());
  EXPECT_TRUE(f.TmpProgNameEdit->isHidden());
  EXPECT_TRUE(f.TransDelayValue->isHidden());
  EXPECT_EQ(f.TransDelayValue->value(), 50);
  EXPECT_EQ(f.TransDelayValue->maximum(), 5000);
  EXPECT_TRUE(f.ZAR102RadioButton->isChecked());
  EXPECT_TRUE(f.VerKRadioBtn->isChecked());
  EXPECT_EQ(f.ModelIndex, 0);
  EXPECT_EQ(f.VersionIndex, 1);
  for (Page p : {Page::Program, Page::Parameter, Page::Plc}) EXPECT_EQ(f.lastFileName(p), "TMP");
  EXPECT_EQ(f.language(), 0);
  EXPECT_EQ(f.settings().baudSelector, 4);
  EXPECT_EQ(f.initIniPath(), (dir_ / "Init.Ini").string());
  EXPECT_FALSE(f.windowTitle().isEmpty());
}

TEST_F(MainFormTest, CaptionsComeFromTheCatalogInEitherLanguage) {
  writeCatalogs();
  for (int language : {1, 0}) {
    TMainForm& f = make(language);
    for (const auto& [name, id] : kCaptions) {
      const QString expected = language == 1 ? QStringLiteral("E%1").arg(id) : QString::fromUtf8("程式%1").arg(id);
      EXPECT_EQ(captionOf(find(name)), expected) << name << " language " << language;
    }
    const QString prefix = language == 1 ? QStringLiteral("E") : QString::fromUtf8("程式");
    EXPECT_EQ(f.PageControl->tabText(0), prefix + QStringLiteral("11"));
    EXPECT_EQ(f.PageControl->tabText(1), prefix + QStringLiteral("31"));
    EXPECT_EQ(f.PageControl->tabText(2), prefix + QStringLiteral("51"));
    // Model and version buttons keep their own captions.
    EXPECT_EQ(f.ZAR302RadioButton->text(), QStringLiteral("302"));
    EXPECT_EQ(f.VerSDRadioBtn->text(), QStringLiteral("Ver.SD"));
  }
}

TEST_F(MainFormTest, CustomerIniChoosesTheLanguageAndAMissingCatalogLeavesCaptionsEmpty) {
  writeCatalogs();
  write("Customer.ini", "Language = 1\r\nBaud = 5\r\nSplash = 0\r\n");
  EXPECT_EQ(make().TransBtn->text(), QStringLiteral("E21"));
  EXPECT_EQ(form_->settings().baudRate(), 19200);
  fs::remove(dir_ / "Message.E");
  TMainForm& f = make();
  EXPECT_TRUE(f.TransBtn->text().isEmpty());
  EXPECT_TRUE(f.PageControl->tabText(0).isEmpty());
  f.AddMessage(101, "COM2");
  EXPECT_EQ(f.MsgMemo->toPlainText(), QStringLiteral("COM2"));
}

TEST_F(MainFormTest, SettingsFromInitIniAndClosingWritesThemIntoTheStartDirectory) {
  write("Init.Ini",
        "Time Out Timer    = 800\r\nTrans Delay time  = 5\r\nSystem parameter  = 1,0,7,5\r\n"
        "Transit mode      = 1\r\nDefault COM       = 3\r\nPLC Transit Delay = 9000\r\n"
        "System parameter2 = 2500,600,150,12\r\n");
  TMainForm& f = make();
  EXPECT_EQ(f.COM_Select->count(), 12);
  EXPECT_EQ(f.COM_Select->currentText(), QStringLiteral("COM4"));
  EXPECT_EQ(f.Memo1->document()->blockCount(), 2500);
  EXPECT_EQ(f.Memo2->document()->blockCount(), 600);
  EXPECT_EQ(f.TransDelayValue->value(), 5000);  // the box holds at most 5000

  // The user picks COM12 and sets a delay; then the current directory moves.
  f.COM_Select->setCurrentIndex(11);
  f.TransDelayValue->setValue(120);
  const fs::path elsewhere = dir_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::current_path(elsewhere);
  f.close();
  EXPECT_FALSE(fs::exists(elsewhere / "Init.Ini"));
  EXPECT_EQ(slurp(dir_ / "Init.Ini"),
            "Time Out Timer    = 800\r\n"
            "Trans Delay time  = 5\r\n"
            "System parameter  = 1,0,0,1\r\n"
            "Transit mode      = 1\r\n"
            "Default COM       = 11\r\n"
            "PLC Transit Delay = 120\r\n"
            "System parameter2 = 2500,600,150,12\r\n");
}

TEST_F(MainFormTest, ClosingWithoutInitIniWritesTheDefaultsAndTheCloseButtonsClose) {
  TMainForm& f = make();
  f.show();
  f.CloseBtn3->click();
  EXPECT_FALSE(f.isVisible());
  const std::string written = slurp(dir_ / "Init.Ini");
  EXPECT_NE(written.find("System parameter  = 0,0,0,1\r\n"), std::string::npos);
  EXPECT_NE(written.find("Default COM       = 1\r\n"), std::string::npos);
  EXPECT_NE(written.find("System parameter2 = 3000,1024,200,8\r\n"), std::string::npos);
}

TEST_F(MainFormTest, PortIndexOutsideTheListSelectsNothingAndIsWrittenAsMinusOne) {
  write("Init.Ini", "=1\n=2\n=0,0,0,1\n=0\n=8\n=50\n=3000,1024,200,8\n");
  TMainForm& f = make();
  EXPECT_EQ(f.COM_Select->currentIndex(), -1);
  f.close();
  EXPECT_NE(slurp(dir_ / "Init.Ini").find("Default COM       = -1\r\n"), std::string::npos);
}

TEST_F(MainFormTest, BadSettingsFilesStillStartTheWindow) {
  std::string junk;
  for (int i = 0; i < 3000; ++i) junk += static_cast<char>((i * 7919) % 256);
  write("Init.Ini", junk);
  write("Customer.ini", junk);
  TMainForm& f = make();
  EXPECT_GE(f.COM_Select->count(), 1);
  EXPECT_LE(f.COM_Select->count(), 99);
  EXPECT_TRUE(f.language() == 0 || f.language() == 1);
  EXPECT_GE(f.Memo1->document()->blockCount(), 2000);
}

TEST_F(MainFormTest, PageSwitchWarnsOnThePlcPageAndHidesServiceControls) {
  writeCatalogs();
  TMainForm& f = make(1);
  f.AutoDetectBtn->show();
  f.plcFilePath() = "/somewhere/prog.pmc";
  const int beeps = f.beepCount();

  f.PageControl->setCurrentIndex(1);
  EXPECT_EQ(f.currentPage(), Page::Parameter);
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(dialogs_.empty());

  f.PageControl->setCurrentIndex(2);
  EXPECT_EQ(f.currentPage(), Page::Plc);
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].text, "E55");
  EXPECT_EQ(dialogs_[0].type, DialogType::Warning);
  EXPECT_EQ(dialogs_[0].buttons, std::vector<ButtonKind>{ButtonKind::OK});
  EXPECT_EQ(f.beepCount(), beeps + 1);
  EXPECT_EQ(f.plcFilePath(), "Tmp.mcn");

  // The delay box revealed on the PLC page is hidden again on leaving it.
  press(f.PLMSheet, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_FALSE(f.TransDelayValue->isHidden());
  EXPECT_TRUE(f.delayBoxShown());
  f.PageControl->setCurrentIndex(0);
  EXPECT_EQ(f.currentPage(), Page::Program);
  EXPECT_TRUE(f.TransDelayValue->isHidden());
  EXPECT_FALSE(f.delayBoxShown());
}

TEST_F(MainFormTest, ConfirmationsShowTheCatalogsButtonCaptions) {
  // A dialogue asks through the operator alone; the window still gives the
  // buttons their catalog captions, in the window's language.
  writeCatalogs();
  TMainForm& f = make(0);
  std::string ok, cancel;
  f.setDialogAnswerer([&](std::string_view, DialogType, const std::vector<ButtonKind>&, int) {
    ok = f.dialogCaptions().catalogDialogCaption(ButtonKind::OK);
    cancel = f.dialogCaptions().catalogDialogCaption(ButtonKind::Cancel);
    return mrCancel;
  });
  EXPECT_FALSE(f.confirm("send?"));
  EXPECT_EQ(ok, fromUtf8("程式73", 0));
  EXPECT_EQ(cancel, fromUtf8("程式74", 0));
}

TEST_F(MainFormTest, ServiceControlsOnTheProgramPage) {
  TMainForm& f = make();
  press(f.ProgramSheet, Qt::NoModifier);
  press(f.ProgramSheet, Qt::ShiftModifier);
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(f.MultipleBtn->isHidden());

  press(f.ProgramSheet, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_FALSE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(f.MultipleBtn->isHidden());
  // All three keys: still the auto-detection button only.
  press(f.ProgramSheet, Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(f.MultipleBtn->isHidden());

  press(f.ProgramSheet, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(f.MultipleBtn->isHidden());
  press(f.ProgramSheet, Qt::AltModifier | Qt::ControlModifier);
  EXPECT_TRUE(f.MultipleBtn->isHidden());
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());

  // Only while the X02 type is chosen.
  f.TypeSel->setItemIndex(1);
  press(f.ProgramSheet, Qt::AltModifier | Qt::ShiftModifier);
  press(f.ProgramSheet, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(f.AutoDetectBtn->isHidden());
  EXPECT_TRUE(f.MultipleBtn->isHidden());

  // A press on the PLC page with other keys leaves the delay box alone.
  press(f.PLMSheet, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(f.TransDelayValue->isHidden());
}

TEST_F(MainFormTest, TypedTextRules) {
  TMainForm& f = make();
  type(f.ProgramMemo, Qt::Key_G, QStringLiteral("g"));
  type(f.ProgramMemo, Qt::Key_0, QStringLiteral("0"));
  type(f.ProgramMemo, Qt::Key_X, QStringLiteral("X"));
  EXPECT_EQ(f.ProgramMemo->toPlainText(), QStringLiteral("G0X"));
  type(f.PLMMemo, Qt::Key_L, QStringLiteral("l"));
  EXPECT_EQ(f.PLMMemo->toPlainText(), QStringLiteral("L"));
  // Other editors keep what is typed.
  type(f.ParameterMemo, Qt::Key_A, QStringLiteral("a"));
  EXPECT_EQ(f.ParameterMemo->toPlainText(), QStringLiteral("a"));

  // Program names: upper case, at most 8 bytes; a longer paste is refused
  // whole rather than cut.
  f.ProgNameEdit->insert(QStringLiteral("abc_defgh1"));
  EXPECT_EQ(f.ProgNameEdit->text(), QString());
  f.ProgNameEdit->insert(QStringLiteral("abc_defg"));
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("ABC_DEFG"));
  type(f.ProgNameEdit, Qt::Key_H, QStringLiteral("h"));
  EXPECT_EQ(f.ProgNameEdit->text(), QStringLiteral("ABC_DEFG"));

  // Typing into the port box changes nothing; the arrow keys still do.
  type(f.COM_Select, Qt::Key_C, QStringLiteral("C"));
  type(f.COM_Select, Qt::Key_1, QStringLiteral("1"));
  EXPECT_EQ(f.COM_Select->currentIndex(), 1);
  type(f.COM_Select, Qt::Key_Down, QString());
  EXPECT_EQ(f.COM_Select->currentIndex(), 2);

  // Enter in the delay box is swallowed; digits still reach it.
  f.TransDelayValue->show();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  EXPECT_TRUE(f.TransDelayValueKeyPress(&enter));
  QKeyEvent digit(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, QStringLiteral("7"));
  EXPECT_FALSE(f.TransDelayValueKeyPress(&digit));
}

TEST_F(MainFormTest, OperatorWritesMessagesAndEditorsOfEachPage) {
  writeCatalogs();
  TMainForm& f = make(0);
  f.appendMessage(Page::Parameter, "param line");
  f.appendMessage(Page::Plc, fromUtf8("傳送完成", 0));
  EXPECT_EQ(f.ParMsgMemo->toPlainText(), QStringLiteral("param line"));
  EXPECT_EQ(f.PLMMsgMemo->toPlainText(), QString::fromUtf8("傳送完成"));
  // AddMessage goes to the current page: catalog text then the extra text.
  f.AddMessage(101, "COM2");
  f.AddMessage(0, "plain");
  EXPECT_EQ(f.MsgMemo->toPlainText(), QString::fromUtf8("程式101COM2\nplain"));
  f.ClrMsgBtn->click();
  f.ClrMsgBtn2->click();
  f.ClrMsgBtn3->click();
  EXPECT_TRUE(f.MsgMemo->toPlainText().isEmpty());
  EXPECT_TRUE(f.ParMsgMemo->toPlainText().isEmpty());
  EXPECT_TRUE(f.PLMMsgMemo->toPlainText().isEmpty());

  // A window left open keeps only the newest lines of each message area.
  for (int i = 0; i < kMessageAreaLines + 5; ++i) f.appendMessage(Page::Program, "line " + std::to_string(i));
  EXPECT_EQ(f.MsgMemo->document()->blockCount(), kMessageAreaLines);
  EXPECT_TRUE(f.MsgMemo->toPlainText().startsWith(QStringLiteral("line 5\n")));
  EXPECT_EQ(f.ParMsgMemo->maximumBlockCount(), kMessageAreaLines);
  EXPECT_EQ(f.PLMMsgMemo->maximumBlockCount(), kMessageAreaLines);

  EXPECT_TRUE(f.editorLines(Page::Program).empty());
  const std::vector<std::string> lines = {"O0001", "", fromUtf8("(中文)", 0), "M30"};
  f.setEditorLines(Page::Program, lines);
  EXPECT_EQ(f.editorLines(Page::Program), lines);
  EXPECT_EQ(f.ProgramMemo->document()->blockCount(), 4);
  f.appendEditorLine(Page::Plc, "LD X0");
  f.appendEditorLine(Page::Plc, "OUT Y0");
  EXPECT_EQ(f.editorLines(Page::Plc), (std::vector<std::string>{"LD X0", "OUT Y0"}));
  // A last line end does not make a further line.
  f.ParameterMemo->setPlainText(QStringLiteral("A(1)=2\n"));
  EXPECT_EQ(f.editorLines(Page::Parameter), std::vector<std::string>{"A(1)=2"});
}

TEST_F(MainFormTest, GutterFollowsTheEditor) {
  TMainForm& f = make();
  f.show();
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) lines.push_back("G01 X" + std::to_string(i));
  f.setEditorLines(Page::Program, lines);
  QCoreApplication::processEvents();
  f.ProgramMemo->verticalScrollBar()->setValue(123);
  f.Timer1Timer();
  EXPECT_EQ(f.Memo1->verticalScrollBar()->value(), 123);
  EXPECT_EQ(f.Memo1->cursorForPosition(QPoint(2, 2)).block().text(), QStringLiteral("N0124"));
  EXPECT_EQ(f.ProgramMemo->cursorForPosition(QPoint(2, 2)).block().text(), QStringLiteral("G01 X123"));
  f.ProgramMemo->verticalScrollBar()->setValue(7);
  f.Timer1Timer();
  EXPECT_EQ(f.Memo1->verticalScrollBar()->value(), 7);
  f.hide();
}

TEST_F(MainFormTest, ModelAndVersionSelectorsActOnEnter) {
  TMainForm& f = make();
  auto enter = [](QWidget* w) {
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(w, &in);
  };
  f.VerMRadioBtn->setChecked(true);
  enter(f.VerMRadioBtn);
  EXPECT_EQ(f.VersionIndex, 2);
  enter(f.ZAR202RadioButton);
  EXPECT_EQ(f.ModelIndex, 1);
  EXPECT_EQ(f.VersionIndex, 0);
  EXPECT_TRUE(f.VerSDRadioBtn->isChecked());
  f.VerMRadioBtn->setChecked(true);
  enter(f.VerMRadioBtn);
  enter(f.ZAR102RadioButton);
  EXPECT_EQ(f.ModelIndex, 0);
  EXPECT_EQ(f.VersionIndex, 1);
  EXPECT_TRUE(f.VerKRadioBtn->isChecked());
  enter(f.ZAR300RadioButton);
  EXPECT_EQ(f.ModelIndex, 5);
  EXPECT_EQ(f.VersionIndex, 1);
  // Getting the focus back with the window is not an enter.
  QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(f.ZAR101RadioButton, &back);
  EXPECT_EQ(f.ModelIndex, 5);

  f.ParaCheckListBox->addItem(QStringLiteral("one"));
  f.ParaCheckListBox->addItem(QStringLiteral("two"));
  for (int i = 0; i < 2; ++i) f.ParaCheckListBox->item(i)->setCheckState(Qt::Unchecked);
  f.SelAllBtn->click();
  EXPECT_EQ(f.ParaCheckListBox->item(1)->checkState(), Qt::Checked);
  f.CancelSelBtn->click();
  EXPECT_EQ(f.ParaCheckListBox->item(0)->checkState(), Qt::Unchecked);
}

TEST_F(MainFormTest, ManualOpensInTheWorkingDirectoryOrSaysWhyNot) {
  TMainForm& f = make();
  QString asked;
  f.openDocument = [&asked](const QString& path) {
    asked = path;
    return true;
  };
  f.SpeedButton1->click();
  EXPECT_EQ(asked.toStdString(), (dir_ / "zarlink-manual.pdf").string());

  f.openDocument = [](const QString&) { return false; };
  QString shown;
  QTimer::singleShot(0, [&shown] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  f.SpeedButton1->click();
  EXPECT_EQ(shown, QStringLiteral("Can't found Acrobat Reader(AcroRd32.exe)!!"));
}

TEST_F(MainFormTest, ManualOfTheProgramsLanguageWithTheEnglishOneInReserve) {
  QString asked;
  auto opener = [&asked](const QString& path) {
    asked = path;
    return true;
  };
  TMainForm& zh = make(0);
  zh.openDocument = opener;
  zh.SpeedButton1->click();
  EXPECT_EQ(asked.toStdString(), (dir_ / "zarlink-manual.pdf").string());  // no Chinese one yet
  std::ofstream(dir_ / "zarlink-manual-zh.pdf") << "%PDF-1.4\n";
  zh.SpeedButton1->click();
  EXPECT_EQ(asked.toStdString(), (dir_ / "zarlink-manual-zh.pdf").string());
  TMainForm& en = make(1);
  en.openDocument = opener;
  en.SpeedButton1->click();
  EXPECT_EQ(asked.toStdString(), (dir_ / "zarlink-manual.pdf").string());
}

TEST_F(MainFormTest, VersionButtonShowsTheAboutWindowWithItsCloseButton) {
  writeCatalogs();
  TMainForm& f = make(1);
  bool closeVisible = false;
  QString text;
  QTimer::singleShot(0, [&] {
    if (auto* about = qobject_cast<TAboutForm*>(QApplication::activeModalWidget())) {
      closeVisible = about->CloseBtn->isVisible();
      text = about->AboutText->text();
      about->CloseBtn->click();
    }
  });
  f.VersionBtn->click();
  EXPECT_TRUE(closeVisible);
  EXPECT_EQ(text, QStringLiteral("E100"));

  MessageCatalog catalog;
  TAboutForm splash(1, catalog, true);
  EXPECT_TRUE(splash.CloseBtn->isHidden());
}

TEST_F(MainFormTest, PortBoxShowsTheDeviceBehindEachEntry) {
  TMainForm& f = make(1);
  f.setPortDescriber([](int com) { return com == 2 ? std::string("/dev/ttyUSB0") : std::string(); });
  EXPECT_EQ(f.ComDeviceLabel->text(), QStringLiteral("/dev/ttyUSB0"));
  EXPECT_EQ(f.COM_Select->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0"));
  f.COM_Select->setCurrentIndex(0);
  EXPECT_FALSE(f.ComDeviceLabel->text().isEmpty());  // says there is no device
  EXPECT_LT(f.ComDeviceLabel->text().at(0).unicode(), 0x80);  // in English
  EXPECT_FALSE(f.COM_Select->itemData(0, Qt::ToolTipRole).isValid());
}

TEST_F(MainFormTest, PortBoxDescribesThePortDirectorysDevices) {
  TMainForm& f = make(1);
  f.portDirectory().overrideDevice(2, "/dev/pts/99", "virtual controller");
  f.refreshPortDevices();
  EXPECT_EQ(f.COM_Select->currentIndex(), 1);
  EXPECT_EQ(f.ComDeviceLabel->text(), QStringLiteral("virtual controller (/dev/pts/99)"));
  EXPECT_EQ(f.COM_Select->itemData(1, Qt::ToolTipRole).toString(), f.ComDeviceLabel->text());
  EXPECT_FALSE(f.CommPort.Enabled());
}

TEST_F(MainFormTest, StartUpPortOverridesStandBehindTheirComNumber) {
  form_ = std::make_unique<TMainForm>(
      MainFormOptions{dir_.string(), 1, {{2, "/dev/pts/99", "virtual controller"}}});
  EXPECT_EQ(form_->COM_Select->currentIndex(), 1);
  EXPECT_EQ(form_->ComDeviceLabel->text(), QStringLiteral("virtual controller (/dev/pts/99)"));

  // The embedded controller is named in the window's language.
  for (int language : {0, 1}) {
    form_ = std::make_unique<TMainForm>(MainFormOptions{dir_.string(), language, {{2, "/dev/pts/98", {}, true}}});
    const QString expected = language == 0 ? QStringLiteral("虛擬控制器 (/dev/pts/98)")
                                           : QStringLiteral("virtual controller (/dev/pts/98)");
    EXPECT_EQ(form_->ComDeviceLabel->text(), expected);
  }
}

TEST_F(MainFormTest, ProgramNamesCountBytesOfTheCatalogsEncoding) {
  // Chinese: Big5, two bytes a character.
  TMainForm& zh = make(0);
  QLineEdit* name = zh.ProgNameEdit;
  for (const QString& c : {QStringLiteral("零"), QStringLiteral("件"), QStringLiteral("一"), QStringLiteral("號"),
                           QStringLiteral("五")})
    type(name, Qt::Key_unknown, c);
  EXPECT_EQ(name->text(), QStringLiteral("零件一號"));
  EXPECT_EQ(zh.fromQt(name->text()).size(), 8u);
  type(name, Qt::Key_A, QStringLiteral("a"));
  EXPECT_EQ(name->text(), QStringLiteral("零件一號"));

  // Pasted: refused whole when it does not fit, never cut in a character.
  name->clear();
  name->insert(QStringLiteral("A零件一號"));  // 9 bytes
  EXPECT_EQ(name->text(), QString());
  name->insert(QStringLiteral("ab零件一"));   // 8 bytes
  EXPECT_EQ(name->text(), QStringLiteral("AB零件一"));
  name->clear();
  QApplication::clipboard()->setText(QStringLiteral("零件一號五"));
  name->paste();
  EXPECT_EQ(name->text(), QString());
  // A character Big5 cannot carry would travel as '?'.
  name->insert(QStringLiteral("A\u00e9"));
  EXPECT_EQ(name->text(), QString());

  // English: one byte a character; CJK is not in its code page.
  TMainForm& en = make(1);
  en.ProgNameEdit->insert(QStringLiteral("零件"));
  EXPECT_EQ(en.ProgNameEdit->text(), QString());
  en.ProgNameEdit->insert(QStringLiteral("PART-\u00c9"));
  EXPECT_EQ(en.ProgNameEdit->text(), QStringLiteral("PART-\u00c9"));
}

TEST_F(MainFormTest, AMissingCatalogIsNamedWithWhereItWasLookedFor) {
  TMainForm& en = make(1);
  const QString notice = en.missingDataNotice();
  EXPECT_TRUE(notice.contains(QStringLiteral("Message.E"))) << notice.toStdString();
  EXPECT_TRUE(notice.contains(QString::fromStdString(dir_.string()))) << notice.toStdString();
  EXPECT_TRUE(make(0).missingDataNotice().contains(QStringLiteral("Message.C")));

  writeCatalogs();
  EXPECT_TRUE(make(1).missingDataNotice().isEmpty());
  EXPECT_TRUE(make(0).missingDataNotice().isEmpty());
}

TEST_F(MainFormTest, TabReachesTheMessageAreaButtonsPastTheEditors) {
  TMainForm& f = make(1);
  f.show();
  QApplication::setActiveWindow(&f);
  // Tab from `start` as a person presses it, forty times: what gets the focus.
  auto tabFrom = [](QWidget* start) {
    start->setFocus();
    std::set<QWidget*> reached;
    for (int i = 0; i < 40; ++i) {
      QWidget* focus = QApplication::focusWidget();
      if (!focus) break;
      reached.insert(focus);
      QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
      QApplication::sendEvent(focus, &tab);
    }
    return reached;
  };
  const std::set<QWidget*> program = tabFrom(f.ProgNoEdit);
  for (QWidget* w : std::initializer_list<QWidget*>{f.ClrMsgBtn, f.MsgMemo, f.ProgramMemo, f.TransBtn, f.RcvBtn,
                                                     f.DelProgBtn, f.ReadFileBtn, f.WriteFileBtn, f.SimulatorBtn,
                                                     f.CloseBtn})
    EXPECT_TRUE(program.count(w)) << w->objectName().toStdString();
  f.PageControl->setCurrentIndex(2);
  const std::set<QWidget*> plc = tabFrom(f.ReadPLMBtn);
  for (QWidget* w : std::initializer_list<QWidget*>{f.ClrMsgBtn3, f.PLMMsgMemo, f.PLMMemo, f.PLMTrnBtn, f.CloseBtn3})
    EXPECT_TRUE(plc.count(w)) << w->objectName().toStdString();
}

TEST_F(MainFormTest, SimulatorButtonWithAnEmptyEditorOnlyReports) {
  writeCatalogs();
  TMainForm& f = make(1);
  f.ProgramMemo->clear();
  f.SimulatorBtn->click();  // nothing to convert: no window, message 198
  ASSERT_FALSE(f.MsgMemo->toPlainText().isEmpty());
  EXPECT_EQ(f.MsgMemo->toPlainText().split('\n').last(), QStringLiteral("E198"));
}

TEST_F(MainFormTest, PlcGutterFollowsThePlcEditor) {
  TMainForm& f = make();
  f.show();
  f.PageControl->setCurrentIndex(2);
  ASSERT_EQ(f.currentPage(), Page::Plc);
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i) lines.push_back("LD 000" + std::to_string(i % 10));
  f.setEditorLines(Page::Plc, lines);
  QCoreApplication::processEvents();
  f.PLMMemo->verticalScrollBar()->setValue(200);
  f.Timer1Timer();
  EXPECT_EQ(f.Memo2->verticalScrollBar()->value(), 200);
  EXPECT_EQ(f.Memo2->cursorForPosition(QPoint(2, 2)).block().text(), QStringLiteral("N0201"));
  f.PLMMemo->verticalScrollBar()->setValue(12);
  f.Timer1Timer();
  EXPECT_EQ(f.Memo2->verticalScrollBar()->value(), 12);
  // The program page's gutter is left alone meanwhile.
  EXPECT_EQ(f.Memo1->verticalScrollBar()->value(), 0);
  f.hide();
}

TEST_F(MainFormTest, SavedPortBeyondThePortCountFallsBackToCom2) {
  // Line 5 holds list index 9 (COM10) while the list has 8 ports.
  write("Init.Ini", "=1000\n=10\n=0,0,0,1\n=0\n=9\n=50\n=3000,1024,200,8\n");
  TMainForm& f = make();
  ASSERT_EQ(f.COM_Select->count(), 8);
  EXPECT_EQ(f.COM_Select->currentIndex(), 1);
  EXPECT_EQ(f.COM_Select->currentText(), QStringLiteral("COM2"));
  f.close();
  EXPECT_NE(slurp(dir_ / "Init.Ini").find("Default COM       = 1\r\n"), std::string::npos);
}

TEST_F(MainFormTest, PlcTransitDelayAboveTheBoxLimitIsKeptAtTheLimit) {
  write("Init.Ini", "=1000\n=10\n=0,0,0,1\n=0\n=1\n=20000\n=3000,1024,200,8\n");
  TMainForm& f = make();
  EXPECT_EQ(f.TransDelayValue->value(), 5000);
  f.close();  // untouched, it is written back at the limit
  EXPECT_NE(slurp(dir_ / "Init.Ini").find("PLC Transit Delay = 5000\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zar
