#include "ui/SaveFileForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "ui/NewDirForm.h"
#include "ui/QtFileBrowser.h"
#include "ui/QtText.h"

namespace zar {

TSaveFileForm::TSaveFileForm(Page page, FileChoice& state, const MessageCatalog& catalog, QWidget* parent)
    : QDialog(parent), page_(page), state_(state), catalog_(catalog) {
  setObjectName("SaveFileForm");
  setWindowTitle(catalogText(catalog, 69));
  Label1 = new QLabel(catalogText(catalog, 35), this);
  Label1->setObjectName("Label1");
  FileEdit = new QLineEdit(this);
  FileEdit->setObjectName("FileEdit");
  Label1->setBuddy(FileEdit);
  SaveOKBtn = new QPushButton(catalogText(catalog, 73), this);
  SaveOKBtn->setObjectName("SaveOKBtn");
  SaveOKBtn->setDefault(true);
  SaveCloseBtn = new QPushButton(catalogText(catalog, 74), this);
  SaveCloseBtn->setObjectName("SaveCloseBtn");
  NewDir = new QToolButton(this);
  NewDir->setObjectName("NewDir");
  NewDir->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  NewDir->setToolTip(catalogText(catalog, 181));
  NewDir->setAutoRaise(true);

  browser_ = new QtFileBrowser(this);
  browser_->setDirectory(state.Directory);
  browser_->setFilter(filterEntries(page, FileDialogKind::Save));
  FileEdit->setText(pathText(state.lastFileName(page)));
  layOutChooser(this, Label1, FileEdit, browser_, SaveOKBtn, SaveCloseBtn, NewDir);

  connect(SaveOKBtn, &QPushButton::clicked, this, [this] { SaveOKBtnClick(); });
  connect(SaveCloseBtn, &QPushButton::clicked, this, [this] { SaveCloseBtnClick(); });
  connect(NewDir, &QToolButton::clicked, this, [this] { NewDirClick(); });
  connect(browser_, &QtFileBrowser::changed, this, [this] { DirectoryListBox1Change(); });
  connect(browser_, &QtFileBrowser::filePicked, FileEdit, &QLineEdit::setText);
  connect(browser_, &QtFileBrowser::fileOpened, this, [this](const QString& name) {
    FileEdit->setText(name);
    SaveOKBtnClick();
  });
  FileEdit->setFocus();
  FileEdit->selectAll();
}

void TSaveFileForm::DirectoryListBox1Change() {
  // A new place or file type proposes the page's remembered name again.
  browser_->setFilter(filterEntries(page_, FileDialogKind::Save));
  FileEdit->setText(pathText(state_.lastFileName(page_)));
}

void TSaveFileForm::SaveOKBtnClick() {
  const bool confirmed =
      confirmSave(state_, page_, browser_->filterIndex(), browser_->directory(), pathBytes(FileEdit->text()));
  state_.Directory = browser_->directory();
  done(confirmed ? Accepted : Rejected);
}

void TSaveFileForm::SaveCloseBtnClick() { reject(); }

void TSaveFileForm::reject() {
  state_.FileDialogConfirmed = false;
  state_.Directory = browser_->directory();
  QDialog::reject();
}

void TSaveFileForm::NewDirClick() {
  browser_->setDirectory(runNewDirDialog(this, state_.NewDirPath, browser_->directory(), catalog_));
}

bool chooseSaveFile(QWidget* parent, Page page, FileChoice& state, const MessageCatalog& catalog) {
  state.FileDialogConfirmed = false;
  {
    TSaveFileForm form(page, state, catalog, parent);
    form.exec();
  }
  return state.FileDialogConfirmed;
}

}  // namespace zar
