#include "app/ParameterSheetForm.h"

#include <QApplication>
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
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "app/QtControls.h"
#include "app/QtEditorColumn.h"
#include "app/QtPageContext.h"
#include "base/FileLocator.h"
#include "base/Settings.h"
#include "param/ParameterFile.h"
#include "param/ParameterTransfer.h"
#include "ui/QtText.h"
#include "ui/OpenFileForm.h"
#include "ui/SaveFileForm.h"

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
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusBefore_ = now; });
  baseline_ = EditorBaseline(ParameterMemo);
}

void TParameterSheetForm::setCaptions() {
  setCatalogCaptions(app_.catalog(), {
      {32, Label7},     {33, Label6},      {34, Label5},    {35, ParFileNameLabel}, {36, Label10},
      {41, ParTrnBtn},  {42, ParRcvBtn},   {43, ClrMsgBtn2}, {44, ReadParBtn},      {45, WriteParBtn},
      {46, SelAllBtn},  {47, CancelSelBtn}, {50, CloseBtn2},
  });
}

std::vector<QPushButton*> TParameterSheetForm::transferButtons() const { return {ParTrnBtn, ParRcvBtn}; }

std::vector<QWidget*> TParameterSheetForm::dialogueLocks() const {
  return {ParameterMemo, ParaCheckListBox, ModelGroup, VersionPanel, SelAllBtn, CancelSelBtn, ReadParBtn, WriteParBtn};
}

QString TParameterSheetForm::pageName() const { return catalogText(app_.catalog(), 31); }

// ---------------------------------------------------------------- parameter list

void TParameterSheetForm::LoadAddressTables() {
  chooser_.reset();
  tables_ = std::make_unique<param::ParameterTables>(FileLocator(app_.workingDirectory()), app_.settings().language);
  tables_->LoadAddressTables();
  chooser_ = std::make_unique<param::ParameterChooser>(*tables_);
}

void TParameterSheetForm::SetParameterList(int model) {
  // The list a running dialogue walks stays as it is (the page may be
  // returned to meanwhile).
  if (app_.dialogueRunning()) return;
  if (!chooser_) {
    ParaCheckListBox->clear();
    return;
  }
  chooser_->ModelIndex = ModelIndex;
  chooser_->VersionIndex = VersionIndex;
  chooser_->SetParameterList(model);
  ModelIndex = chooser_->ModelIndex;

  const param::ParameterList& list = chooser_->list();
  ParaCheckListBox->setUpdatesEnabled(false);
  ParaCheckListBox->clear();
  for (const param::ParameterEntry& entry : list.entries) {
    auto* item = new QListWidgetItem(app_.toQt(entry.name));
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
    ParaCheckListBox->addItem(item);
  }
  ParaCheckListBox->scrollToTop();
  ParaCheckListBox->setUpdatesEnabled(true);
}

void TParameterSheetForm::takeIdentity(int modelIndex, int versionIndex, bool rebuildList) {
  using B = param::SelectorButton;
  static constexpr B models[] = {B::ZAR102, B::ZAR202, B::ZAR302, B::ZAR101, B::ZAR200, B::ZAR300};
  if (modelIndex < 0 || modelIndex > 5) return;
  ModelIndex = modelIndex;
  VersionIndex = versionIndex;
  QRadioButton* model = selectorRadio(models[modelIndex]);
  QRadioButton* version = versionRadio(versionIndex);
  const QSignalBlocker quietModel(model);
  const QSignalBlocker quietVersion(version);
  model->setChecked(true);
  version->setChecked(true);
  if (rebuildList) SetParameterList(modelIndex);
}

const param::ParameterList& TParameterSheetForm::parameterList() const {
  static const param::ParameterList none;
  return chooser_ ? chooser_->list() : none;
}

std::vector<param::ParameterEntry> TParameterSheetForm::checkedEntries() const {
  const param::ParameterList& list = parameterList();
  std::vector<param::ParameterEntry> checked;
  const int count = std::min(ParaCheckListBox->count(), static_cast<int>(list.count()));
  for (int i = 0; i < count; ++i)
    if (ParaCheckListBox->item(i)->checkState() == Qt::Checked) checked.push_back(list[static_cast<size_t>(i)]);
  return checked;
}

// ---------------------------------------------------------------- handlers

void TParameterSheetForm::ClrMsgBtn2Click() { ParMsgMemo->clear(); }

QRadioButton* TParameterSheetForm::versionRadio(int versionIndex) const {
  switch (versionIndex) {
    case 0: return VerSDRadioBtn;
    case 2: return VerMRadioBtn;
    default: return VerKRadioBtn;
  }
}

QRadioButton* TParameterSheetForm::selectorRadio(param::SelectorButton button) const {
  using B = param::SelectorButton;
  switch (button) {
    case B::ZAR102: return ZAR102RadioButton;
    case B::ZAR202: return ZAR202RadioButton;
    case B::ZAR302: return ZAR302RadioButton;
    case B::ZAR101: return ZAR101RadioButton;
    case B::ZAR200: return ZAR200RadioButton;
    case B::ZAR300: return ZAR300RadioButton;
    case B::VerSD: return VerSDRadioBtn;
    case B::VerK: return VerKRadioBtn;
    case B::VerM: return VerMRadioBtn;
  }
  return nullptr;
}

void TParameterSheetForm::enter(param::SelectorButton button) {
  const param::ModelVersion next = param::enterSelector(button, {ModelIndex, VersionIndex});
  // The button entered is the one shown chosen (a click checks it anyway,
  // the keyboard may not), and the version's button with it.
  selectorRadio(button)->setChecked(true);
  VersionIndex = next.version;
  versionRadio(VersionIndex)->setChecked(true);
  SetParameterList(next.model);
}

void TParameterSheetForm::ZAR102RadioButtonEnter() { enter(param::SelectorButton::ZAR102); }
void TParameterSheetForm::ZAR202RadioButtonEnter() { enter(param::SelectorButton::ZAR202); }
void TParameterSheetForm::ZAR302RadioButtonEnter() { enter(param::SelectorButton::ZAR302); }
void TParameterSheetForm::ZAR101RadioButtonEnter() { enter(param::SelectorButton::ZAR101); }
void TParameterSheetForm::ZAR200RadioButtonEnter() { enter(param::SelectorButton::ZAR200); }
void TParameterSheetForm::ZAR300RadioButtonEnter() { enter(param::SelectorButton::ZAR300); }
void TParameterSheetForm::VerSDRadioBtnEnter() { enter(param::SelectorButton::VerSD); }
void TParameterSheetForm::VerKRadioBtnEnter() { enter(param::SelectorButton::VerK); }
void TParameterSheetForm::VerMRadioBtnEnter() { enter(param::SelectorButton::VerM); }

void TParameterSheetForm::SelAllBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Checked);
}

void TParameterSheetForm::CancelSelBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Unchecked);
}

void TParameterSheetForm::ReadParBtnClick() {
  if (app_.dialogueRunning() || !confirmDiscard(app_, baseline_, pageName())) return;
  if (!chooseOpenFile(app_.dialogParent(), Page::Parameter, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  param::ParameterFiles files(app_.messageLog());
  if (!files.load(path)) return;
  baseline_.markClean();
  // The path is a file-system name, not a catalog text.
  ParFileNameLabel->setText(app_.toQt(app_.GetMessageText(param::ParameterFiles::kFileLabel)) +
                            QString::fromStdString(path));
  ParameterMemo->setFocus();
  scrollToTop(ParameterMemo);
}

void TParameterSheetForm::WriteParBtnClick() {
  if (app_.dialogueRunning()) return;
  if (!chooseSaveFile(app_.dialogParent(), Page::Parameter, app_.fileChoice(), app_.catalog())) return;
  const std::string path = app_.fileChoice().CurrentFileName;
  if (!confirmReplace(app_, path)) return;
  param::ParameterFiles files(app_.messageLog());
  if (!files.save(path)) return;
  baseline_.markClean();
  ParFileNameLabel->setText(app_.toQt(app_.GetMessageText(param::ParameterFiles::kFileLabel)) +
                            QString::fromStdString(path));
}

// The window holds the page's controls (dialogueLocks()) while these run.
void TParameterSheetForm::ParTrnBtnClick() {
  app_.runDialogue([this] {
    const QString sent = ParameterMemo->toPlainText();
    param::ParameterTransfer transfer(app_.link(), app_.messageLog(), app_.settings().defaultPort);
    if (transfer.ParTrnBtnClick() == DialogueOutcome::Done) baseline_.markClean(sent);
  });
}

void TParameterSheetForm::ParRcvBtnClick() {
  app_.runDialogue([this] {
    if (!confirmDiscard(app_, baseline_, pageName())) return;
    param::ParameterTransfer transfer(app_.link(), app_.messageLog(), app_.settings().defaultPort);
    if (transfer.ParRcvBtnClick(checkedEntries()) == DialogueOutcome::Done) baseline_.markClean();
    if (transfer.editorCleared()) scrollToTop(ParameterMemo);
  });
}

bool TParameterSheetForm::isEnter(QObject* watched, const QFocusEvent& event) const {
  switch (event.reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
      return true;
    case Qt::OtherFocusReason:
      // Arrow keys move the focus between the buttons of a group this way;
      // so does the page, when it is shown again, giving the focus back to
      // the button that had it. Only the first comes from within the page.
      return focusBefore_ && focusBefore_.data() != watched && isAncestorOf(focusBefore_);
    default:
      return false;  // the window or a popup coming back
  }
}

bool TParameterSheetForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && isEnter(watched, *static_cast<QFocusEvent*>(event))) {
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
