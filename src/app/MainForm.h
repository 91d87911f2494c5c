#pragma once
// The main window: it composes the three pages (NC program, parameters, PLC,
// each in its own *SheetForm file) and owns what they share: the settings
// record, the message catalog and log, the port and the link. It is the
// `Operator` the core dialogues talk to (message lines go into the current
// page's message area, dialogs are the catalog dialogs, editor lines are the
// page editors') and the `PageContext` the pages reach it through.
//
// The pages' controls and handlers stay reachable here under their names:
// the control members point at the pages' widgets, the handlers forward.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/QtPageContext.h"
#include "app/QtRadioGroup.h"
#include "base/Settings.h"
#include "link/Link.h"
#include "link/PortNames.h"
#include "link/ThreadComm.h"
#include "nc/ProgramTransfer.h"
#include "ui/DialogCaptions.h"
#include "ui/FileChoice.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"
#include "ui/Operator.h"

class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolButton;

namespace zar {

struct MainFormOptions {
  std::string workingDirectory;  // where "Init.Ini" lives; "" = the current directory
  int languageOverride = -1;     // 0 or 1 replaces the language of "Customer.ini" for the run
  // COM numbers that stand for another device this run (the embedded virtual
  // controller's terminal), with the label the port box shows for them.
  struct PortOverride {
    int comNumber;
    std::string devicePath;
    std::string label;               // UTF-8
    bool virtualController = false;  // labelled "virtual controller" in the window's language instead
  };
  std::vector<PortOverride> portOverrides;
};

class QtProgressStrip;
class TProgramSheetForm;
class TParameterSheetForm;
class TPlcSheetForm;

class TMainForm : public QWidget, public Operator, public PageContext {
  Q_OBJECT
  // Made before anything else: public members below stand for their
  // controls and state.
  TProgramSheetForm* programSheet_;
  TParameterSheetForm* parameterSheet_;
  TPlcSheetForm* plcSheet_;

 public:
  // The window's designed client size: its initial and minimum size.
  static constexpr int kClientWidth = 788;
  static constexpr int kClientHeight = 562;

  explicit TMainForm(const MainFormOptions& options = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- Operator
  Page currentPage() const override;
  void appendMessage(Page page, std::string_view line) override;
  void clearMessages(Page page) override;
  int showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                        int focus) override;
  void beep() override;
  void processEvents() override;
  std::vector<std::string> editorLines(Page page) const override;
  void setEditorLines(Page page, const std::vector<std::string>& lines) override;
  void appendEditorLine(Page page, std::string_view line) override;
  size_t editorLineCount(Page page) const override;
  std::string editorLine(Page page, size_t index) const override;

  // ---- PageContext (GetMessageText and AddMessage come with it)
  Operator& person() override { return *this; }
  const MessageCatalog& catalog() const override { return catalog_; }
  MessageLog& messageLog() override { return log_; }
  Settings& settings() override { return settings_; }
  const std::string& workingDirectory() const override { return workingDirectory_; }
  Link& link() override { return *link_; }
  // Runs one controller dialogue: with the transfer buttons of every page
  // disabled (the window stays live while replies are awaited, the link
  // pumps its events) and the link settings taken afresh. False, without
  // running `dialogue`, while another one runs. The dialogue itself takes
  // the link's DialogueGuard.
  bool runDialogue(const std::function<void()>& dialogue) override;
  bool dialogueRunning() const override { return dialogueRunning_; }
  int controllerModel() const override { return ModelIndex; }
  int controllerVersion() const override { return VersionIndex; }
  void setControllerModel(int modelIndex, int versionIndex, bool rebuildList) override;
  // The file choosers' shared state (chosen path, remembered names).
  FileChoice& fileChoice() override { return fileChoice_; }
  QWidget* dialogParent() override { return this; }
  // Converts between the core's 8-bit texts and the widgets' Unicode.
  QString toQt(std::string_view eightBit) const override;
  std::string fromQt(const QString& text) const override;

  // ---- Catalog dialogs
  // Refreshes the dialog button captions (messages 71-81) and selects kinds
  // first..first+count-1 for the next catalog dialog.
  void SetDialogButtonCaptions(int first, int count) { dialogCaptions_.SetDialogButtonCaptions(first, count); }
  const DialogCaptions& dialogCaptions() const { return dialogCaptions_; }

  // ---- State
  const Settings& settings() const { return settings_; }
  int language() const { return settings_.language; }
  const std::string& initIniPath() const { return initIniPath_; }
  // Remembered file name of a page ("TMP" at start-up).
  std::string& lastFileName(Page page);
  // The PLC page's current file path; "Tmp.mcn" each time the page is entered.
  std::string& plcFilePath();
  bool delayBoxShown() const;
  int beepCount() const { return beeps_; }

  // The parameter page's model and version.
  int& ModelIndex;    // 0..5: 102, 202, 302, 101, 200, 300
  int& VersionIndex;  // 0..2: SD, K, M

  // Replaces the catalog dialog (tests, screenshots): gets what the dialog
  // would show and returns the dialog result.
  using DialogAnswerer =
      std::function<int(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons, int focus)>;
  void setDialogAnswerer(DialogAnswerer answerer) { answerer_ = std::move(answerer); }

  // The serial port and the COM numbers of the devices ("Ports.ini" in the
  // working directory).
  TComm CommPort;
  PortDirectory& portDirectory() { return *ports_; }

  // ---- Link primitives over CommPort with the link settings, on the port
  // chosen in COM_Select.
  void ConnectRS232();
  bool TransToZAR(std::string_view frame) { return link_->TransToZAR(frame); }
  bool TransStr(std::string_view frame) { return link_->TransStr(frame); }
  bool ReceiveFromZAR(int limit, int report) { return link_->ReceiveFromZAR(limit, report); }
  bool ReceiveZARProgNo(int limit, int report) { return link_->ReceiveZARProgNo(limit, report); }
  void DelayMs(unsigned ms) { link_->DelayMs(ms); }

  // The buttons that start a controller dialogue, on every page.
  std::vector<QPushButton*> transferButtons() const;
  // What a dialogue started on the current page locks: every transfer
  // button and the page's own list.
  std::vector<QWidget*> dialogueLocks() const;

  // The program page's fields as the program dialogues and files take them.
  nc::ProgramPage programPage() const;

  // Names the device behind COM n for the port box (tooltip and the label
  // under it); an empty text says nothing is known. By default the port
  // directory describes them.
  using PortDescriber = std::function<std::string(int comNumber)>;
  void setPortDescriber(PortDescriber describer);
  // Shows again which device each COM entry stands for (after the port
  // directory changed).
  void refreshPortDevices();

  // What the person must be told once at start-up about data files that
  // were not found (the message catalog), in the window's language; empty
  // when everything is there.
  QString missingDataNotice() const;

  // Called once, when the window has been painted for the first time.
  void setFirstPaintCallback(std::function<void()> callback) { firstPaint_ = std::move(callback); }

  // Parameter tables of the parameter page: loaded once; the check list is
  // rebuilt for a model (and the current version and language).
  void LoadAddressTables();
  void SetParameterList(int model);

  // The strip under the pages that follows a running dialogue.
  QtProgressStrip* progressStrip() const { return progressStrip_; }

  // ---- Controls. Program page.
  QTabWidget* PageControl = nullptr;
  QWidget* ProgramSheet = nullptr;
  QLabel* Label1 = nullptr;          // editor caption
  QLabel* FileNameLabel = nullptr;
  QPlainTextEdit* Memo1 = nullptr;   // line-number gutter
  QPlainTextEdit* ProgramMemo = nullptr;
  QLabel* Label2 = nullptr;          // message area caption
  QPlainTextEdit* MsgMemo = nullptr;
  QLabel* Label3 = nullptr;          // slot number caption
  QSpinBox* ProgNoEdit = nullptr;
  QLabel* Label4 = nullptr;          // program name caption
  QLineEdit* ProgNameEdit = nullptr;
  QLineEdit* TmpProgNameEdit = nullptr;
  TRadioGroup* TypeSel = nullptr;
  QLabel* Label11 = nullptr;         // port caption
  QComboBox* COM_Select = nullptr;
  QLabel* ComDeviceLabel = nullptr;  // the device behind the chosen COM entry
  QPushButton* TransBtn = nullptr;
  QPushButton* RcvBtn = nullptr;
  QPushButton* DelProgBtn = nullptr;
  QPushButton* ReadFileBtn = nullptr;
  QPushButton* WriteFileBtn = nullptr;
  QPushButton* SimulatorBtn = nullptr;
  QPushButton* AutoDetectBtn = nullptr;
  QPushButton* MultipleBtn = nullptr;
  QPushButton* ClrMsgBtn = nullptr;
  QPushButton* CloseBtn = nullptr;
  QPushButton* VersionBtn = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  // Parameter page.
  QWidget* ParameterSheet = nullptr;
  QLabel* ParFileNameLabel = nullptr;
  QLabel* Label7 = nullptr;          // editor caption
  QPlainTextEdit* ParameterMemo = nullptr;
  QPushButton* ReadParBtn = nullptr;
  QPushButton* WriteParBtn = nullptr;
  QLabel* Label6 = nullptr;          // message area caption
  QPlainTextEdit* ParMsgMemo = nullptr;
  QPushButton* ClrMsgBtn2 = nullptr;
  QGroupBox* ModelGroup = nullptr;
  QRadioButton* ZAR102RadioButton = nullptr;
  QRadioButton* ZAR202RadioButton = nullptr;
  QRadioButton* ZAR302RadioButton = nullptr;
  QRadioButton* ZAR101RadioButton = nullptr;
  QRadioButton* ZAR200RadioButton = nullptr;
  QRadioButton* ZAR300RadioButton = nullptr;
  QLabel* Label10 = nullptr;         // version caption
  QFrame* VersionPanel = nullptr;
  QRadioButton* VerSDRadioBtn = nullptr;
  QRadioButton* VerKRadioBtn = nullptr;
  QRadioButton* VerMRadioBtn = nullptr;
  QLabel* Label5 = nullptr;          // check list caption
  QListWidget* ParaCheckListBox = nullptr;
  QPushButton* SelAllBtn = nullptr;
  QPushButton* CancelSelBtn = nullptr;
  QPushButton* ParTrnBtn = nullptr;
  QPushButton* ParRcvBtn = nullptr;
  QPushButton* CloseBtn2 = nullptr;
  // PLC page.
  QWidget* PLMSheet = nullptr;
  QLabel* Label8 = nullptr;          // editor caption
  QLabel* PLMFileNameLabel = nullptr;
  QPlainTextEdit* Memo2 = nullptr;   // line-number gutter
  QPlainTextEdit* PLMMemo = nullptr;
  QLabel* Label9 = nullptr;          // message area caption
  QPlainTextEdit* PLMMsgMemo = nullptr;
  QPlainTextEdit* TmpMemo = nullptr; // received records, never shown
  QLabel* Progress = nullptr;
  QPushButton* ReadPLMBtn = nullptr;
  QPushButton* WritePLMBtn = nullptr;
  QPushButton* PLMTrnBtn = nullptr;
  QPushButton* PLMRcvBtn = nullptr;
  QPushButton* ClrMsgBtn3 = nullptr;
  QSpinBox* TransDelayValue = nullptr;
  QPushButton* CloseBtn3 = nullptr;

  QTimer* Timer1 = nullptr;

 public slots:
  // The window's own handlers.
  void FormCreate();
  void PageControlChange(int index);
  void Timer1Timer();
  void CloseBtnClick();
  void VersionBtnClick();
  void SpeedButton1Click();
  // The pages' handlers, forwarded to the page that holds them.
  void ProgramSheetMouseDown(Qt::KeyboardModifiers modifiers);
  void PLMSheetMouseDown(Qt::KeyboardModifiers modifiers);
  void ClrMsgBtnClick();
  void ClrMsgBtn2Click();
  void ClrMsgBtn3Click();
  void TransDelayValueChange(int value);
  // Model and version selectors act when a button receives the focus.
  void ZAR102RadioButtonEnter();
  void ZAR202RadioButtonEnter();
  void ZAR302RadioButtonEnter();
  void ZAR101RadioButtonEnter();
  void ZAR200RadioButtonEnter();
  void ZAR300RadioButtonEnter();
  void VerSDRadioBtnEnter();
  void VerKRadioBtnEnter();
  void VerMRadioBtnEnter();
  void SelAllBtnClick();
  void CancelSelBtnClick();
  // Transfers and files of the pages.
  void TransBtnClick();
  void RcvBtnClick();
  void DelProgBtnClick();
  void ReadFileBtnClick();
  void WriteFileBtnClick();
  void SimulatorBtnClick();
  void AutoDetectBtnClick();
  void MultipleBtnClick();
  void ReadParBtnClick();
  void WriteParBtnClick();
  void ParTrnBtnClick();
  void ParRcvBtnClick();
  void ReadPLMBtnClick();
  void WritePLMBtnClick();
  void PLMTrnBtnClick();
  void PLMRcvBtnClick();

 public:
  // Key handlers; true when the key was consumed.
  bool ProgramMemoKeyPress(QObject* editor, QKeyEvent* event);
  bool COM_SelectKeyPress(QKeyEvent* event);
  bool TransDelayValueKeyPress(QKeyEvent* event);

  // Name of the manual opened by the manual button, in the working directory.
  static constexpr const char* kManualFileName = "zarlink-manual.pdf";
  // The Traditional Chinese manual, opened in the Chinese configuration when present.
  static constexpr const char* kChineseManualFileName = "zarlink-manual-zh.pdf";
  // Text shown when no viewer could open the manual.
  static constexpr const char* kManualFailureText = "Can't found Acrobat Reader(AcroRd32.exe)!!";
  // Opens a document with the desktop's viewer; replaceable for tests.
  std::function<bool(const QString& path)> openDocument;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormClose
  void paintEvent(QPaintEvent* event) override;

 private:
  // Points the control members at the pages' widgets.
  void takePageControls();
  void setCaptions();
  void fillGutters();
  void fillPortBox();
  void closeCommPort();
  void FormClose();
  // Exit while a dialogue runs: asks whether to stop it; on yes the
  // dialogue is cancelled and the window closes once it has ended. True
  // when the person said yes.
  bool askToStopDialogue();
  QPlainTextEdit* messageArea(Page page) const;
  QPlainTextEdit* editor(Page page) const;

  Settings settings_;
  MessageCatalog catalog_;
  MessageLog log_;
  std::string workingDirectory_;
  std::string initIniPath_;
  FileChoice fileChoice_;
  Page page_ = Page::Program;
  int beeps_ = 0;
  DialogCaptions dialogCaptions_;
  DialogAnswerer answerer_;
  std::unique_ptr<PortDirectory> ports_;
  std::unique_ptr<Link> link_;
  QtProgressStrip* progressStrip_ = nullptr;
  PortDescriber describePort_;
  std::function<void()> firstPaint_;
  bool dialogueRunning_ = false;
  bool stopQuestionShown_ = false;
  bool exitAfterDialogue_ = false;
};

}  // namespace zar
