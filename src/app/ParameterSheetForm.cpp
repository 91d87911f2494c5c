#include "app/ParameterSheetForm.h"

#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/QtControls.h"
#include "app/QtPageContext.h"

namespace zar {

TParameterSheetForm::TParameterSheetForm(PageContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("ParameterSheet"));
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  // Left: the parameter editor with its file buttons, the message area.
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  ParFileNameLabel = makePathLabel(this, "ParFileNameLabel");
  left->addWidget(ParFileNameLabel);
  ParameterMemo = makeEditor(this, "ParameterMemo");
  left->addWidget(ParameterMemo, 1);
  auto* fileRow = new QHBoxLayout;
  ReadParBtn = makeButton(this, "ReadParBtn");
  WriteParBtn = makeButton(this, "WriteParBtn");
  Label7 = makeCaption(this, "Label7");
  Label7->setAlignment(Qt::AlignCenter);
  ReadParBtn->setMinimumWidth(110);
  WriteParBtn->setMinimumWidth(110);
  fileRow->addWidget(ReadParBtn);
  fileRow->addWidget(Label7, 1);
  fileRow->addWidget(WriteParBtn);
  left->addLayout(fileRow);
  auto* messageHead = new QHBoxLayout;
  Label6 = makeCaption(this, "Label6");
  ClrMsgBtn2 = makeButton(this, "ClrMsgBtn2");
  messageHead->addWidget(Label6);
  messageHead->addStretch(1);
  messageHead->addWidget(ClrMsgBtn2);
  left->addLayout(messageHead);
  ParMsgMemo = makeMessageArea(this, "ParMsgMemo");
  ParMsgMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  left->addWidget(ParMsgMemo);
  page->addLayout(left, 1);

  // Right: model and version, the parameter check list, the transfers.
  auto* rightBox = new QWidget(this);
  rightBox->setFixedWidth(336);
  auto* right = new QVBoxLayout(rightBox);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(6);

  ModelGroup = named(new QGroupBox(rightBox), "ModelGroup");
  auto* models = new QGridLayout(ModelGroup);
  models->setContentsMargins(12, 6, 12, 6);
  models->setVerticalSpacing(2);
  const struct {
    QRadioButton** button;
    const char* name;
    const char* caption;
  } modelButtons[] = {
      {&ZAR102RadioButton, "ZAR102RadioButton", "102"}, {&ZAR202RadioButton, "ZAR202RadioButton", "202"},
      {&ZAR302RadioButton, "ZAR302RadioButton", "302"}, {&ZAR101RadioButton, "ZAR101RadioButton", "101"},
      {&ZAR200RadioButton, "ZAR200RadioButton", "200"}, {&ZAR300RadioButton, "ZAR300RadioButton", "300"},
  };
  int n = 0;
  for (const auto& m : modelButtons) {
    *m.button = named(new QRadioButton(QString::fromLatin1(m.caption), ModelGroup), m.name);
    (*m.button)->installEventFilter(this);
    models->addWidget(*m.button, n / 3, n % 3);
    ++n;
  }
  right->addWidget(ModelGroup);

  auto* versionRow = new QHBoxLayout;
  versionRow->setSpacing(8);
  Label10 = makeCaption(rightBox, "Label10", false);
  VersionPanel = makeGroupFrame(rightBox, "VersionPanel");
  auto* versions = new QHBoxLayout(VersionPanel);
  versions->setContentsMargins(8, 3, 8, 3);
  VerSDRadioBtn = named(new QRadioButton(QStringLiteral("Ver.SD"), VersionPanel), "VerSDRadioBtn");
  VerKRadioBtn = named(new QRadioButton(QStringLiteral("Ver.K"), VersionPanel), "VerKRadioBtn");
  VerMRadioBtn = named(new QRadioButton(QStringLiteral("Ver.M"), VersionPanel), "VerMRadioBtn");
  for (QRadioButton* v : {VerSDRadioBtn, VerKRadioBtn, VerMRadioBtn}) {
    v->installEventFilter(this);
    versions->addWidget(v);
  }
  versionRow->addWidget(Label10);
  versionRow->addWidget(VersionPanel, 1);
  right->addLayout(versionRow);

  Label5 = makeCaption(rightBox, "Label5");
  right->addWidget(Label5);
  ParaCheckListBox = named(new QListWidget(rightBox), "ParaCheckListBox");
  ParaCheckListBox->setUniformItemSizes(true);
  right->addWidget(ParaCheckListBox, 1);
  auto* selection = new QHBoxLayout;
  SelAllBtn = makeButton(rightBox, "SelAllBtn");
  CancelSelBtn = makeButton(rightBox, "CancelSelBtn");
  selection->addWidget(SelAllBtn);
  selection->addWidget(CancelSelBtn);
  right->addLayout(selection);
  right->addSpacing(4);
  ParTrnBtn = makeButton(rightBox, "ParTrnBtn");
  ParRcvBtn = makeButton(rightBox, "ParRcvBtn");
  right->addWidget(ParTrnBtn);
  right->addWidget(ParRcvBtn);
  right->addSpacing(4);
  // Close: the window connects it.
  auto* bottom = new QHBoxLayout;
  CloseBtn2 = makeButton(rightBox, "CloseBtn2");
  CloseBtn2->setMinimumWidth(110);
  bottom->addStretch(1);
  bottom->addWidget(CloseBtn2);
  right->addLayout(bottom);
  page->addWidget(rightBox);

  connect(ClrMsgBtn2, &QPushButton::clicked, this, &TParameterSheetForm::ClrMsgBtn2Click);
  connect(SelAllBtn, &QPushButton::clicked, this, &TParameterSheetForm::SelAllBtnClick);
  connect(CancelSelBtn, &QPushButton::clicked, this, &TParameterSheetForm::CancelSelBtnClick);
  connect(ReadParBtn, &QPushButton::clicked, this, &TParameterSheetForm::ReadParBtnClick);
  connect(WriteParBtn, &QPushButton::clicked, this, &TParameterSheetForm::WriteParBtnClick);
  connect(ParTrnBtn, &QPushButton::clicked, this, &TParameterSheetForm::ParTrnBtnClick);
  connect(ParRcvBtn, &QPushButton::clicked, this, &TParameterSheetForm::ParRcvBtnClick);
}

void TParameterSheetForm::setCaptions() {
  setCatalogCaptions(app_.catalog(), {
      {32, Label7},     {33, Label6},      {34, Label5},    {35, ParFileNameLabel}, {36, Label10},
      {41, ParTrnBtn},  {42, ParRcvBtn},   {43, ClrMsgBtn2}, {44, ReadParBtn},      {45, WriteParBtn},
      {46, SelAllBtn},  {47, CancelSelBtn}, {50, CloseBtn2},
  });
}

std::vector<QPushButton*> TParameterSheetForm::transferButtons() const { return {ParTrnBtn, ParRcvBtn}; }

// The parameter definition tables are not part of this build: the address
// tables stay empty and the check list shows no parameters.
void TParameterSheetForm::LoadAddressTables() {}

void TParameterSheetForm::SetParameterList(int model) {
  ModelIndex = model;
  ParaCheckListBox->clear();
}

// ---------------------------------------------------------------- handlers

void TParameterSheetForm::ClrMsgBtn2Click() { ParMsgMemo->clear(); }

void TParameterSheetForm::ZAR102RadioButtonEnter() {
  VersionIndex = 1;
  VerKRadioBtn->setChecked(true);
  SetParameterList(0);
}

void TParameterSheetForm::ZAR202RadioButtonEnter() {
  VersionIndex = 0;
  VerSDRadioBtn->setChecked(true);
  SetParameterList(1);
}

void TParameterSheetForm::ZAR302RadioButtonEnter() {
  VersionIndex = 0;
  VerSDRadioBtn->setChecked(true);
  SetParameterList(2);
}

void TParameterSheetForm::ZAR101RadioButtonEnter() { SetParameterList(3); }
void TParameterSheetForm::ZAR200RadioButtonEnter() { SetParameterList(4); }
void TParameterSheetForm::ZAR300RadioButtonEnter() { SetParameterList(5); }

void TParameterSheetForm::VerSDRadioBtnEnter() {
  VersionIndex = 0;
  SetParameterList(ModelIndex);
}

void TParameterSheetForm::VerKRadioBtnEnter() {
  VersionIndex = 1;
  SetParameterList(ModelIndex);
}

void TParameterSheetForm::VerMRadioBtnEnter() {
  VersionIndex = 2;
  SetParameterList(ModelIndex);
}

void TParameterSheetForm::SelAllBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Checked);
}

void TParameterSheetForm::CancelSelBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Unchecked);
}

// The parameter files and transfers are handled by their own subsystem;
// until it is connected here their buttons do nothing.
void TParameterSheetForm::ReadParBtnClick() {}
void TParameterSheetForm::WriteParBtnClick() {}
void TParameterSheetForm::ParTrnBtnClick() {}
void TParameterSheetForm::ParRcvBtnClick() {}

bool TParameterSheetForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    // A button is entered when the user moves to it, not when the window
    // comes back to the front with the focus still there.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
      return QWidget::eventFilter(watched, event);
    }
    if (watched == ZAR102RadioButton) ZAR102RadioButtonEnter();
    else if (watched == ZAR202RadioButton) ZAR202RadioButtonEnter();
    else if (watched == ZAR302RadioButton) ZAR302RadioButtonEnter();
    else if (watched == ZAR101RadioButton) ZAR101RadioButtonEnter();
    else if (watched == ZAR200RadioButton) ZAR200RadioButtonEnter();
    else if (watched == ZAR300RadioButton) ZAR300RadioButtonEnter();
    else if (watched == VerSDRadioBtn) VerSDRadioBtnEnter();
    else if (watched == VerKRadioBtn) VerKRadioBtnEnter();
    else if (watched == VerMRadioBtn) VerMRadioBtnEnter();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zar
