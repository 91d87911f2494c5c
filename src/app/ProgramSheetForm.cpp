#include "app/ProgramSheetForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include "app/QtControls.h"
#include "app/QtEditorColumn.h"
#include "app/QtPageContext.h"
#include "link/AutoDetect.h"
#include "nc/MultipleNCForm.h"
#include "nc/MultipleTransfer.h"
#include "app/QtRadioGroup.h"
#include "base/Settings.h"
#include "nc/ProgramFile.h"
#include "sim/SimulatorForm.h"
#include "ui/OpenFileForm.h"
#include "ui/QtText.h"
#include "ui/SaveFileForm.h"

namespace zar {
namespace {

constexpr int kRightColumnWidth = 236;

// Program names: letters typed in upper case, at most 8 bytes in the
// catalog's encoding (4 double-byte characters in Big5), as the name frame
// and the program file carry them. An edit or a paste that would go past
// that is refused whole, so no character is ever cut in half; so is a
// character the encoding cannot carry.
class ProgramNameValidator : public QValidator {
 public:
  ProgramNameValidator(PageContext& app, QObject* parent) : QValidator(parent), app_(app) {}
  State validate(QString& input, int&) const override {
    for (QChar& c : input) {
      if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = c.toUpper();
    }
    const std::string bytes = app_.fromQt(input);
    if (bytes.size() > nc::kMaxNameLength) return Invalid;
    if (app_.toQt(bytes) != input) return Invalid;
    return Acceptable;
  }

 private:
  PageContext& app_;
};

}  // namespace

TProgramSheetForm::TProgramSheetForm(PageContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("ProgramSheet"));
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  // Left: the editor with its gutter, the message area below.
  const EditorColumn column =
      makeEditorColumn(this, {"Label1", "FileNameLabel", "Memo1", "ProgramMemo", "Label2", "ClrMsgBtn", "MsgMemo"});
  Label1 = column.caption;
  FileNameLabel = column.fileName;
  Memo1 = column.gutter;
  ProgramMemo = column.editor;
  Label2 = column.messageCaption;
  ClrMsgBtn = column.clear;
  MsgMemo = column.messages;
  ProgramMemo->installEventFilter(this);
  QVBoxLayout* left = column.layout;
  page->addLayout(left, 1);

  // Right: program slot, controller, port, then the buttons by purpose.
  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  auto* rightBox = new QWidget(this);
  rightBox->setFixedWidth(kRightColumnWidth);
  rightBox->setLayout(right);
  right->setContentsMargins(0, 0, 0, 0);

  auto* slotFrame = makeGroupFrame(this, "ProgramPanel");
  auto* slotGrid = new QGridLayout(slotFrame);
  slotGrid->setContentsMargins(10, 8, 10, 8);
  slotGrid->setHorizontalSpacing(8);
  Label3 = makeCaption(slotFrame, "Label3", false);
  ProgNoEdit = named(new QSpinBox(slotFrame), "ProgNoEdit");
  ProgNoEdit->setRange(1, 99);
  ProgNoEdit->setValue(1);
  Label4 = makeCaption(slotFrame, "Label4", false);
  ProgNameEdit = named(new QLineEdit(slotFrame), "ProgNameEdit");
  // No character limit: it would cut a paste short instead of refusing it.
  ProgNameEdit->setValidator(new ProgramNameValidator(app_, ProgNameEdit));
  ProgNameEdit->setFont(editorFont());
  TmpProgNameEdit = named(new QLineEdit(this), "TmpProgNameEdit");
  TmpProgNameEdit->hide();
  slotGrid->addWidget(Label3, 0, 0);
  slotGrid->addWidget(ProgNoEdit, 0, 1);
  slotGrid->addWidget(Label4, 1, 0);
  slotGrid->addWidget(ProgNameEdit, 1, 1);
  slotGrid->setColumnStretch(1, 1);
  right->addWidget(slotFrame);

  TypeSel = new TRadioGroup({QStringLiteral("ZAR X02"), QStringLiteral("ZAR X00/X01")}, this);
  TypeSel->setObjectName(QStringLiteral("TypeSel"));
  for (int i = 0; i < TypeSel->count(); ++i) TypeSel->item(i)->setObjectName(QStringLiteral("TypeSelItem%1").arg(i));
  TypeSel->setItemIndex(0);
  right->addWidget(TypeSel);

  auto* portFrame = makeGroupFrame(this, "PortPanel");
  auto* portGrid = new QGridLayout(portFrame);
  portGrid->setContentsMargins(10, 8, 10, 8);
  portGrid->setVerticalSpacing(4);
  Label11 = makeCaption(portFrame, "Label11", false);
  COM_Select = named(new QComboBox(portFrame), "COM_Select");
  COM_Select->setEditable(false);
  COM_Select->installEventFilter(this);
  ComDeviceLabel = named(new QLabel(portFrame), "ComDeviceLabel");
  ComDeviceLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont small = ComDeviceLabel->font();
  small.setPointSizeF(small.pointSizeF() * 0.9);
  ComDeviceLabel->setFont(small);
  QPalette muted = ComDeviceLabel->palette();
  muted.setColor(QPalette::WindowText, QColor(0x4a, 0x55, 0x63));
  ComDeviceLabel->setPalette(muted);
  portGrid->addWidget(Label11, 0, 0);
  portGrid->addWidget(COM_Select, 0, 1);
  portGrid->addWidget(ComDeviceLabel, 1, 0, 1, 2);
  portGrid->setColumnStretch(1, 1);
  right->addWidget(portFrame);

  // Transfers with the controller.
  auto* transfer = new QGridLayout;
  transfer->setSpacing(6);
  TransBtn = makeButton(this, "TransBtn");
  RcvBtn = makeButton(this, "RcvBtn");
  DelProgBtn = makeButton(this, "DelProgBtn");
  AutoDetectBtn = makeButton(this, "AutoDetectBtn");
  MultipleBtn = makeButton(this, "MultipleBtn");
  transfer->addWidget(TransBtn, 0, 0);
  transfer->addWidget(RcvBtn, 0, 1);
  transfer->addWidget(DelProgBtn, 1, 0);
  transfer->addWidget(AutoDetectBtn, 1, 1);
  transfer->addWidget(MultipleBtn, 2, 0, 1, 2);
  for (QWidget* service : {static_cast<QWidget*>(AutoDetectBtn), static_cast<QWidget*>(MultipleBtn)}) {
    retainWhenHidden(service);
    service->hide();
  }
  right->addLayout(transfer);

  // Files and the simulator.
  auto* files = new QGridLayout;
  files->setSpacing(6);
  ReadFileBtn = makeButton(this, "ReadFileBtn");
  WriteFileBtn = makeButton(this, "WriteFileBtn");
  SimulatorBtn = makeButton(this, "SimulatorBtn");
  files->addWidget(ReadFileBtn, 0, 0);
  files->addWidget(WriteFileBtn, 0, 1);
  files->addWidget(SimulatorBtn, 1, 0, 1, 2);
  right->addLayout(files);
  right->addStretch(1);

  // Manual, about and close: the window connects them.
  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(6);
  SpeedButton1 = named(new QToolButton(this), "SpeedButton1");
  SpeedButton1->setMinimumHeight(kButtonHeight);
  SpeedButton1->setAutoRaise(false);
  VersionBtn = makeButton(this, "VersionBtn");
  CloseBtn = makeButton(this, "CloseBtn");
  bottom->addWidget(SpeedButton1);
  bottom->addWidget(VersionBtn);
  bottom->addWidget(CloseBtn);
  right->addLayout(bottom);
  page->addWidget(rightBox);

  baseline_ = EditorBaseline(ProgramMemo);

  connect(ClrMsgBtn, &QPushButton::clicked, this, &TProgramSheetForm::ClrMsgBtnClick);
  connect(TransBtn, &QPushButton::clicked, this, &TProgramSheetForm::TransBtnClick);
  connect(RcvBtn, &QPushButton::clicked, this, &TProgramSheetForm::RcvBtnClick);
  connect(DelProgBtn, &QPushButton::clicked, this, &TProgramSheetForm::DelProgBtnClick);
  connect(ReadFileBtn, &QPushButton::clicked, this, &TProgramSheetForm::ReadFileBtnClick);
  connect(WriteFileBtn, &QPushButton::clicked, this, &TProgramSheetForm::WriteFileBtnClick);
  connect(SimulatorBtn, &QPushButton::clicked, this, &TProgramSheetForm::SimulatorBtnClick);
  connect(AutoDetectBtn, &QPushButton::clicked, this, &TProgramSheetForm::AutoDetectBtnClick);
  connect(MultipleBtn, &QPushButton::clicked, this, &TProgramSheetForm::MultipleBtnClick);
}

void TProgramSheetForm::setCaptions() {
  setCatalogCaptions(app_.catalog(), {
      {12, Label1},      {13, Label2},        {14, Label3},       {15, Label4},        {16, FileNameLabel},
      {17, Label11},     {18, TypeSel},       {21, TransBtn},     {22, RcvBtn},        {23, DelProgBtn},
      {24, ClrMsgBtn},   {25, ReadFileBtn},   {26, WriteFileBtn}, {27, SimulatorBtn},  {28, AutoDetectBtn},
      {29, MultipleBtn}, {30, CloseBtn},
  });
  const ShellTexts& shell = shellTexts(app_.settings().language);
  VersionBtn->setText(QString::fromUtf8(shell.version));
  SpeedButton1->setText(QString::fromUtf8(shell.manual));
  SpeedButton1->setToolTip(QString::fromUtf8(shell.manualTip));
}

std::vector<QPushButton*> TProgramSheetForm::transferButtons() const {
  return {TransBtn, RcvBtn, DelProgBtn, MultipleBtn, AutoDetectBtn};
}

std::vector<QWidget*> TProgramSheetForm::dialogueLocks() const {
  return {ProgramMemo, ReadFileBtn, WriteFileBtn, SimulatorBtn, ProgNoEdit, ProgNameEdit,
          TypeSel,     COM_Select,  VersionBtn,   SpeedButton1};
}

QString TProgramSheetForm::pageName() const { return catalogText(app_.catalog(), 11); }

nc::ProgramPage TProgramSheetForm::programPage() const {
  nc::ProgramPage page;
  page.slot = ProgNoEdit->value();
  page.progName = app_.fromQt(ProgNameEdit->text());
  page.tmpProgName = app_.fromQt(TmpProgNameEdit->text());
  page.typeIndex = TypeSel->itemIndex();
  page.comIndex = COM_Select->currentIndex();
  return page;
}

void TProgramSheetForm::takeProgramNames(const nc::ProgramPage& before, const nc::ProgramPage& after) {
  if (after.progName != before.progName) ProgNameEdit->setText(app_.toQt(after.progName));
  if (after.tmpProgName != before.tmpProgName) TmpProgNameEdit->setText(app_.toQt(after.tmpProgName));
}

QString TProgramSheetForm::fileNameLabelText(const std::string& path) const {
  // The path is a file-system name, not a catalog text.
  return app_.toQt(app_.GetMessageText(nc::ProgramFiles::kFileLabel)) + QString::fromStdString(path);
}

// ---------------------------------------------------------------- handlers

void TProgramSheetForm::ProgramSheetMouseDown(Qt::KeyboardModifiers modifiers) {
  if (TypeSel->itemIndex() != 0) return;
  const bool alt = modifiers & Qt::AltModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  const bool ctrl = modifiers & Qt::ControlModifier;
  if (alt && shift) {
    AutoDetectBtn->setVisible(AutoDetectBtn->isHidden());
  } else if ((ctrl && shift) || (alt && ctrl)) {
    MultipleBtn->setVisible(MultipleBtn->isHidden());
  }
}

void TProgramSheetForm::ClrMsgBtnClick() { MsgMemo->clear(); }

void TProgramSheetForm::TransBtnClick() {
  app_.runDialogue([this] {
    // The editor is locked while the dialogue runs: what is sent is this.
    const QString program = ProgramMemo->toPlainText();
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(app_.link(), app_.messageLog());
    const nc::TransferOutcome outcome = transfer.TransBtnClick(page);
    takeProgramNames(before, page);
    if (outcome == nc::TransferOutcome::Done) baseline_.markClean(program);
  });
}

void TProgramSheetForm::RcvBtnClick() {
  app_.runDialogue([this] {
    if (!confirmDiscard(app_, baseline_, pageName())) return;
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(app_.link(), app_.messageLog());
    const nc::TransferOutcome outcome = transfer.RcvBtnClick(page);
    takeProgramNames(before, page);
    if (outcome == nc::TransferOutcome::Done) {
      baseline_.markClean();
      scrollToTop(ProgramMemo);
    }
  });
}

void TProgramSheetForm::DelProgBtnClick() {
  app_.runDialogue([this] {
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(app_.link(), app_.messageLog());
    transfer.DelProgBtnClick(page);
    takeProgramNames(before, page);
  });
}

void TProgramSheetForm::ReadFileBtnClick() {
  if (app_.dialogueRunning() || !confirmDiscard(app_, baseline_, pageName())) return;
  if (!chooseOpenFile(app_.dialogParent(), Page::Program, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  // Hidden while it is filled; shown again on every way out.
  ProgramMemo->hide();
  const nc::ProgramPage before = programPage();
  nc::ProgramPage page = before;
  nc::ProgramFiles files(app_.messageLog());
  const nc::LoadStatus status = files.load(path, page);
  // A file that could not be read changes nothing, the label included: a
  // later save must not go to a file the editor never held.
  if (status == nc::LoadStatus::CannotOpen) {
    // Why, in the system's words, under the loading line.
    app_.messageLog().addTo(Page::Program, 0, app_.fromQt(QString::fromStdString(path + ": " + files.lastError())));
  } else {
    FileNameLabel->setText(fileNameLabelText(path));
    baseline_.markClean();
  }
  if (page.slot != before.slot) ProgNoEdit->setValue(page.slot);
  if (status == nc::LoadStatus::Loaded) ProgNameEdit->setText(app_.toQt(page.progName));
  ProgramMemo->show();
  if (status == nc::LoadStatus::Loaded) {
    ProgramMemo->setFocus();
    scrollToTop(ProgramMemo);
  }
}

void TProgramSheetForm::WriteFileBtnClick() {
  if (app_.dialogueRunning()) return;
  if (!chooseSaveFile(app_.dialogParent(), Page::Program, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  if (!confirmReplace(app_, path)) return;
  FileNameLabel->setText(fileNameLabelText(path));
  nc::ProgramFiles files(app_.messageLog());
  if (files.save(path, programPage())) baseline_.markClean();
}

void TProgramSheetForm::SimulatorBtnClick() {
  runSimulator(app_.dialogParent(), app_.person().editorLines(Page::Program), app_.catalog(), app_.messageLog(),
               app_.workingDirectory());
}

void TProgramSheetForm::AutoDetectBtnClick() {
  bool found = false;
  DetectIdentity id{TypeSel->itemIndex(), app_.controllerModel(), app_.controllerVersion()};
  app_.runDialogue([&] {
    AutoDetect detect(app_.link(), app_.messageLog());
    const DetectReport r = detect.run(AutoDetect::comPorts(COM_Select->count()), id);
    if (r.outcome == DialogueOutcome::Busy) return;
    found = r.end == DetectEnd::Found;
    // The port found stays selected (and is saved as the default at close);
    // a search that found none goes back to COM1.
    if (r.end != DetectEnd::Stopped) COM_Select->setCurrentIndex(r.portIndex);
  });
  // Whatever the answers decided stays, also when the search stopped early.
  if (id.typeIndex != TypeSel->itemIndex()) TypeSel->setItemIndex(id.typeIndex);
  app_.setControllerModel(id.modelIndex, id.versionIndex, found);
}

void TProgramSheetForm::MultipleBtnClick() {
  MultipleBtn->hide();
  if (app_.dialogueRunning() || !confirmDiscard(app_, baseline_, pageName())) return;
  nc::MultipleChoice choice;
  {
    TMultipleNCForm form(app_.settings(), app_.fileChoice(), app_.catalog(), app_.dialogParent());
    form.exec();
    choice = form.choice();
  }
  if (!choice.confirmed) return;
  app_.fileChoice().CurrentFileName = choice.directory;
  app_.runDialogue([&] {
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::MultipleTransfer run(app_.link(), app_.messageLog());
    // The page follows the run: the program being handled and its file.
    run.onProgram = [this](const nc::ProgramPage& p, const std::string& path) {
      ProgNoEdit->setValue(p.slot);
      ProgNameEdit->setText(app_.toQt(p.progName));
      if (!path.empty()) FileNameLabel->setText(fileNameLabelText(path));
    };
    if (choice.mode == 0)
      run.readSlots(choice.chosenSlots, choice.prefix, choice.directory, page);
    else
      run.writeFiles(choice.files, choice.directory, app_.settings().multipleConfirm, page);
    takeProgramNames(before, page);
    // The editor holds the last program, which its file holds too.
    baseline_.markClean();
    scrollToTop(ProgramMemo);
  });
}

// ---------------------------------------------------------------- keys, mouse

bool TProgramSheetForm::ProgramMemoKeyPress(QObject* editor, QKeyEvent* event) {
  return typeInUpperCase(editor, event);
}

bool TProgramSheetForm::COM_SelectKeyPress(QKeyEvent* event) {
  // A port is chosen from the list only: typed characters are dropped, the
  // navigation keys still work.
  const QString text = event->text();
  return !text.isEmpty() && text.at(0).isPrint();
}

void TProgramSheetForm::mousePressEvent(QMouseEvent* event) {
  ProgramSheetMouseDown(event->modifiers());
  QWidget::mousePressEvent(event);
}

bool TProgramSheetForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == ProgramMemo) return ProgramMemoKeyPress(watched, key);
    if (watched == COM_Select) return COM_SelectKeyPress(key);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zar
