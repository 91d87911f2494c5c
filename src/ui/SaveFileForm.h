#pragma once
// The save-file dialog: like the open dialog, with the page's save file
// types, the page's remembered name proposed, and a button that makes a new
// directory.

#include <QDialog>

#include "ui/FileChoice.h"
#include "ui/MessageCatalog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace zar {

class QtFileBrowser;

class TSaveFileForm : public QDialog {
  Q_OBJECT
 public:
  TSaveFileForm(Page page, FileChoice& state, const MessageCatalog& catalog, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLineEdit* FileEdit = nullptr;
  QPushButton* SaveOKBtn = nullptr;
  QPushButton* SaveCloseBtn = nullptr;
  QToolButton* NewDir = nullptr;
  QtFileBrowser* browser() const { return browser_; }

  void SaveOKBtnClick();
  void SaveCloseBtnClick();
  void NewDirClick();
  void DirectoryListBox1Change();
  void reject() override;

 private:
  Page page_;
  FileChoice& state_;
  const MessageCatalog& catalog_;
  QtFileBrowser* browser_ = nullptr;
};

// Runs the save dialog for a page. Clears `FileDialogConfirmed` first; true
// when the user confirmed a non-empty name, with the path in `CurrentFileName`.
bool chooseSaveFile(QWidget* parent, Page page, FileChoice& state, const MessageCatalog& catalog);

}  // namespace zar
