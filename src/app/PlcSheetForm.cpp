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
#include "base/Settings.h"

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
}

void TPlcSheetForm::setCaptions() {
  setCatalogCaptions(app_.catalog(), {
      {52, Label8},     {54, Label9},     {53, PLMFileNameLabel}, {61, PLMTrnBtn}, {62, PLMRcvBtn},
      {63, ClrMsgBtn3}, {64, ReadPLMBtn}, {65, WritePLMBtn},      {70, CloseBtn3},
  });
  TransDelayValue->setToolTip(QString::fromUtf8(shellTexts(app_.settings().language).delayTip));
}

std::vector<QPushButton*> TPlcSheetForm::transferButtons() const { return {PLMTrnBtn, PLMRcvBtn}; }

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

// The PLC files and transfers are handled by their own subsystem; until it
// is connected here their buttons do nothing.
void TPlcSheetForm::ReadPLMBtnClick() {}
void TPlcSheetForm::WritePLMBtnClick() {}
void TPlcSheetForm::PLMTrnBtnClick() {}
void TPlcSheetForm::PLMRcvBtnClick() {}

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
