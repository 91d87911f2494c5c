#include "app/MainForm.h"

#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

#include "app/AboutForm.h"
#include "app/ParameterSheetForm.h"
#include "app/PlcSheetForm.h"
#include "app/ProgramSheetForm.h"
#include "app/QtControls.h"
#include "app/QtDialogueLock.h"
#include "app/QtEditorColumn.h"
#include "app/QtProgressStrip.h"
#include "app/QtUnsavedWork.h"
#include "base/FileLocator.h"
#include "ui/MessageForm.h"
#include "ui/QtText.h"

namespace zar {

TMainForm::TMainForm(const MainFormOptions& options, QWidget* parent)
    : QWidget(parent),
      programSheet_(new TProgramSheetForm(*this)),
      parameterSheet_(new TParameterSheetForm(*this)),
      plcSheet_(new TPlcSheetForm(*this)),
      ModelIndex(parameterSheet_->ModelIndex),
      VersionIndex(parameterSheet_->VersionIndex),
      log_(catalog_, *this) {
  // 1. The window and its pages.
  setObjectName(QStringLiteral("MainForm"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  // The designed size is where the window starts and the least it shrinks
  // to; larger, the editors take the room.
  setMinimumSize(kClientWidth, kClientHeight);
  resize(kClientWidth, kClientHeight);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  PageControl = named(new QTabWidget(this), "PageControl");
  outer->addWidget(PageControl);
  PageControl->addTab(programSheet_, QString());
  PageControl->addTab(parameterSheet_, QString());
  PageControl->addTab(plcSheet_, QString());
  takePageControls();
  connect(COM_Select, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
    settings_.defaultPort = index;
    refreshPortDevices();
  });
  for (QPushButton* close : {CloseBtn, CloseBtn2, CloseBtn3})
    connect(close, &QPushButton::clicked, this, &TMainForm::CloseBtnClick);
  connect(VersionBtn, &QPushButton::clicked, this, &TMainForm::VersionBtnClick);
  connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
  Timer1 = named(new QTimer(this), "Timer1");
  Timer1->setInterval(10);
  connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  openDocument = [](const QString& path) {
    return QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };

  // 2.-3. Defaults, then "Init.Ini" from the working directory.
  std::error_code ec;
  workingDirectory_ = options.workingDirectory.empty() ? std::filesystem::current_path(ec).string()
                                                       : options.workingDirectory;
  workingDirectory_ = std::filesystem::absolute(workingDirectory_, ec).lexically_normal().string();
  if (workingDirectory_.size() > 1 && workingDirectory_.back() == '/') workingDirectory_.pop_back();
  loadInitIni(settings_, workingDirectory_);
  ports_ = std::make_unique<PortDirectory>(workingDirectory_);
  describePort_ = [this](int comNumber) { return ports_->describe(comNumber); };

  // 4. Gutters.
  fillGutters();
  // 5. A port index beyond the list means COM2.
  if (settings_.defaultPort > settings_.portCount) settings_.defaultPort = 1;
  // 6. The PLC delay box (its change handler stores what the box accepts).
  TransDelayValue->setValue(settings_.plcTransitDelay);
  TransDelayValueChange(TransDelayValue->value());
  // 7. The port box.
  fillPortBox();
  // 8. "Customer.ini": language and baud selector.
  const CustomerSettings customer = loadCustomerIni(workingDirectory_);
  settings_.language = customer.language;
  settings_.baudSelector = customer.baudSelector;
  settings_.splashTime = customer.splashTime;
  if (options.languageOverride == 0 || options.languageOverride == 1) settings_.language = options.languageOverride;
  for (const auto& o : options.portOverrides) {
    ports_->overrideDevice(o.comNumber, o.devicePath,
                           o.virtualController ? shellTexts(settings_.language).virtualController : o.label);
  }
  // The link primitives over the port, with these settings; the port's line
  // events reach this thread through the event loop.
  link_ = std::make_unique<Link>(CommPort, LinkSettings::from(settings_), log_, ports_.get());
  progressStrip_ = new QtProgressStrip(*link_, this, this);
  outer->addWidget(progressStrip_);
  CommPort.SetDispatcher([this](std::function<void()> task) {
    if (QThread::currentThread() == thread()) {
      task();
      return;
    }
    QMetaObject::invokeMethod(this, [&task] { task(); }, Qt::BlockingQueuedConnection);
  });
  // 9. Remembered file names.
  fileChoice_.LastFileName = {"TMP", "TMP", "TMP"};
  // 10. Where "Init.Ini" is: the working directory for the run.
  initIniPath_ = FileLocator(workingDirectory_).writePath(FileKind::Config, kInitIniName);
  // 11.-12. Catalog and captions.
  catalog_.load(workingDirectory_, settings_.language);
  dialogCaptions_.setCatalog(catalog_);
  setCaptions();
  progressStrip_->setCancelCaption(catalogText(catalog_, 74));  // the Cancel button caption
  // 14. Program page first; parameter tables for model 102, version K.
  PageControl->setCurrentIndex(0);
  LoadAddressTables();
  ModelIndex = 0;
  VersionIndex = 1;
  ZAR102RadioButton->setChecked(true);
  VerKRadioBtn->setChecked(true);
  SetParameterList(0);
  page_ = Page::Program;
  SetDialogButtonCaptions(0, 0);
  connect(PageControl, &QTabWidget::currentChanged, this, &TMainForm::PageControlChange);
  Timer1->start();

  FormCreate();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TMainForm::~TMainForm() = default;

QString TMainForm::missingDataNotice() const {
  const FileLocator files(workingDirectory_);
  const std::string name = MessageCatalog::fileNameFor(settings_.language);
  if (!files.find(FileKind::Data, name).empty()) return {};
  std::string where;
  for (const std::string& directory : files.searchedDirectories(FileKind::Data)) {
    where += (where.empty() ? "" : ", ") + directory;
  }
  return QString::fromUtf8(shellTexts(settings_.language).missingCatalog)
      .arg(QString::fromStdString(name), QString::fromStdString(where));
}

void TMainForm::FormCreate() { setWindowTitle(productTitle(settings_.language)); }

// ---------------------------------------------------------------- the pages

void TMainForm::takePageControls() {
  TProgramSheetForm& p = *programSheet_;
  ProgramSheet = programSheet_;
  Label1 = p.Label1;
  FileNameLabel = p.FileNameLabel;
  Memo1 = p.Memo1;
  ProgramMemo = p.ProgramMemo;
  Label2 = p.Label2;
  MsgMemo = p.MsgMemo;
  Label3 = p.Label3;
  ProgNoEdit = p.ProgNoEdit;
  Label4 = p.Label4;
  ProgNameEdit = p.ProgNameEdit;
  TmpProgNameEdit = p.TmpProgNameEdit;
  TypeSel = p.TypeSel;
  Label11 = p.Label11;
  COM_Select = p.COM_Select;
  ComDeviceLabel = p.ComDeviceLabel;
  TransBtn = p.TransBtn;
  RcvBtn = p.RcvBtn;
  DelProgBtn = p.DelProgBtn;
  ReadFileBtn = p.ReadFileBtn;
  WriteFileBtn = p.WriteFileBtn;
  SimulatorBtn = p.SimulatorBtn;
  AutoDetectBtn = p.AutoDetectBtn;
  MultipleBtn = p.MultipleBtn;
  ClrMsgBtn = p.ClrMsgBtn;
  CloseBtn = p.CloseBtn;
  VersionBtn = p.VersionBtn;
  SpeedButton1 = p.SpeedButton1;

  TParameterSheetForm& q = *parameterSheet_;
  ParameterSheet = parameterSheet_;
  ParFileNameLabel = q.ParFileNameLabel;
  Label7 = q.Label7;
  ParameterMemo = q.ParameterMemo;
  ReadParBtn = q.ReadParBtn;
  WriteParBtn = q.WriteParBtn;
  Label6 = q.Label6;
  ParMsgMemo = q.ParMsgMemo;
  ClrMsgBtn2 = q.ClrMsgBtn2;
  ModelGroup = q.ModelGroup;
  ZAR102RadioButton = q.ZAR102RadioButton;
  ZAR202RadioButton = q.ZAR202RadioButton;
  ZAR302RadioButton = q.ZAR302RadioButton;
  ZAR101RadioButton = q.ZAR101RadioButton;
  ZAR200RadioButton = q.ZAR200RadioButton;
  ZAR300RadioButton = q.ZAR300RadioButton;
  Label10 = q.Label10;
  VersionPanel = q.VersionPanel;
  VerSDRadioBtn = q.VerSDRadioBtn;
  VerKRadioBtn = q.VerKRadioBtn;
  VerMRadioBtn = q.VerMRadioBtn;
  Label5 = q.Label5;
  ParaCheckListBox = q.ParaCheckListBox;
  SelAllBtn = q.SelAllBtn;
  CancelSelBtn = q.CancelSelBtn;
  ParTrnBtn = q.ParTrnBtn;
  ParRcvBtn = q.ParRcvBtn;
  CloseBtn2 = q.CloseBtn2;

  TPlcSheetForm& r = *plcSheet_;
  PLMSheet = plcSheet_;
  Label8 = r.Label8;
  PLMFileNameLabel = r.PLMFileNameLabel;
  Memo2 = r.Memo2;
  PLMMemo = r.PLMMemo;
  Label9 = r.Label9;
  PLMMsgMemo = r.PLMMsgMemo;
  TmpMemo = r.TmpMemo;
  Progress = r.Progress;
  ReadPLMBtn = r.ReadPLMBtn;
  WritePLMBtn = r.WritePLMBtn;
  PLMTrnBtn = r.PLMTrnBtn;
  PLMRcvBtn = r.PLMRcvBtn;
  ClrMsgBtn3 = r.ClrMsgBtn3;
  TransDelayValue = r.TransDelayValue;
  CloseBtn3 = r.CloseBtn3;
}

void TMainForm::setCaptions() {
  const struct {
    int id;
    QWidget* sheet;
  } tabs[] = {{11, ProgramSheet}, {31, ParameterSheet}, {51, PLMSheet}};
  for (const auto& t : tabs) PageControl->setTabText(PageControl->indexOf(t.sheet), catalogText(catalog_, t.id));
  programSheet_->setCaptions();
  parameterSheet_->setCaptions();
  plcSheet_->setCaptions();
  refreshPortDevices();  // its texts are in the language too
}

void TMainForm::fillGutters() {
  fillGutter(Memo1, settings_.ncGutterLines);
  fillGutter(Memo2, settings_.plcGutterLines);
}

void TMainForm::fillPortBox() {
  const QSignalBlocker quiet(COM_Select);
  COM_Select->clear();
  for (int n = 1; n <= settings_.portCount; ++n) COM_Select->addItem(QStringLiteral("COM%1").arg(n));
  const int index = settings_.defaultPort;
  COM_Select->setCurrentIndex(index >= 0 && index < COM_Select->count() ? index : -1);
  refreshPortDevices();
}

void TMainForm::setPortDescriber(PortDescriber describer) {
  describePort_ = std::move(describer);
  refreshPortDevices();
}

void TMainForm::refreshPortDevices() {
  for (int i = 0; i < COM_Select->count(); ++i) {
    const std::string device = describePort_ ? describePort_(i + 1) : std::string();
    COM_Select->setItemData(i, device.empty() ? QVariant() : QVariant(QString::fromStdString(device)),
                            Qt::ToolTipRole);
  }
  const int index = COM_Select->currentIndex();
  const std::string device = index >= 0 && describePort_ ? describePort_(index + 1) : std::string();
  if (index >= 0 && device.empty()) {
    ComDeviceLabel->setText(QString::fromUtf8(shellTexts(settings_.language).noDevice));
  } else {
    ComDeviceLabel->setText(QString::fromStdString(device));
  }
  ComDeviceLabel->setToolTip(QString::fromStdString(device));
}

// ---------------------------------------------------------------- Operator

Page TMainForm::currentPage() const { return page_; }

QPlainTextEdit* TMainForm::messageArea(Page page) const {
  switch (page == Page::None ? page_ : page) {
    case Page::Parameter: return ParMsgMemo;
    case Page::Plc: return PLMMsgMemo;
    default: return MsgMemo;
  }
}

QPlainTextEdit* TMainForm::editor(Page page) const {
  switch (page == Page::None ? page_ : page) {
    case Page::Parameter: return ParameterMemo;
    case Page::Plc: return PLMMemo;
    default: return ProgramMemo;
  }
}

QString TMainForm::toQt(std::string_view eightBitText) const { return qtext(eightBitText, settings_.language); }

std::string TMainForm::fromQt(const QString& text) const { return eightBit(text, settings_.language); }

void TMainForm::appendMessage(Page page, std::string_view line) { messageArea(page)->appendPlainText(toQt(line)); }
void TMainForm::clearMessages(Page page) { messageArea(page)->clear(); }

int TMainForm::showCatalogDialog(std::string_view text, DialogType type, const std::vector<ButtonKind>& buttons,
                                 int focus) {
  // The dialogues of the pages ask through the operator without refreshing
  // the button captions themselves: take those of the kinds shown from the
  // catalog here, so no dialog keeps the plain English names.
  for (ButtonKind kind : buttons) SetDialogButtonCaptions(static_cast<int>(kind), 1);
  if (answerer_) return answerer_(text, type, buttons, focus);
  return ShowCatalogDialog(std::string(text), type, buttons, focus, 0, dialogCaptions_, this);
}

void TMainForm::beep() {
  ++beeps_;
  QApplication::beep();
}

void TMainForm::processEvents() { QCoreApplication::processEvents(); }

std::vector<std::string> TMainForm::editorLines(Page page) const {
  const QTextDocument* doc = editor(page)->document();
  std::vector<std::string> lines;
  if (doc->isEmpty()) return lines;
  lines.reserve(static_cast<size_t>(doc->blockCount()));
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) lines.push_back(fromQt(b.text()));
  // Like an edit control's line list, a last empty line after the final line
  // end is not a line of its own.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

void TMainForm::setEditorLines(Page page, const std::vector<std::string>& lines) {
  QString text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += QLatin1Char('\n');
    text += toQt(lines[i]);
  }
  editor(page)->setPlainText(text);
}

void TMainForm::appendEditorLine(Page page, std::string_view line) { editor(page)->appendPlainText(toQt(line)); }

size_t TMainForm::editorLineCount(Page page) const {
  const QTextDocument* doc = editor(page)->document();
  if (doc->isEmpty()) return 0;
  size_t count = static_cast<size_t>(doc->blockCount());
  if (doc->lastBlock().text().isEmpty()) --count;  // as editorLines() counts
  return count;
}

std::string TMainForm::editorLine(Page page, size_t index) const {
  const QTextBlock block = editor(page)->document()->findBlockByNumber(static_cast<int>(index));
  return block.isValid() ? fromQt(block.text()) : std::string();
}

std::string& TMainForm::lastFileName(Page page) {
  const int index = page == Page::None ? static_cast<int>(page_) : static_cast<int>(page);
  return fileChoice_.LastFileName[static_cast<size_t>(index < 0 || index > 2 ? 0 : index)];
}

// ---------------------------------------------------------------- the window's handlers

void TMainForm::PageControlChange(int index) {
  AutoDetectBtn->hide();
  plcSheet_->hideDelayBox();
  switch (index) {
    case 1:
      SetParameterList(ModelIndex);
      page_ = Page::Parameter;
      break;
    case 0:
      page_ = Page::Program;
      break;
    case 2:
      beep();
      SetDialogButtonCaptions(static_cast<int>(ButtonKind::OK), 1);
      showCatalogDialog(GetMessageText(55), DialogType::Warning, {ButtonKind::OK}, 0);
      page_ = Page::Plc;
      plcFilePath() = "Tmp.mcn";
      break;
    default:
      break;
  }
}

void TMainForm::Timer1Timer() {
  if (page_ == Page::Program) {
    followGutter(ProgramMemo, Memo1);
  } else if (page_ == Page::Plc) {
    followGutter(PLMMemo, Memo2);
  }
}

void TMainForm::CloseBtnClick() {
  // Closing runs the window's close handling: questions first, then the
  // port and the settings.
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // The dialogue's handler is still running below this event: the window
  // closes when it has ended.
  if (dialogueRunning_) {
    event->ignore();
    askToStopDialogue();
    return;
  }
  // Each page's edited text, asked for in page order.
  if (!confirmDiscard(*this, programSheet_->editorBaseline(), programSheet_->pageName()) ||
      !confirmDiscard(*this, parameterSheet_->editorBaseline(), parameterSheet_->pageName()) ||
      !confirmDiscard(*this, plcSheet_->editorBaseline(), plcSheet_->pageName())) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  closeCommPort();
  settings_.defaultPort = COM_Select->currentIndex();
  // Into the working directory of the start-up, whatever the current one is now.
  // Settings that cannot be kept (no home folder, a read-only disk, a file
  // where the folder should be) are said once; the window closes all the same.
  std::string why;
  if (!saveInitIni(settings_, settings_.defaultPort, workingDirectory_, &why)) {
    std::fprintf(stderr, "zarlink: settings not saved: %s\n", why.c_str());
  }
}

void TMainForm::closeCommPort() {
  if (CommPort.Enabled()) CommPort.Close();
}

void TMainForm::VersionBtnClick() {
  TAboutForm about(settings_.language, catalog_, false, this);
  about.exec();
}

void TMainForm::SpeedButton1Click() {
  const FileLocator files(workingDirectory_);
  std::string path = settings_.language == 0 ? files.find(FileKind::Data, kChineseManualFileName) : std::string();
  if (path.empty()) path = files.readPath(FileKind::Data, kManualFileName);
  const QString manual = QString::fromStdString(path);
  if (openDocument && openDocument(manual)) return;
  QMessageBox box(QMessageBox::NoIcon, productTitle(settings_.language), QString::fromLatin1(kManualFailureText),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ManualFailureBox"));
  box.exec();
}

void TMainForm::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (firstPaint_) {
    auto callback = std::move(firstPaint_);
    firstPaint_ = nullptr;
    callback();
  }
}

// ---------------------------------------------------------------- link and dialogues

void TMainForm::ConnectRS232() { link_->ConnectRS232(COM_Select->currentIndex()); }

std::vector<QPushButton*> TMainForm::transferButtons() const {
  std::vector<QPushButton*> buttons = programSheet_->transferButtons();
  for (const auto& more : {parameterSheet_->transferButtons(), plcSheet_->transferButtons()})
    buttons.insert(buttons.end(), more.begin(), more.end());
  return buttons;
}

std::vector<QWidget*> TMainForm::dialogueLocks() const {
  std::vector<QWidget*> locks;
  for (QPushButton* button : transferButtons()) locks.push_back(button);
  // The page the dialogue runs on; the others are out of reach meanwhile.
  std::vector<QWidget*> page;
  switch (page_) {
    case Page::Program: page = programSheet_->dialogueLocks(); break;
    case Page::Parameter: page = parameterSheet_->dialogueLocks(); break;
    case Page::Plc: page = plcSheet_->dialogueLocks(); break;
    default: break;
  }
  locks.insert(locks.end(), page.begin(), page.end());
  return locks;
}

bool TMainForm::runDialogue(const std::function<void()>& dialogue) {
  if (dialogueRunning_ || link_->busy()) return false;
  link_->setSettings(LinkSettings::from(settings_));
  {
    const DialogueLock lock(dialogueLocks(), PageControl);
    dialogueRunning_ = true;
    struct Ended {
      bool& running;
      ~Ended() { running = false; }
    } ended{dialogueRunning_};
    dialogue();
  }
  // Exit was asked for while the dialogue ran.
  if (exitAfterDialogue_) {
    exitAfterDialogue_ = false;
    close();
  }
  return true;
}

bool TMainForm::askToStopDialogue() {
  // One question at a time: the dialogue waits behind it.
  if (stopQuestionShown_ || exitAfterDialogue_) return false;
  stopQuestionShown_ = true;
  const bool stop = askYesNo(*this, QString::fromUtf8(shellTexts(settings_.language).stopDialogue));
  stopQuestionShown_ = false;
  if (!stop) return false;
  // The dialogue stops at its next frame boundary (or while it waits for a
  // reply), closes the port and says so; then the window closes.
  exitAfterDialogue_ = true;
  link_->requestCancel();
  return true;
}

// ---------------------------------------------------------------- the pages' state and handlers

nc::ProgramPage TMainForm::programPage() const { return programSheet_->programPage(); }
std::string& TMainForm::plcFilePath() { return plcSheet_->filePath(); }
bool TMainForm::delayBoxShown() const { return plcSheet_->delayBoxShown(); }
void TMainForm::LoadAddressTables() { parameterSheet_->LoadAddressTables(); }
void TMainForm::SetParameterList(int model) { parameterSheet_->SetParameterList(model); }
void TMainForm::setControllerModel(int modelIndex, int versionIndex, bool rebuildList) {
  parameterSheet_->takeIdentity(modelIndex, versionIndex, rebuildList);
}

void TMainForm::ProgramSheetMouseDown(Qt::KeyboardModifiers modifiers) {
  programSheet_->ProgramSheetMouseDown(modifiers);
}
void TMainForm::ClrMsgBtnClick() { programSheet_->ClrMsgBtnClick(); }
void TMainForm::TransBtnClick() { programSheet_->TransBtnClick(); }
void TMainForm::RcvBtnClick() { programSheet_->RcvBtnClick(); }
void TMainForm::DelProgBtnClick() { programSheet_->DelProgBtnClick(); }
void TMainForm::ReadFileBtnClick() { programSheet_->ReadFileBtnClick(); }
void TMainForm::WriteFileBtnClick() { programSheet_->WriteFileBtnClick(); }
void TMainForm::SimulatorBtnClick() { programSheet_->SimulatorBtnClick(); }
void TMainForm::AutoDetectBtnClick() { programSheet_->AutoDetectBtnClick(); }
void TMainForm::MultipleBtnClick() { programSheet_->MultipleBtnClick(); }
bool TMainForm::ProgramMemoKeyPress(QObject* editorWidget, QKeyEvent* event) {
  return programSheet_->ProgramMemoKeyPress(editorWidget, event);
}
bool TMainForm::COM_SelectKeyPress(QKeyEvent* event) { return programSheet_->COM_SelectKeyPress(event); }

void TMainForm::ClrMsgBtn2Click() { parameterSheet_->ClrMsgBtn2Click(); }
void TMainForm::ZAR102RadioButtonEnter() { parameterSheet_->ZAR102RadioButtonEnter(); }
void TMainForm::ZAR202RadioButtonEnter() { parameterSheet_->ZAR202RadioButtonEnter(); }
void TMainForm::ZAR302RadioButtonEnter() { parameterSheet_->ZAR302RadioButtonEnter(); }
void TMainForm::ZAR101RadioButtonEnter() { parameterSheet_->ZAR101RadioButtonEnter(); }
void TMainForm::ZAR200RadioButtonEnter() { parameterSheet_->ZAR200RadioButtonEnter(); }
void TMainForm::ZAR300RadioButtonEnter() { parameterSheet_->ZAR300RadioButtonEnter(); }
void TMainForm::VerSDRadioBtnEnter() { parameterSheet_->VerSDRadioBtnEnter(); }
void TMainForm::VerKRadioBtnEnter() { parameterSheet_->VerKRadioBtnEnter(); }
void TMainForm::VerMRadioBtnEnter() { parameterSheet_->VerMRadioBtnEnter(); }
void TMainForm::SelAllBtnClick() { parameterSheet_->SelAllBtnClick(); }
void TMainForm::CancelSelBtnClick() { parameterSheet_->CancelSelBtnClick(); }
void TMainForm::ReadParBtnClick() { parameterSheet_->ReadParBtnClick(); }
void TMainForm::WriteParBtnClick() { parameterSheet_->WriteParBtnClick(); }
void TMainForm::ParTrnBtnClick() { parameterSheet_->ParTrnBtnClick(); }
void TMainForm::ParRcvBtnClick() { parameterSheet_->ParRcvBtnClick(); }

void TMainForm::PLMSheetMouseDown(Qt::KeyboardModifiers modifiers) { plcSheet_->PLMSheetMouseDown(modifiers); }
void TMainForm::ClrMsgBtn3Click() { plcSheet_->ClrMsgBtn3Click(); }
void TMainForm::TransDelayValueChange(int value) { plcSheet_->TransDelayValueChange(value); }
void TMainForm::ReadPLMBtnClick() { plcSheet_->ReadPLMBtnClick(); }
void TMainForm::WritePLMBtnClick() { plcSheet_->WritePLMBtnClick(); }
void TMainForm::PLMTrnBtnClick() { plcSheet_->PLMTrnBtnClick(); }
void TMainForm::PLMRcvBtnClick() { plcSheet_->PLMRcvBtnClick(); }
bool TMainForm::TransDelayValueKeyPress(QKeyEvent* event) { return plcSheet_->TransDelayValueKeyPress(event); }

}  // namespace zar
