#include "ui/NewDirForm.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "ui/DialogCaptions.h"
#include "ui/FileChoice.h"
#include "ui/MessageForm.h"
#include "ui/QtFileBrowser.h"
#include "ui/QtText.h"

namespace zar {

TNewDirForm::TNewDirForm(std::string& newDirPath, const MessageCatalog& catalog, QWidget* parent)
    : QDialog(parent), newDirPath_(newDirPath), catalog_(catalog) {
  setObjectName("NewDirForm");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(catalogText(catalog, 181));
  Label1 = new QLabel(catalogText(catalog, 182), this);
  Label1->setObjectName("Label1");
  NowDir = new QLabel(this);
  NowDir->setObjectName("NowDir");
  NowDir->setTextFormat(Qt::PlainText);
  const QString shown = pathText(newDirPath);
  NowDir->setText(NowDir->fontMetrics().elidedText(shown, Qt::ElideMiddle, 300));
  NowDir->setToolTip(shown);
  Label2 = new QLabel(catalogText(catalog, 183), this);
  Label2->setObjectName("Label2");
  NewDirEdit = new QLineEdit(this);
  NewDirEdit->setObjectName("NewDirEdit");
  NewDirEdit->setMinimumWidth(300);
  NewDirEdit->installEventFilter(this);
  Label2->setBuddy(NewDirEdit);
  ConfirmBtn = new QPushButton(catalogText(catalog, 73), this);
  ConfirmBtn->setObjectName("ConfirmBtn");
  ConfirmBtn->setAutoDefault(false);
  CancelBtn = new QPushButton(catalogText(catalog, 74), this);
  CancelBtn->setObjectName("CancelBtn");
  CancelBtn->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(NowDir, 0, 1);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(NewDirEdit, 1, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ConfirmBtn);
  row->addWidget(CancelBtn);
  grid->addLayout(row, 2, 0, 1, 2);
  ConfirmBtn->setMinimumWidth(90);
  CancelBtn->setMinimumWidth(90);
  adjustSize();
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  connect(ConfirmBtn, &QPushButton::clicked, this, [this] { ConfirmBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
  NewDirEdit->setFocus();
}

void TNewDirForm::ConfirmBtnClick() {
  std::string made;
  if (makeNewDirectory(newDirPath_, pathBytes(NewDirEdit->text()), made)) {
    newDirPath_ = made;
    accept();
    return;
  }
  QApplication::beep();
  DialogCaptions captions(catalog_);
  captions.SetDialogButtonCaptions(0, 0);
  ShowMessageDialog(catalog_.text(184), DialogType::Error, {ButtonKind::OK}, 0, captions, this);
  NewDirEdit->setFocus();
}

void TNewDirForm::CancelBtnClick() { reject(); }

bool TNewDirForm::eventFilter(QObject* watched, QEvent* event) {
  // NewDirEditKeyPress: Enter confirms, and the key goes no further.
  if (watched == NewDirEdit && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ConfirmBtnClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

std::string runNewDirDialog(QWidget* parent, std::string& newDirPath, const std::string& shownDirectory,
                            const MessageCatalog& catalog) {
  newDirPath = shownDirectory;
  {
    TNewDirForm form(newDirPath, catalog, parent);
    form.exec();
  }
  return newDirPath;
}

}  // namespace zar
