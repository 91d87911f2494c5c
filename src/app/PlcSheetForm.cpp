#include "app/PlcSheetForm.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/QtControls.h"
#include "app/QtEditorColumn.h"
#include "app/QtPageContext.h"
#include "base/FileLocator.h"
#include "base/Settings.h"
#include "link/Link.h"
#include "link/Progress.h"
#include "plc/PlcFile.h"
#include "plc/PlcRecords.h"
#include "plc/PlcTransfer.h"
#include "ui/OpenFileForm.h"
#include "ui/QtText.h"
#include "ui/SaveFileForm.h"

namespace zar {

TPlcSheetForm::TPlcSheetForm(PageContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("PLMSheet"));
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  const EditorColumn column =
      makeEditorColumn(this, {"Label8", "PLMFileNameLabel", "Memo2", "PLMMemo", "Label9", "ClrMsgBtn3", "PLMMsgMemo"});
  Label8 = column.caption;
  PLMFileNameLabel = column.fileName;
  Memo2 = column.gutter;
  PLMMemo = column.editor;
  Label9 = column.messageCaption;
  ClrMsgBtn3 = column.clear;
  PLMMsgMemo = column.messages;
  PLMMemo->installEventFilter(this);
  QVBoxLayout* left = column.layout;
  page->addLayout(left, 1);

  TmpMemo = named(new QPlainTextEdit(this), "TmpMemo");
  TmpMemo->hide();

  auto* rightBox = new QWidget(this);
  rightBox->setFixedWidth(190);
  auto* right = new QVBoxLayout(rightBox);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(6);
  right->addSpacing(22);
  ReadPLMBtn = makeButton(rightBox, "ReadPLMBtn");
  WritePLMBtn = makeButton(rightBox, "WritePLMBtn");
  PLMTrnBtn = makeButton(rightBox, "PLMTrnBtn");
  PLMRcvBtn = makeButton(rightBox, "PLMRcvBtn");
  right->addWidget(ReadPLMBtn);
  right->addWidget(WritePLMBtn);
  right->addSpacing(14);
  right->addWidget(PLMTrnBtn);
  right->addWidget(PLMRcvBtn);
  right->addSpacing(8);
  Progress = named(new QLabel(rightBox), "Progress");
  Progress->setFrameShape(QFrame::Panel);
  Progress->setFrameShadow(QFrame::Sunken);
  Progress->setMinimumHeight(24);
  Progress->setFont(editorFont());
  retainWhenHidden(Progress);
  Progress->hide();
  right->addWidget(Progress);
  TransDelayValue = named(new QSpinBox(rightBox), "TransDelayValue");
  TransDelayValue->setRange(0, 5000);
  TransDelayValue->setSingleStep(1);
  TransDelayValue->setSuffix(QStringLiteral(" ms"));
  TransDelayValue->installEventFilter(this);
  retainWhenHidden(TransDelayValue);
  TransDelayValue->hide();
  right->addWidget(TransDelayValue);
  right->addStretch(1);
  // Close: the window connects it.
  CloseBtn3 = makeButton(rightBox, "CloseBtn3");
  right->addWidget(CloseBtn3);
  page->addWidget(rightBox);

  connect(ClrMsgBtn3, &QPushButton::clicked, this, &TPlcSheetForm::ClrMsgBtn3Click);
  connect(ReadPLMBtn, &QPushButton::clicked, this, &TPlcSheetForm::ReadPLMBtnClick);
  connect(WritePLMBtn, &QPushButton::clicked, this, &TPlcSheetForm::WritePLMBtnClick);
  connect(PLMTrnBtn, &QPushButton::clicked, this, &TPlcSheetForm::PLMTrnBtnClick);
  connect(PLMRcvBtn, &QPushButton::clicked, this, &TPlcSheetForm::PLMRcvBtnClick);
  // The change handler stores what the box accepts.
  connect(TransDelayValue, qOverload<int>(&QSpinBox::valueChanged), this, &TPlcSheetForm::TransDelayValueChange);
  baseline_ = EditorBaseline(PLMMemo);
}

void TPlcSheetForm::setCaptions() {
  setCatalogCaptions(app_.catalog(), {
      {52, Label8},     {54, Label9},     {53, PLMFileNameLabel}, {61, PLMTrnBtn}, {62, PLMRcvBtn},
      {63, ClrMsgBtn3}, {64, ReadPLMBtn}, {65, WritePLMBtn},      {70, CloseBtn3},
  });
  TransDelayValue->setToolTip(QString::fromUtf8(shellTexts(app_.settings().language).delayTip));
}

std::vector<QPushButton*> TPlcSheetForm::transferButtons() const { return {PLMTrnBtn, PLMRcvBtn}; }

std::vector<QWidget*> TPlcSheetForm::dialogueLocks() const {
  return {PLMMemo, ReadPLMBtn, WritePLMBtn, TransDelayValue};
}

QString TPlcSheetForm::pageName() const { return catalogText(app_.catalog(), 51); }

void TPlcSheetForm::hideDelayBox() {
  TransDelayValue->hide();
  delayBoxShown_ = false;
}

// ---------------------------------------------------------------- handlers

void TPlcSheetForm::PLMSheetMouseDown(Qt::KeyboardModifiers modifiers) {
  if ((modifiers & Qt::AltModifier) && (modifiers & Qt::ShiftModifier)) {
    TransDelayValue->setVisible(TransDelayValue->isHidden());
    delayBoxShown_ = !delayBoxShown_;
  }
}

void TPlcSheetForm::ClrMsgBtn3Click() { PLMMsgMemo->clear(); }

void TPlcSheetForm::TransDelayValueChange(int value) { app_.settings().plcTransitDelay = value; }

void TPlcSheetForm::showFileName(const std::string& path) {
  filePath_ = path;
  // The path is a file-system name, not a catalog text.
  PLMFileNameLabel->setText(app_.toQt(app_.GetMessageText(plc::PlcFiles::kFileLabel)) + QString::fromStdString(path));
}

void TPlcSheetForm::ReadPLMBtnClick() {
  if (app_.dialogueRunning() || !confirmDiscard(app_, baseline_, pageName())) return;
  if (!chooseOpenFile(app_.dialogParent(), Page::Plc, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  plc::PlcFiles files(app_.messageLog());
  if (!files.load(path)) return;
  baseline_.markClean();
  showFileName(path);
  PLMMemo->setFocus();
  scrollToTop(PLMMemo);
}

void TPlcSheetForm::WritePLMBtnClick() {
  if (app_.dialogueRunning()) return;
  if (!chooseSaveFile(app_.dialogParent(), Page::Plc, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  if (!confirmReplace(app_, path)) return;
  plc::PlcFiles files(app_.messageLog());
  if (!files.save(path)) return;
  baseline_.markClean();
  showFileName(path);
}

// The progress panel: a row of marks that grows with every record, 1 to 11
// and round again; shown from the first record to the dialogue's end. It
// passes every report on to the window's progress strip, so the strip's
// estimate, Cancel and Escape work for PLC transfers as for the others.
class TPlcSheetForm::MarksView : public ProgressObserver {
 public:
  MarksView(QLabel* panel, char mark, Qt::Alignment alignment, ProgressObserver* next)
      : panel_(panel), mark_(mark), next_(next) {
    panel_->setAlignment(alignment | Qt::AlignVCenter);
    panel_->clear();
  }
  void progressStarted() override {
    if (next_) next_->progressStarted();
  }
  void progressChanged(const ProgressSnapshot& now) override {
    if (now.unit == ProgressUnit::Records) {
      panel_->setText(QString::fromStdString(plc::progressMarks(now.done, mark_)));
      panel_->show();
    }
    if (next_) next_->progressChanged(now);
  }
  void progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) override {
    panel_->hide();
    if (next_) next_->progressEnded(last, outcome);
  }

 private:
  QLabel* panel_;
  char mark_;
  ProgressObserver* next_;
};

template <typename Dialogue>
void TPlcSheetForm::withMarks(char mark, Qt::Alignment alignment, Dialogue&& dialogue) {
  zar::Progress& progress = app_.link().progress();
  ProgressObserver* strip = progress.observer();
  MarksView marks(Progress, mark, alignment, strip);
  progress.setObserver(&marks);
  dialogue();
  progress.setObserver(strip);
  Progress->hide();
}

// The window holds the page's controls (dialogueLocks()) while these run.
void TPlcSheetForm::PLMTrnBtnClick() {
  app_.runDialogue([this] {
    const QString sent = PLMMemo->toPlainText();
    plc::PlcTransfer transfer(app_.link(), app_.messageLog(), app_.settings().defaultPort,
                              plc::PlcWorkspace::process());
    DialogueOutcome outcome = DialogueOutcome::Busy;
    withMarks('>', Qt::AlignLeft, [&] { outcome = transfer.PLMTrnBtnClick(filePath_, app_.settings().plcTransitDelay); });
    if (outcome == DialogueOutcome::Done) baseline_.markClean(sent);
  });
}

void TPlcSheetForm::PLMRcvBtnClick() {
  app_.runDialogue([this] {
    if (!confirmDiscard(app_, baseline_, pageName())) return;
    plc::PlcTransfer transfer(app_.link(), app_.messageLog(), app_.settings().defaultPort,
                              plc::PlcWorkspace::process());
    TmpMemo->clear();
    const std::string image = FileLocator(app_.workingDirectory()).writePath(FileKind::State, "Mcn.tmp");
    withMarks('<', Qt::AlignRight, [&] { transfer.PLMRcvBtnClick(image); });
    QStringList records;
    for (const std::string& r : transfer.records()) records << QString::fromLatin1(r.data(), static_cast<int>(r.size()));
    TmpMemo->setPlainText(records.join(QLatin1Char('\n')));
    if (!transfer.decompiled()) return;
    baseline_.markClean();
    scrollToTop(PLMMemo);
  });
}

// ---------------------------------------------------------------- keys, mouse

bool TPlcSheetForm::TransDelayValueKeyPress(QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

void TPlcSheetForm::mousePressEvent(QMouseEvent* event) {
  PLMSheetMouseDown(event->modifiers());
  QWidget::mousePressEvent(event);
}

bool TPlcSheetForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Letters typed into the editor go in upper case, as on the program page.
    if (watched == PLMMemo) return typeInUpperCase(watched, key);
    if (watched == TransDelayValue) return TransDelayValueKeyPress(key);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zar
