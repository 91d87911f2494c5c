#include "nc/MultipleNCForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/QtControls.h"
#include "app/QtRadioGroup.h"
#include "base/Settings.h"
#include "ui/FileChoice.h"
#include "ui/NewDirForm.h"
#include "ui/QtFileBrowser.h"
#include "ui/QtText.h"

namespace zar {

namespace {

// The slot ranges the three switches open: L17-L32, L17-L59, G63-G68.
struct Range {
  int first, last;
};
constexpr Range kRanges[3] = {{17, 32}, {17, 59}, {63, 68}};

bool alwaysEnabled(int slot) { return slot <= 16 || (slot >= 60 && slot <= 62); }

}  // namespace

TMultipleNCForm::TMultipleNCForm(Settings& settings, FileChoice& files, const MessageCatalog& catalog,
                                 QWidget* parent)
    : QDialog(parent), settings_(settings), files_(files), catalog_(catalog) {
  setObjectName(QStringLiteral("MultipleNCForm"));
  setWindowTitle(QString::fromUtf8(catalog.language() == 0 ? "同時寫入或讀出多組ZAR程式"
                                                            : "Read or write multiple programs"));
  ModeSelect = new TRadioGroup({catalogText(catalog, 131), catalogText(catalog, 132)}, this, 2);
  ModeSelect->setObjectName(QStringLiteral("ModeSelect"));
  ModeSelect->setItemIndex(-1);

  browser_ = new QtFileBrowser(this);
  browser_->FileListBox1->hide();
  browser_->setFilter(filterEntries(Page::Program, FileDialogKind::Open));

  buildSlots();
  Label1 = named(new QLabel(catalogText(catalog, 35), this), "Label1");
  FirstFilenameEdit = named(new QLineEdit(this), "FirstFilenameEdit");
  FirstFilenameEdit->setMaxLength(static_cast<int>(nc::kMaxPrefixLength));
  NewDir = named(new QToolButton(this), "NewDir");
  NewDir->setText(QStringLiteral("+"));
  CheckListBox1 = named(new QListWidget(this), "CheckListBox1");
  SelAllBtn2 = named(new QPushButton(catalogText(catalog, 133), this), "SelAllBtn2");
  CancelSelBtn2 = named(new QPushButton(catalogText(catalog, 134), this), "CancelSelBtn2");
  InquireChk = named(new QCheckBox(catalogText(catalog, 135), this), "InquireChk");
  InquireChk->setChecked(settings_.multipleConfirm);
  OKBtn = named(new QPushButton(catalogText(catalog, 73), this), "OKBtn");
  CancelBtn = named(new QPushButton(catalogText(catalog, 75), this), "CancelBtn");
  layOut();

  connect(ModeSelect, &TRadioGroup::itemIndexChanged, this, &TMultipleNCForm::ModeSelectClick);
  connect(MoreChkBox0, &QCheckBox::clicked, this, [this] { MoreChkBoxClick(0); });
  connect(MoreChkBox1, &QCheckBox::clicked, this, [this] { MoreChkBoxClick(1); });
  connect(MoreChkBox2, &QCheckBox::clicked, this, [this] { MoreChkBoxClick(2); });
  connect(SelAllBtn, &QPushButton::clicked, this, &TMultipleNCForm::SelAllBtnClick);
  connect(CancelSelBtn, &QPushButton::clicked, this, &TMultipleNCForm::CancelSelBtnClick);
  connect(SelAllBtn2, &QPushButton::clicked, this, &TMultipleNCForm::SelAllBtn2Click);
  connect(CancelSelBtn2, &QPushButton::clicked, this, &TMultipleNCForm::CancelSelBtn2Click);
  connect(browser_, &QtFileBrowser::changed, this, &TMultipleNCForm::FileListOnChange);
  connect(NewDir, &QToolButton::clicked, this, &TMultipleNCForm::NewDirClick);
  connect(InquireChk, &QCheckBox::clicked, this, &TMultipleNCForm::InquireChkClick);
  connect(OKBtn, &QPushButton::clicked, this, &TMultipleNCForm::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TMultipleNCForm::CancelBtnClick);

  showDirectory(files_.Directory);
  // Nothing but the mode can be chosen before the mode.
  OKBtn->hide();
  OKBtn->setEnabled(false);
  showMode(-1);
}

TMultipleNCForm::~TMultipleNCForm() = default;

void TMultipleNCForm::buildSlots() {
  Panel1 = named(new QWidget(this), "Panel1");
  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(2);
  for (int slot = 1; slot <= nc::kServiceSlots; ++slot) {
    auto* box = new QCheckBox(QString::fromStdString(nc::slotName(slot)), Panel1);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(slot));
    box->setEnabled(alwaysEnabled(slot));
    CheckBox[slot - 1] = box;
    const int i = slot - 1;
    grid->addWidget(box, i % 12, i / 12);
  }
  SelAllBtn = named(new QPushButton(catalogText(catalog_, 133), this), "SelAllBtn");
  CancelSelBtn = named(new QPushButton(catalogText(catalog_, 134), this), "CancelSelBtn");
  MoreChkBox0 = named(new QCheckBox(QStringLiteral("L17-L32"), this), "MoreChkBox0");
  MoreChkBox1 = named(new QCheckBox(QStringLiteral("L17-L59"), this), "MoreChkBox1");
  MoreChkBox2 = named(new QCheckBox(QStringLiteral("G63-G68"), this), "MoreChkBox2");
}

void TMultipleNCForm::layOut() {
  auto* top = new QVBoxLayout(this);
  top->addWidget(ModeSelect);
  auto* middle = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(browser_->DriveComboBox1);
  browser_->DirectoryLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  left->addWidget(browser_->DirectoryLabel);
  left->addWidget(browser_->DirectoryListBox1, 1);
  left->addWidget(browser_->FilterComboBox1);
  auto* prefix = new QHBoxLayout;
  prefix->addWidget(Label1);
  prefix->addWidget(FirstFilenameEdit);
  prefix->addWidget(NewDir);
  left->addLayout(prefix);
  left->addStretch(1);  // the lists keep their size; the room goes below
  middle->addLayout(left, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(Panel1);
  right->addWidget(CheckListBox1, 1);
  auto* ranges = new QHBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(MoreChkBox0), static_cast<QWidget*>(MoreChkBox1),
                     static_cast<QWidget*>(MoreChkBox2), static_cast<QWidget*>(SelAllBtn),
                     static_cast<QWidget*>(CancelSelBtn), static_cast<QWidget*>(SelAllBtn2),
                     static_cast<QWidget*>(CancelSelBtn2), static_cast<QWidget*>(InquireChk)})
    ranges->addWidget(w);
  right->addLayout(ranges);
  middle->addLayout(right, 3);
  top->addLayout(middle, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  top->addLayout(buttons);
  for (QWidget* w : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(CheckListBox1),
                     static_cast<QWidget*>(OKBtn)})
    retainWhenHidden(w);
  // A fixed-size box, centred on the screen.
  adjustSize();
  setFixedSize(sizeHint().expandedTo(QSize(760, 480)));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TMultipleNCForm::showMode(int mode) {
  const bool known = mode == 0 || mode == 1;
  for (QWidget* w : {static_cast<QWidget*>(browser_->DriveComboBox1),
                     static_cast<QWidget*>(browser_->DirectoryListBox1),
                     static_cast<QWidget*>(browser_->FilterComboBox1),
                     static_cast<QWidget*>(browser_->DirectoryLabel)})
    w->setVisible(known);
  const bool read = mode == 0;
  const bool write = mode == 1;
  for (QWidget* w : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Label1),
                     static_cast<QWidget*>(FirstFilenameEdit), static_cast<QWidget*>(MoreChkBox0),
                     static_cast<QWidget*>(MoreChkBox1), static_cast<QWidget*>(MoreChkBox2),
                     static_cast<QWidget*>(NewDir), static_cast<QWidget*>(SelAllBtn),
                     static_cast<QWidget*>(CancelSelBtn)})
    w->setVisible(read);
  for (QWidget* w : {static_cast<QWidget*>(CheckListBox1), static_cast<QWidget*>(SelAllBtn2),
                     static_cast<QWidget*>(CancelSelBtn2), static_cast<QWidget*>(InquireChk)})
    w->setVisible(write);
}

// ---------------------------------------------------------------- handlers

void TMultipleNCForm::ModeSelectClick(int mode) {
  if (mode != 0 && mode != 1) return;
  OKBtn->show();
  OKBtn->setEnabled(true);
  OKBtn->setDefault(true);
  showMode(mode);
}

void TMultipleNCForm::setRange(int first, int last, bool enabled) {
  for (int slot = first; slot <= last; ++slot) {
    CheckBox[slot - 1]->setChecked(false);
    CheckBox[slot - 1]->setEnabled(enabled);
  }
}

void TMultipleNCForm::MoreChkBoxClick(int which) {
  QCheckBox* boxes[3] = {MoreChkBox0, MoreChkBox1, MoreChkBox2};
  QCheckBox* box = boxes[which];
  // The two L ranges overlap: one at a time, the second tick is taken back.
  if (which < 2 && box->isChecked() && boxes[1 - which]->isChecked()) {
    box->setChecked(false);
    return;
  }
  setRange(kRanges[which].first, kRanges[which].last, box->isChecked());
}

void TMultipleNCForm::SelAllBtnClick() {
  const bool lower = MoreChkBox0->isChecked() || MoreChkBox1->isChecked();
  const bool upper = MoreChkBox1->isChecked();
  const bool g = MoreChkBox2->isChecked();
  for (int slot = 1; slot <= nc::kServiceSlots; ++slot) {
    bool on = alwaysEnabled(slot);
    if (slot >= 17 && slot <= 32) on = lower;
    if (slot >= 33 && slot <= 59) on = upper;
    if (slot >= 63) on = g;
    CheckBox[slot - 1]->setChecked(on);
  }
}

void TMultipleNCForm::CancelSelBtnClick() {
  for (QCheckBox* box : CheckBox) box->setChecked(false);
}

void TMultipleNCForm::SelAllBtn2Click() {
  for (int i = 0; i < CheckListBox1->count(); ++i) CheckListBox1->item(i)->setCheckState(Qt::Checked);
}

void TMultipleNCForm::CancelSelBtn2Click() {
  for (int i = 0; i < CheckListBox1->count(); ++i) CheckListBox1->item(i)->setCheckState(Qt::Unchecked);
}

void TMultipleNCForm::FileListOnChange() {
  // The list shows what the chosen directory holds, also when that is
  // nothing: names of another directory must not be written to this one.
  CheckListBox1->clear();
  QListWidget* files = browser_->FileListBox1;
  for (int i = 0; i < files->count(); ++i) {
    auto* item = new QListWidgetItem(files->item(i)->text(), CheckListBox1);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
}

void TMultipleNCForm::NewDirClick() {
  showDirectory(runNewDirDialog(this, files_.NewDirPath, browser_->directory(), catalog_));
}

void TMultipleNCForm::showDirectory(const std::string& directory) {
  browser_->setDirectory(directory);
  FileListOnChange();
}

void TMultipleNCForm::InquireChkClick() { settings_.multipleConfirm = InquireChk->isChecked(); }

void TMultipleNCForm::OKBtnClick() {
  choice_ = nc::MultipleChoice{};
  const int mode = ModeSelect->itemIndex();
  if (mode == 0) {
    for (int i = 0; i < nc::kServiceSlots; ++i) {
      choice_.chosenSlots[i] = CheckBox[i]->isChecked();
      choice_.count += choice_.chosenSlots[i];
    }
    choice_.prefix = pathBytes(FirstFilenameEdit->text());
  } else if (mode == 1) {
    for (int i = 0; i < CheckListBox1->count(); ++i) {
      if (CheckListBox1->item(i)->checkState() != Qt::Checked) continue;
      if (++choice_.count > nc::kMaxFiles) {
        // More files than slots start nothing.
        choice_.count = 0;
        choice_.files.clear();
        break;
      }
      choice_.files.push_back(pathBytes(CheckListBox1->item(i)->text()));
    }
  }
  if (choice_.count > 0) {
    choice_.confirmed = true;
    choice_.mode = mode;
    // The directory shown, whether or not it lists a file.
    choice_.directory = browser_->directory();
    if (choice_.directory.empty() || choice_.directory.back() != '/') choice_.directory += '/';
    files_.Directory = browser_->directory();
    accept();
  } else {
    reject();
  }
}

void TMultipleNCForm::CancelBtnClick() {
  choice_.confirmed = false;
  reject();
}

}  // namespace zar
