#pragma once
// The dialog of the many-programs run: the direction, the slots (mode 0,
// read from the controller) or the files (mode 1, write to it), the
// directory, and the file prefix or the inquire option. Created for one
// use; what was chosen is in choice() after it closes.

#include <QDialog>

#include <array>
#include <memory>
#include <string>

#include "nc/MultipleTransfer.h"
#include "ui/MessageCatalog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;
class QWidget;

namespace zar {

class QtFileBrowser;
class TRadioGroup;
struct FileChoice;
struct Settings;

class TMultipleNCForm : public QDialog {
  Q_OBJECT
 public:
  // `settings` carries the inquire option (changed at once by InquireChk);
  // `files` the directory the dialog starts in and the new-directory state.
  TMultipleNCForm(Settings& settings, FileChoice& files, const MessageCatalog& catalog, QWidget* parent = nullptr);
  ~TMultipleNCForm() override;

  const nc::MultipleChoice& choice() const { return choice_; }

  TRadioGroup* ModeSelect = nullptr;
  QWidget* Panel1 = nullptr;
  std::array<QCheckBox*, nc::kServiceSlots> CheckBox{};  // CheckBox1 .. CheckBox68
  QPushButton* SelAllBtn = nullptr;
  QPushButton* CancelSelBtn = nullptr;
  QCheckBox* MoreChkBox0 = nullptr;  // L17-L32
  QCheckBox* MoreChkBox1 = nullptr;  // L17-L59
  QCheckBox* MoreChkBox2 = nullptr;  // G63-G68
  QLabel* Label1 = nullptr;
  QLineEdit* FirstFilenameEdit = nullptr;
  QToolButton* NewDir = nullptr;
  QListWidget* CheckListBox1 = nullptr;
  QPushButton* SelAllBtn2 = nullptr;
  QPushButton* CancelSelBtn2 = nullptr;
  QCheckBox* InquireChk = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QtFileBrowser* browser() const { return browser_; }
  // Points the file list at `directory` and lists its files.
  void showDirectory(const std::string& directory);

  void ModeSelectClick(int mode);
  void MoreChkBoxClick(int which);
  void SelAllBtnClick();
  void CancelSelBtnClick();
  void SelAllBtn2Click();
  void CancelSelBtn2Click();
  void FileListOnChange();
  void NewDirClick();
  void InquireChkClick();
  void OKBtnClick();
  void CancelBtnClick();

 private:
  void buildSlots();
  void layOut();
  void setRange(int first, int last, bool enabled);
  void showMode(int mode);

  Settings& settings_;
  FileChoice& files_;
  const MessageCatalog& catalog_;
  QtFileBrowser* browser_ = nullptr;
  nc::MultipleChoice choice_;
};

}  // namespace zar
