#pragma once
// The open-file dialog: the page's file types, the name box, and the drive,
// directory and file lists. OK hands the chosen path back through the
// shared `FileChoice`.

#include <QDialog>

#include "ui/FileChoice.h"
#include "ui/MessageCatalog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zar {

class QtFileBrowser;

class TOpenFileForm : public QDialog {
  Q_OBJECT
 public:
  TOpenFileForm(Page page, FileChoice& state, const MessageCatalog& catalog, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLineEdit* FileEdit = nullptr;
  QPushButton* OpenOKBtn = nullptr;
  QPushButton* OpenCloseBtn = nullptr;
  QtFileBrowser* browser() const { return browser_; }

  void OpenOKBtnClick();
  void OpenCloseBtnClick();
  void reject() override;

 private:
  Page page_;
  FileChoice& state_;
  QtFileBrowser* browser_ = nullptr;
};

// Runs the open dialog for a page. Clears `FileDialogConfirmed` first; true
// when the user confirmed, with the path in `CurrentFileName`.
bool chooseOpenFile(QWidget* parent, Page page, FileChoice& state, const MessageCatalog& catalog);

}  // namespace zar
