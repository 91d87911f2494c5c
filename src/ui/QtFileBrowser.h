#pragma once
// The linked drive box, directory list, file list and file-type box that the
// open, save and multiple-program dialogs share: the drive and the directory
// choose where the file list looks, the file type chooses its mask.

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "ui/FileChoice.h"

class QComboBox;
class QDialog;
class QLineEdit;
class QPushButton;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace zar {

class QtFileBrowser : public QObject {
  Q_OBJECT
 public:
  // Creates the controls as children of `owner` (named DriveComboBox1,
  // DirectoryListBox1, FileListBox1, FilterComboBox1, and DirectoryLabel for
  // the path shown above the directory list); the owner lays them out.
  explicit QtFileBrowser(QWidget* owner);

  QComboBox* DriveComboBox1 = nullptr;
  QListWidget* DirectoryListBox1 = nullptr;
  QListWidget* FileListBox1 = nullptr;
  QComboBox* FilterComboBox1 = nullptr;
  QLabel* DirectoryLabel = nullptr;

  // Sets the filter entries; the selected entry stays when the entries are
  // the same, otherwise the first is selected.
  void setFilter(const std::vector<FilterEntry>& entries);
  int filterIndex() const;

  // Shows `directory` (made absolute) and refreshes drives, directories and files.
  void setDirectory(const std::string& directory);
  // The directory shown, absolute, in file-system encoding.
  const std::string& directory() const { return directory_; }
  void refresh();

 protected:
  // Enter on a list opens its current entry and goes no further, so it does
  // not also press the dialog's default button; on the file list only an
  // entry the operator picked is opened, otherwise Enter presses that button.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // The drive, the directory or the file type changed.
  void changed();
  // A file of the list was picked (clicked, or reached with an arrow key) or
  // opened (double-clicked, or Enter on the picked file). The current entry
  // the list takes by itself when it gets the focus is no pick.
  void filePicked(const QString& name);
  void fileOpened(const QString& name);

 private:
  void DriveComboBox1Change(int index);
  void DirectoryListBox1Open(QListWidgetItem* item);
  void pick(QListWidgetItem* item);
  void pressDefaultButton();
  void refreshDrives();
  void refreshDirectories();
  void refreshFiles();
  void showDirectoryLabel();

  std::string directory_;
  std::vector<std::string> roots_;
  std::vector<FilterEntry> filter_;
  bool updating_ = false;
  QListWidgetItem* picked_ = nullptr;  // the file entry the operator picked
};

// Lays out a chooser dialog: name label and box over the file list and the
// file types; drive, path and directory list beside them; the buttons (and
// an optional extra control over them) at the right. Fixes the dialog's size
// and centres it on the screen.
void layOutChooser(QDialog* dialog, QLabel* nameLabel, QLineEdit* nameEdit, QtFileBrowser* browser,
                   QPushButton* ok, QPushButton* close, QWidget* extra = nullptr);

// A file-system string as shown text, and back.
QString pathText(const std::string& path);
std::string pathBytes(const QString& text);

}  // namespace zar
