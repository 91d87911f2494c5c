#pragma once
// The new-directory dialog: makes one directory inside `NewDirPath` and, on
// success, leaves its path there. A failure is reported and the dialog stays
// open for another try.

#include <QDialog>
#include <string>

#include "ui/MessageCatalog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zar {

class TNewDirForm : public QDialog {
  Q_OBJECT
 public:
  TNewDirForm(std::string& newDirPath, const MessageCatalog& catalog, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLabel* NowDir = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* NewDirEdit = nullptr;
  QPushButton* ConfirmBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void ConfirmBtnClick();
  void CancelBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string& newDirPath_;
  const MessageCatalog& catalog_;
};

// The sequence every NewDir button runs: NewDirPath := `shownDirectory`, run
// the dialog; returns the directory to show afterwards (the new one if one
// was made, otherwise `shownDirectory`).
std::string runNewDirDialog(QWidget* parent, std::string& newDirPath, const std::string& shownDirectory,
                            const MessageCatalog& catalog);

}  // namespace zar
