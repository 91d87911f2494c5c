#include "ui/OpenFileForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/QtFileBrowser.h"
#include "ui/QtText.h"

namespace zar {

TOpenFileForm::TOpenFileForm(Page page, FileChoice& state, const MessageCatalog& catalog, QWidget* parent)
    : QDialog(parent), page_(page), state_(state) {
  setObjectName("OpenFileForm");
  setWindowTitle(catalogText(catalog, 68));
  Label1 = new QLabel(catalogText(catalog, 35), this);
  Label1->setObjectName("Label1");
  FileEdit = new QLineEdit(QStringLiteral("*.*"), this);
  FileEdit->setObjectName("FileEdit");
  Label1->setBuddy(FileEdit);
  OpenOKBtn = new QPushButton(catalogText(catalog, 73), this);
  OpenOKBtn->setObjectName("OpenOKBtn");
  OpenOKBtn->setDefault(true);
  OpenCloseBtn = new QPushButton(catalogText(catalog, 74), this);
  OpenCloseBtn->setObjectName("OpenCloseBtn");

  browser_ = new QtFileBrowser(this);
  browser_->setFilter(filterEntries(page, FileDialogKind::Open));
  browser_->setDirectory(state.Directory);
  layOutChooser(this, Label1, FileEdit, browser_, OpenOKBtn, OpenCloseBtn);

  connect(OpenOKBtn, &QPushButton::clicked, this, [this] { OpenOKBtnClick(); });
  connect(OpenCloseBtn, &QPushButton::clicked, this, [this] { OpenCloseBtnClick(); });
  connect(browser_, &QtFileBrowser::filePicked, FileEdit, &QLineEdit::setText);
  connect(browser_, &QtFileBrowser::fileOpened, this, [this](const QString& name) {
    FileEdit->setText(name);
    OpenOKBtnClick();
  });
  FileEdit->setFocus();
}

void TOpenFileForm::OpenOKBtnClick() {
  confirmOpen(state_, page_, browser_->filterIndex(), browser_->directory(), pathBytes(FileEdit->text()));
  state_.Directory = browser_->directory();
  done(Accepted);
}

void TOpenFileForm::OpenCloseBtnClick() { reject(); }

void TOpenFileForm::reject() {
  state_.FileDialogConfirmed = false;
  state_.Directory = browser_->directory();
  QDialog::reject();
}

bool chooseOpenFile(QWidget* parent, Page page, FileChoice& state, const MessageCatalog& catalog) {
  state.FileDialogConfirmed = false;
  {
    TOpenFileForm form(page, state, catalog, parent);
    form.exec();
  }
  return state.FileDialogConfirmed;
}

}  // namespace zar
