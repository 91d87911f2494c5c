#include "app/MainForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QValidator>

#include <filesystem>

#include "app/AboutForm.h"
#include "base/FileLocator.h"
#include "nc/ProgramFile.h"
#include "sim/SimulatorForm.h"
#include "ui/MessageForm.h"
#include "ui/OpenFileForm.h"
#include "ui/QtText.h"
#include "ui/SaveFileForm.h"

namespace zar {
namespace {

constexpr int kRightColumnWidth = 236;
constexpr int kMessageAreaHeight = 112;
constexpr int kButtonHeight = 27;

// Program names: at most 8 characters, letters typed in upper case.
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    for (QChar& c : input) {
      if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = c.toUpper();
    }
    return Acceptable;
  }
};

// Letters a to z of a typed text in upper case; everything else unchanged.
QString upperLetters(const QString& text) {
  QString out = text;
  for (QChar& c : out) {
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = c.toUpper();
  }
  return out;
}

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* makeButton(QWidget* parent, const char* name) {
  auto* b = named(new QPushButton(parent), name);
  b->setMinimumHeight(kButtonHeight);
  b->setAutoDefault(false);
  return b;
}

QLabel* makeCaption(QWidget* parent, const char* name, bool strong = true) {
  auto* l = named(new QLabel(parent), name);
  if (strong) {
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
  }
  return l;
}

// A label for a file path: long paths are cut on screen, the tooltip has all.
QLabel* makePathLabel(QWidget* parent, const char* name) {
  auto* l = named(new QLabel(parent), name);
  l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

QFont editorFont() {
  QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  f.setPointSize(10);
  return f;
}

QPlainTextEdit* makeEditor(QWidget* parent, const char* name) {
  auto* e = named(new QPlainTextEdit(parent), name);
  e->setLineWrapMode(QPlainTextEdit::NoWrap);
  e->setFont(editorFont());
  e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  e->setTabChangesFocus(false);
  return e;
}

QPlainTextEdit* makeMessageArea(QWidget* parent, const char* name) {
  auto* m = named(new QPlainTextEdit(parent), name);
  m->setReadOnly(true);
  m->setLineWrapMode(QPlainTextEdit::NoWrap);
  m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m->setFixedHeight(kMessageAreaHeight);
  QPalette p = m->palette();
  p.setColor(QPalette::Base, QColor(0xfb, 0xfb, 0xf4));
  m->setPalette(p);
  return m;
}

// The line-number gutter beside an editor: read-only, disabled, numbers on
// the right, no scroll bars of its own (it follows the editor).
QPlainTextEdit* makeGutter(QWidget* parent, const char* name) {
  auto* g = named(new QPlainTextEdit(parent), name);
  g->setReadOnly(true);
  g->setEnabled(false);
  g->setFocusPolicy(Qt::NoFocus);
  g->setLineWrapMode(QPlainTextEdit::NoWrap);
  g->setFont(editorFont());
  g->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QTextOption option = g->document()->defaultTextOption();
  option.setAlignment(Qt::AlignRight);
  g->document()->setDefaultTextOption(option);
  QPalette p = g->palette();
  for (auto group : {QPalette::Disabled, QPalette::Inactive, QPalette::Active}) {
    p.setColor(group, QPalette::Base, QColor(0xe8, 0xea, 0xed));
    p.setColor(group, QPalette::Text, QColor(0x5a, 0x63, 0x6e));
  }
  g->setPalette(p);
  const QFontMetrics fm(g->font());
  g->setFixedWidth(fm.horizontalAdvance(QStringLiteral("N0000")) + 2 * g->frameWidth() +
                   static_cast<int>(2 * g->document()->documentMargin()) + 6);
  return g;
}

// An editor with its gutter on the left. The editor keeps a horizontal scroll
// bar, so the gutter stops where the editor's text area stops.
QWidget* editorWithGutter(QWidget* parent, QPlainTextEdit* gutter, QPlainTextEdit* editor) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  auto* column = new QVBoxLayout;
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(gutter, 1);
  column->addSpacing(editor->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, editor));
  row->addLayout(column);
  row->addWidget(editor, 1);
  gutter->setParent(box);
  editor->setParent(box);
  return box;
}

// The left column of an editor page: caption and file name over the editor
// with its gutter, then the message area's caption, clear button and area.
struct EditorColumnNames {
  const char* caption;
  const char* fileName;
  const char* gutter;
  const char* editor;
  const char* messageCaption;
  const char* clear;
  const char* messages;
};

struct EditorColumn {
  QLabel* caption;
  QLabel* fileName;
  QPlainTextEdit* gutter;
  QPlainTextEdit* editor;
  QLabel* messageCaption;
  QPushButton* clear;
  QPlainTextEdit* messages;
  QVBoxLayout* layout;
};

EditorColumn makeEditorColumn(QWidget* page, const EditorColumnNames& names) {
  EditorColumn c{};
  c.layout = new QVBoxLayout;
  c.layout->setSpacing(4);
  auto* head = new QHBoxLayout;
  c.caption = makeCaption(page, names.caption);
  c.fileName = makePathLabel(page, names.fileName);
  head->addWidget(c.caption);
  head->addSpacing(12);
  head->addWidget(c.fileName, 1);
  c.layout->addLayout(head);
  c.gutter = makeGutter(page, names.gutter);
  c.editor = makeEditor(page, names.editor);
  c.layout->addWidget(editorWithGutter(page, c.gutter, c.editor), 1);
  auto* messageHead = new QHBoxLayout;
  c.messageCaption = makeCaption(page, names.messageCaption);
  c.clear = makeButton(page, names.clear);
  messageHead->addWidget(c.messageCaption);
  messageHead->addStretch(1);
  messageHead->addWidget(c.clear);
  c.layout->addLayout(messageHead);
  c.messages = makeMessageArea(page, names.messages);
  c.layout->addWidget(c.messages);
  return c;
}

QFrame* makeGroupFrame(QWidget* parent, const char* name) {
  auto* f = named(new QFrame(parent), name);
  f->setFrameShape(QFrame::StyledPanel);
  f->setFrameShadow(QFrame::Sunken);
  return f;
}

void retainWhenHidden(QWidget* w) {
  QSizePolicy p = w->sizePolicy();
  p.setRetainSizeWhenHidden(true);
  w->setSizePolicy(p);
}

// Texts of the window that the catalog does not carry.
struct ShellTexts {
  const char* version;
  const char* manual;
  const char* manualTip;
  const char* delayTip;
  const char* noDevice;
};
const ShellTexts& shellTexts(int language) {
  static const ShellTexts english{"Version", "Manual", "Open the operating manual (PDF)",
                                  "PLC transit delay (ms)", "no device behind this port"};
  static const ShellTexts chinese{"版本資訊", "操作手冊", "開啟操作手冊 (PDF)", "PLC傳送延遲 (ms)", "此通訊埠無對應裝置"};
  return language == 0 ? chinese : english;
}

}  // namespace

// ---------------------------------------------------------------- TRadioGroup

TRadioGroup::TRadioGroup(const QStringList& items, QWidget* parent) : QGroupBox(parent) {
  group_ = new QButtonGroup(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 4, 8, 6);
  layout->setSpacing(2);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(QStringLiteral("%1Item%2").arg(objectName()).arg(i));
    group_->addButton(button, i);
    layout->addWidget(button);
  }
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit itemIndexChanged(id);
  });
}

int TRadioGroup::itemIndex() const { return group_->checkedId(); }

void TRadioGroup::setItemIndex(int index) {
  if (QAbstractButton* b = group_->button(index)) {
    b->setChecked(true);
  } else if (QAbstractButton* checked = group_->checkedButton()) {
    group_->setExclusive(false);
    checked->setChecked(false);
    group_->setExclusive(true);
  }
}

QRadioButton* TRadioGroup::item(int index) const { return qobject_cast<QRadioButton*>(group_->button(index)); }

int TRadioGroup::count() const { return static_cast<int>(group_->buttons().size()); }

// ------------------------------------------------------------------ TMainForm

TMainForm::TMainForm(const MainFormOptions& options, QWidget* parent)
    : QWidget(parent), log_(catalog_, *this) {
  // 1. The window and its controls.
  setObjectName(QStringLiteral("MainForm"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(kClientWidth, kClientHeight);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  PageControl = named(new QTabWidget(this), "PageControl");
  outer->addWidget(PageControl);
  buildProgramSheet();
  buildParameterSheet();
  buildPlcSheet();
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
  for (const auto& o : options.portOverrides) ports_->overrideDevice(o.comNumber, o.devicePath, o.label);
  describePort_ = [this](int comNumber) { return ports_->describe(comNumber); };

  // 4. Gutters.
  fillGutters();
  // 5. A port index beyond the list means COM2.
  if (settings_.defaultPort > settings_.portCount) settings_.defaultPort = 1;
  // 6. The PLC delay box (its change handler stores what the box accepts).
  connect(TransDelayValue, qOverload<int>(&QSpinBox::valueChanged), this, &TMainForm::TransDelayValueChange);
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
  // The link primitives over the port, with these settings; the port's line
  // events reach this thread through the event loop.
  link_ = std::make_unique<Link>(CommPort, LinkSettings::from(settings_), log_, ports_.get());
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

void TMainForm::FormCreate() { setWindowTitle(productTitle(settings_.language)); }

// ---------------------------------------------------------------- the pages

void TMainForm::buildProgramSheet() {
  ProgramSheet = named(new QWidget, "ProgramSheet");
  PageControl->addTab(ProgramSheet, QString());
  ProgramSheet->installEventFilter(this);
  auto* page = new QHBoxLayout(ProgramSheet);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  // Left: the editor with its gutter, the message area below.
  const EditorColumn column = makeEditorColumn(
      ProgramSheet, {"Label1", "FileNameLabel", "Memo1", "ProgramMemo", "Label2", "ClrMsgBtn", "MsgMemo"});
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
  auto* rightBox = new QWidget(ProgramSheet);
  rightBox->setFixedWidth(kRightColumnWidth);
  rightBox->setLayout(right);
  right->setContentsMargins(0, 0, 0, 0);

  auto* slotFrame = makeGroupFrame(ProgramSheet, "ProgramPanel");
  auto* slotGrid = new QGridLayout(slotFrame);
  slotGrid->setContentsMargins(10, 8, 10, 8);
  slotGrid->setHorizontalSpacing(8);
  Label3 = makeCaption(slotFrame, "Label3", false);
  ProgNoEdit = named(new QSpinBox(slotFrame), "ProgNoEdit");
  ProgNoEdit->setRange(1, 99);
  ProgNoEdit->setValue(1);
  Label4 = makeCaption(slotFrame, "Label4", false);
  ProgNameEdit = named(new QLineEdit(slotFrame), "ProgNameEdit");
  ProgNameEdit->setMaxLength(8);
  ProgNameEdit->setValidator(new UpperCaseValidator(ProgNameEdit));
  ProgNameEdit->setFont(editorFont());
  TmpProgNameEdit = named(new QLineEdit(ProgramSheet), "TmpProgNameEdit");
  TmpProgNameEdit->hide();
  slotGrid->addWidget(Label3, 0, 0);
  slotGrid->addWidget(ProgNoEdit, 0, 1);
  slotGrid->addWidget(Label4, 1, 0);
  slotGrid->addWidget(ProgNameEdit, 1, 1);
  slotGrid->setColumnStretch(1, 1);
  right->addWidget(slotFrame);

  TypeSel = new TRadioGroup({QStringLiteral("ZAR X02"), QStringLiteral("ZAR X00/X01")}, ProgramSheet);
  TypeSel->setObjectName(QStringLiteral("TypeSel"));
  for (int i = 0; i < TypeSel->count(); ++i) TypeSel->item(i)->setObjectName(QStringLiteral("TypeSelItem%1").arg(i));
  TypeSel->setItemIndex(0);
  right->addWidget(TypeSel);

  auto* portFrame = makeGroupFrame(ProgramSheet, "PortPanel");
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
  connect(COM_Select, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index) {
    settings_.defaultPort = index;
    refreshPortDevices();
  });
  right->addWidget(portFrame);

  // Transfers with the controller.
  auto* transfer = new QGridLayout;
  transfer->setSpacing(6);
  TransBtn = makeButton(ProgramSheet, "TransBtn");
  RcvBtn = makeButton(ProgramSheet, "RcvBtn");
  DelProgBtn = makeButton(ProgramSheet, "DelProgBtn");
  AutoDetectBtn = makeButton(ProgramSheet, "AutoDetectBtn");
  MultipleBtn = makeButton(ProgramSheet, "MultipleBtn");
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
  ReadFileBtn = makeButton(ProgramSheet, "ReadFileBtn");
  WriteFileBtn = makeButton(ProgramSheet, "WriteFileBtn");
  SimulatorBtn = makeButton(ProgramSheet, "SimulatorBtn");
  files->addWidget(ReadFileBtn, 0, 0);
  files->addWidget(WriteFileBtn, 0, 1);
  files->addWidget(SimulatorBtn, 1, 0, 1, 2);
  right->addLayout(files);
  right->addStretch(1);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(6);
  SpeedButton1 = named(new QToolButton(ProgramSheet), "SpeedButton1");
  SpeedButton1->setMinimumHeight(kButtonHeight);
  SpeedButton1->setAutoRaise(false);
  VersionBtn = makeButton(ProgramSheet, "VersionBtn");
  CloseBtn = makeButton(ProgramSheet, "CloseBtn");
  bottom->addWidget(SpeedButton1);
  bottom->addWidget(VersionBtn);
  bottom->addWidget(CloseBtn);
  right->addLayout(bottom);
  page->addWidget(rightBox);

  connect(ClrMsgBtn, &QPushButton::clicked, this, &TMainForm::ClrMsgBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &TMainForm::CloseBtnClick);
  connect(VersionBtn, &QPushButton::clicked, this, &TMainForm::VersionBtnClick);
  connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
  connect(TransBtn, &QPushButton::clicked, this, &TMainForm::TransBtnClick);
  connect(RcvBtn, &QPushButton::clicked, this, &TMainForm::RcvBtnClick);
  connect(DelProgBtn, &QPushButton::clicked, this, &TMainForm::DelProgBtnClick);
  connect(ReadFileBtn, &QPushButton::clicked, this, &TMainForm::ReadFileBtnClick);
  connect(WriteFileBtn, &QPushButton::clicked, this, &TMainForm::WriteFileBtnClick);
  connect(SimulatorBtn, &QPushButton::clicked, this, &TMainForm::SimulatorBtnClick);
  connect(AutoDetectBtn, &QPushButton::clicked, this, &TMainForm::AutoDetectBtnClick);
  connect(MultipleBtn, &QPushButton::clicked, this, &TMainForm::MultipleBtnClick);
}

void TMainForm::buildParameterSheet() {
  ParameterSheet = named(new QWidget, "ParameterSheet");
  PageControl->addTab(ParameterSheet, QString());
  auto* page = new QHBoxLayout(ParameterSheet);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  // Left: the parameter editor with its file buttons, the message area.
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  ParFileNameLabel = makePathLabel(ParameterSheet, "ParFileNameLabel");
  left->addWidget(ParFileNameLabel);
  ParameterMemo = makeEditor(ParameterSheet, "ParameterMemo");
  left->addWidget(ParameterMemo, 1);
  auto* fileRow = new QHBoxLayout;
  ReadParBtn = makeButton(ParameterSheet, "ReadParBtn");
  WriteParBtn = makeButton(ParameterSheet, "WriteParBtn");
  Label7 = makeCaption(ParameterSheet, "Label7");
  Label7->setAlignment(Qt::AlignCenter);
  ReadParBtn->setMinimumWidth(110);
  WriteParBtn->setMinimumWidth(110);
  fileRow->addWidget(ReadParBtn);
  fileRow->addWidget(Label7, 1);
  fileRow->addWidget(WriteParBtn);
  left->addLayout(fileRow);
  auto* messageHead = new QHBoxLayout;
  Label6 = makeCaption(ParameterSheet, "Label6");
  ClrMsgBtn2 = makeButton(ParameterSheet, "ClrMsgBtn2");
  messageHead->addWidget(Label6);
  messageHead->addStretch(1);
  messageHead->addWidget(ClrMsgBtn2);
  left->addLayout(messageHead);
  ParMsgMemo = makeMessageArea(ParameterSheet, "ParMsgMemo");
  ParMsgMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  left->addWidget(ParMsgMemo);
  page->addLayout(left, 1);

  // Right: model and version, the parameter check list, the transfers.
  auto* rightBox = new QWidget(ParameterSheet);
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
  auto* bottom = new QHBoxLayout;
  CloseBtn2 = makeButton(rightBox, "CloseBtn2");
  CloseBtn2->setMinimumWidth(110);
  bottom->addStretch(1);
  bottom->addWidget(CloseBtn2);
  right->addLayout(bottom);
  page->addWidget(rightBox);

  connect(ClrMsgBtn2, &QPushButton::clicked, this, &TMainForm::ClrMsgBtn2Click);
  connect(CloseBtn2, &QPushButton::clicked, this, &TMainForm::CloseBtnClick);
  connect(SelAllBtn, &QPushButton::clicked, this, &TMainForm::SelAllBtnClick);
  connect(CancelSelBtn, &QPushButton::clicked, this, &TMainForm::CancelSelBtnClick);
  connect(ReadParBtn, &QPushButton::clicked, this, &TMainForm::ReadParBtnClick);
  connect(WriteParBtn, &QPushButton::clicked, this, &TMainForm::WriteParBtnClick);
  connect(ParTrnBtn, &QPushButton::clicked, this, &TMainForm::ParTrnBtnClick);
  connect(ParRcvBtn, &QPushButton::clicked, this, &TMainForm::ParRcvBtnClick);
}

void TMainForm::buildPlcSheet() {
  PLMSheet = named(new QWidget, "PLMSheet");
  PageControl->addTab(PLMSheet, QString());
  PLMSheet->installEventFilter(this);
  auto* page = new QHBoxLayout(PLMSheet);
  page->setContentsMargins(8, 8, 8, 8);
  page->setSpacing(10);

  const EditorColumn column = makeEditorColumn(
      PLMSheet, {"Label8", "PLMFileNameLabel", "Memo2", "PLMMemo", "Label9", "ClrMsgBtn3", "PLMMsgMemo"});
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

  TmpMemo = named(new QPlainTextEdit(PLMSheet), "TmpMemo");
  TmpMemo->hide();

  auto* rightBox = new QWidget(PLMSheet);
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
  CloseBtn3 = makeButton(rightBox, "CloseBtn3");
  right->addWidget(CloseBtn3);
  page->addWidget(rightBox);

  connect(ClrMsgBtn3, &QPushButton::clicked, this, &TMainForm::ClrMsgBtn3Click);
  connect(CloseBtn3, &QPushButton::clicked, this, &TMainForm::CloseBtnClick);
  connect(ReadPLMBtn, &QPushButton::clicked, this, &TMainForm::ReadPLMBtnClick);
  connect(WritePLMBtn, &QPushButton::clicked, this, &TMainForm::WritePLMBtnClick);
  connect(PLMTrnBtn, &QPushButton::clicked, this, &TMainForm::PLMTrnBtnClick);
  connect(PLMRcvBtn, &QPushButton::clicked, this, &TMainForm::PLMRcvBtnClick);
}

void TMainForm::setCaptions() {
  const struct {
    int id;
    QWidget* widget;
  } captions[] = {
      {11, ProgramSheet},     {12, Label1},        {13, Label2},         {14, Label3},
      {15, Label4},           {16, FileNameLabel}, {17, Label11},        {18, TypeSel},
      {21, TransBtn},         {22, RcvBtn},        {23, DelProgBtn},     {24, ClrMsgBtn},
      {25, ReadFileBtn},      {26, WriteFileBtn},  {27, SimulatorBtn},   {28, AutoDetectBtn},
      {29, MultipleBtn},      {30, CloseBtn},      {31, ParameterSheet}, {32, Label7},
      {33, Label6},           {34, Label5},        {35, ParFileNameLabel}, {36, Label10},
      {41, ParTrnBtn},        {42, ParRcvBtn},     {43, ClrMsgBtn2},     {44, ReadParBtn},
      {45, WriteParBtn},      {46, SelAllBtn},     {47, CancelSelBtn},   {50, CloseBtn2},
      {51, PLMSheet},         {52, Label8},        {54, Label9},         {53, PLMFileNameLabel},
      {61, PLMTrnBtn},        {62, PLMRcvBtn},     {63, ClrMsgBtn3},     {64, ReadPLMBtn},
      {65, WritePLMBtn},      {70, CloseBtn3},
  };
  for (const auto& c : captions) {
    const QString text = catalogText(catalog_, c.id);
    if (auto* label = qobject_cast<QLabel*>(c.widget)) {
      label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) {
      button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(c.widget)) {
      group->setTitle(text);
    } else if (const int tab = PageControl->indexOf(c.widget); tab >= 0) {
      PageControl->setTabText(tab, text);
    }
  }
  const ShellTexts& shell = shellTexts(settings_.language);
  VersionBtn->setText(QString::fromUtf8(shell.version));
  SpeedButton1->setText(QString::fromUtf8(shell.manual));
  SpeedButton1->setToolTip(QString::fromUtf8(shell.manualTip));
  TransDelayValue->setToolTip(QString::fromUtf8(shell.delayTip));
  refreshPortDevices();  // its texts are in the language too
}

void TMainForm::fillGutters() {
  QString nc;
  QString plc;
  nc.reserve(settings_.ncGutterLines * 6);
  plc.reserve(settings_.plcGutterLines * 6);
  char number[16];
  for (int n = 1; n <= 6000; ++n) {
    std::snprintf(number, sizeof number, "N%04d", n);
    const QLatin1String line(number);
    if (n <= settings_.ncGutterLines) {
      if (n > 1) nc += QLatin1Char('\n');
      nc += line;
    }
    if (n <= settings_.plcGutterLines) {
      if (n > 1) plc += QLatin1Char('\n');
      plc += line;
    }
  }
  Memo1->setPlainText(nc);
  Memo2->setPlainText(plc);
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

// ---------------------------------------------------------------- handlers

void TMainForm::PageControlChange(int index) {
  AutoDetectBtn->hide();
  TransDelayValue->hide();
  delayBoxShown_ = false;
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
      plcFilePath_ = "Tmp.mcn";
      break;
    default:
      break;
  }
}

void TMainForm::ProgramSheetMouseDown(Qt::KeyboardModifiers modifiers) {
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

void TMainForm::PLMSheetMouseDown(Qt::KeyboardModifiers modifiers) {
  if ((modifiers & Qt::AltModifier) && (modifiers & Qt::ShiftModifier)) {
    TransDelayValue->setVisible(TransDelayValue->isHidden());
    delayBoxShown_ = !delayBoxShown_;
  }
}

void TMainForm::followGutter(QPlainTextEdit* editorWidget, QPlainTextEdit* gutter) {
  const int first = editorWidget->verticalScrollBar()->value();
  QScrollBar* bar = gutter->verticalScrollBar();
  if (bar->value() != first) bar->setValue(bar->value() + (first - bar->value()));
}

void TMainForm::Timer1Timer() {
  if (page_ == Page::Program) {
    followGutter(ProgramMemo, Memo1);
  } else if (page_ == Page::Plc) {
    followGutter(PLMMemo, Memo2);
  }
}

void TMainForm::ClrMsgBtnClick() { MsgMemo->clear(); }
void TMainForm::ClrMsgBtn2Click() { ParMsgMemo->clear(); }
void TMainForm::ClrMsgBtn3Click() { PLMMsgMemo->clear(); }

void TMainForm::CloseBtnClick() {
  closeCommPort();
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  closeCommPort();
  settings_.defaultPort = COM_Select->currentIndex();
  // Into the working directory of the start-up, whatever the current one is now.
  saveInitIni(settings_, settings_.defaultPort, workingDirectory_);
}

void TMainForm::closeCommPort() {
  if (CommPort.Enabled()) CommPort.Close();
}

void TMainForm::VersionBtnClick() {
  TAboutForm about(settings_.language, catalog_, false, this);
  about.exec();
}

void TMainForm::SpeedButton1Click() {
  const QString manual =
      QString::fromStdString(FileLocator(workingDirectory_).readPath(FileKind::Data, kManualFileName));
  if (openDocument && openDocument(manual)) return;
  QMessageBox box(QMessageBox::NoIcon, productTitle(settings_.language), QString::fromLatin1(kManualFailureText),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("ManualFailureBox"));
  box.exec();
}

void TMainForm::TransDelayValueChange(int value) { settings_.plcTransitDelay = value; }

void TMainForm::ZAR102RadioButtonEnter() {
  VersionIndex = 1;
  VerKRadioBtn->setChecked(true);
  SetParameterList(0);
}

void TMainForm::ZAR202RadioButtonEnter() {
  VersionIndex = 0;
  VerSDRadioBtn->setChecked(true);
  SetParameterList(1);
}

void TMainForm::ZAR302RadioButtonEnter() {
  VersionIndex = 0;
  VerSDRadioBtn->setChecked(true);
  SetParameterList(2);
}

void TMainForm::ZAR101RadioButtonEnter() { SetParameterList(3); }
void TMainForm::ZAR200RadioButtonEnter() { SetParameterList(4); }
void TMainForm::ZAR300RadioButtonEnter() { SetParameterList(5); }

void TMainForm::VerSDRadioBtnEnter() {
  VersionIndex = 0;
  SetParameterList(ModelIndex);
}

void TMainForm::VerKRadioBtnEnter() {
  VersionIndex = 1;
  SetParameterList(ModelIndex);
}

void TMainForm::VerMRadioBtnEnter() {
  VersionIndex = 2;
  SetParameterList(ModelIndex);
}

void TMainForm::SelAllBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Checked);
}

void TMainForm::CancelSelBtnClick() {
  for (int i = 0; i < ParaCheckListBox->count(); ++i) ParaCheckListBox->item(i)->setCheckState(Qt::Unchecked);
}

// The parameter definition tables are not part of this build: the address
// tables stay empty and the check list shows no parameters.
void TMainForm::LoadAddressTables() {}

void TMainForm::SetParameterList(int model) {
  ModelIndex = model;
  ParaCheckListBox->clear();
}

// ---------------------------------------------------------------- link and dialogues

void TMainForm::ConnectRS232() { link_->ConnectRS232(COM_Select->currentIndex()); }

std::vector<QPushButton*> TMainForm::transferButtons() const {
  return {TransBtn, RcvBtn, DelProgBtn, MultipleBtn, AutoDetectBtn, ParTrnBtn, ParRcvBtn, PLMTrnBtn, PLMRcvBtn};
}

bool TMainForm::runDialogue(const std::function<void()>& dialogue) {
  if (link_->busy()) return false;
  link_->setSettings(LinkSettings::from(settings_));
  // Disabled for the dialogue, then back as they were, whatever happens in it.
  struct Restore {
    std::vector<std::pair<QPointer<QPushButton>, bool>> buttons;
    ~Restore() {
      for (auto& [button, enabled] : buttons)
        if (button) button->setEnabled(enabled);
    }
  } restore;
  for (QPushButton* button : transferButtons()) {
    restore.buttons.emplace_back(button, button->isEnabled());
    button->setEnabled(false);
  }
  dialogue();
  return true;
}

nc::ProgramPage TMainForm::programPage() const {
  nc::ProgramPage page;
  page.slot = ProgNoEdit->value();
  page.progName = fromQt(ProgNameEdit->text());
  page.tmpProgName = fromQt(TmpProgNameEdit->text());
  page.typeIndex = TypeSel->itemIndex();
  page.comIndex = COM_Select->currentIndex();
  return page;
}

void TMainForm::takeProgramNames(const nc::ProgramPage& before, const nc::ProgramPage& after) {
  if (after.progName != before.progName) ProgNameEdit->setText(toQt(after.progName));
  if (after.tmpProgName != before.tmpProgName) TmpProgNameEdit->setText(toQt(after.tmpProgName));
}

void TMainForm::scrollToTop(QPlainTextEdit* editorWidget) {
  editorWidget->moveCursor(QTextCursor::Start);
  editorWidget->verticalScrollBar()->setValue(0);
}

QString TMainForm::fileNameLabelText(const std::string& path) const {
  // The path is a file-system name, not a catalog text.
  return toQt(GetMessageText(nc::ProgramFiles::kFileLabel)) + QString::fromStdString(path);
}

void TMainForm::TransBtnClick() {
  runDialogue([this] {
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(*link_, log_);
    transfer.TransBtnClick(page);
    takeProgramNames(before, page);
  });
}

void TMainForm::RcvBtnClick() {
  runDialogue([this] {
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(*link_, log_);
    const nc::TransferOutcome outcome = transfer.RcvBtnClick(page);
    takeProgramNames(before, page);
    if (outcome == nc::TransferOutcome::Done) scrollToTop(ProgramMemo);
  });
}

void TMainForm::DelProgBtnClick() {
  runDialogue([this] {
    const nc::ProgramPage before = programPage();
    nc::ProgramPage page = before;
    nc::ProgramTransfer transfer(*link_, log_);
    transfer.DelProgBtnClick(page);
    takeProgramNames(before, page);
  });
}

void TMainForm::ReadFileBtnClick() {
  if (!chooseOpenFile(this, Page::Program, fileChoice_, catalog_)) return;
  const std::string path = fileChoice_.CurrentFileName;
  // Hidden while it is filled; shown again on every way out.
  ProgramMemo->hide();
  FileNameLabel->setText(fileNameLabelText(path));
  const nc::ProgramPage before = programPage();
  nc::ProgramPage page = before;
  nc::ProgramFiles files(log_);
  const nc::LoadStatus status = files.load(path, page);
  if (page.slot != before.slot) ProgNoEdit->setValue(page.slot);
  if (status == nc::LoadStatus::Loaded) ProgNameEdit->setText(toQt(page.progName));
  ProgramMemo->show();
  if (status == nc::LoadStatus::Loaded) {
    ProgramMemo->setFocus();
    scrollToTop(ProgramMemo);
  }
}

void TMainForm::WriteFileBtnClick() {
  if (!chooseSaveFile(this, Page::Program, fileChoice_, catalog_)) return;
  const std::string path = fileChoice_.CurrentFileName;
  FileNameLabel->setText(fileNameLabelText(path));
  nc::ProgramFiles files(log_);
  files.save(path, programPage());
}

// The simulator, the service functions and the other pages' transfers and
// files are handled by their own subsystems; until those are connected here
// their buttons do nothing.
void TMainForm::SimulatorBtnClick() {
  runSimulator(this, editorLines(Page::Program), catalog_, log_, workingDirectory_);
}
void TMainForm::AutoDetectBtnClick() {}
void TMainForm::MultipleBtnClick() {}
void TMainForm::ReadParBtnClick() {}
void TMainForm::WriteParBtnClick() {}
void TMainForm::ParTrnBtnClick() {}
void TMainForm::ParRcvBtnClick() {}
void TMainForm::ReadPLMBtnClick() {}
void TMainForm::WritePLMBtnClick() {}
void TMainForm::PLMTrnBtnClick() {}
void TMainForm::PLMRcvBtnClick() {}

// ---------------------------------------------------------------- keys, mouse

bool TMainForm::ProgramMemoKeyPress(QObject* editorWidget, QKeyEvent* event) {
  const QString text = event->text();
  const QString upper = upperLetters(text);
  if (upper == text) return false;
  QKeyEvent replaced(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                     static_cast<ushort>(event->count()));
  QCoreApplication::sendEvent(editorWidget, &replaced);
  return true;
}

bool TMainForm::COM_SelectKeyPress(QKeyEvent* event) {
  // A port is chosen from the list only: typed characters are dropped, the
  // navigation keys still work.
  const QString text = event->text();
  return !text.isEmpty() && text.at(0).isPrint();
}

bool TMainForm::TransDelayValueKeyPress(QKeyEvent* event) {
  return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (watched == ProgramSheet) ProgramSheetMouseDown(mouse->modifiers());
      if (watched == PLMSheet) PLMSheetMouseDown(mouse->modifiers());
      break;
    }
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (watched == ProgramMemo || watched == PLMMemo) return ProgramMemoKeyPress(watched, key);
      if (watched == COM_Select) return COM_SelectKeyPress(key);
      if (watched == TransDelayValue) return TransDelayValueKeyPress(key);
      break;
    }
    case QEvent::FocusIn: {
      // A button is entered when the user moves to it, not when the window
      // comes back to the front with the focus still there.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      if (watched == ZAR102RadioButton) ZAR102RadioButtonEnter();
      else if (watched == ZAR202RadioButton) ZAR202RadioButtonEnter();
      else if (watched == ZAR302RadioButton) ZAR302RadioButtonEnter();
      else if (watched == ZAR101RadioButton) ZAR101RadioButtonEnter();
      else if (watched == ZAR200RadioButton) ZAR200RadioButtonEnter();
      else if (watched == ZAR300RadioButton) ZAR300RadioButtonEnter();
      else if (watched == VerSDRadioBtn) VerSDRadioBtnEnter();
      else if (watched == VerKRadioBtn) VerKRadioBtnEnter();
      else if (watched == VerMRadioBtn) VerMRadioBtnEnter();
      break;
    }
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (firstPaint_) {
    auto callback = std::move(firstPaint_);
    firstPaint_ = nullptr;
    callback();
  }
}

}  // namespace zar
