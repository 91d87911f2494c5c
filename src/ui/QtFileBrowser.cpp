#include "ui/QtFileBrowser.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QWidget>
#include <cstdlib>
#include <functional>

namespace zar {
namespace {

constexpr int kListWidth = 220;
constexpr int kListHeight = 210;
constexpr int kPathRole = Qt::UserRole;

// The file list tells which key presses moved its current entry: those are
// the operator's picks, unlike the current entry the list takes by itself
// when the focus arrives (Tab) or its contents change.
class FileList : public QListWidget {
 public:
  using QListWidget::QListWidget;
  std::function<void(QListWidgetItem*)> movedByKey;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    QListWidgetItem* before = currentItem();
    QListWidget::keyPressEvent(event);
    if (currentItem() && currentItem() != before && movedByKey) movedByKey(currentItem());
  }
};

bool sameEntries(const std::vector<FilterEntry>& a, const std::vector<FilterEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].description != b[i].description || a[i].mask != b[i].mask) return false;
  return true;
}

}  // namespace

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string pathBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

QtFileBrowser::QtFileBrowser(QWidget* owner) : QObject(owner) {
  DriveComboBox1 = new QComboBox(owner);
  DriveComboBox1->setObjectName("DriveComboBox1");
  DirectoryListBox1 = new QListWidget(owner);
  DirectoryListBox1->setObjectName("DirectoryListBox1");
  auto* files = new FileList(owner);
  files->movedByKey = [this](QListWidgetItem* item) { pick(item); };
  FileListBox1 = files;
  FileListBox1->setObjectName("FileListBox1");
  FilterComboBox1 = new QComboBox(owner);
  FilterComboBox1->setObjectName("FilterComboBox1");
  DirectoryLabel = new QLabel(owner);
  DirectoryLabel->setObjectName("DirectoryLabel");

  DirectoryListBox1->setFixedSize(kListWidth, kListHeight);
  FileListBox1->setFixedSize(kListWidth, kListHeight);
  DriveComboBox1->setFixedWidth(kListWidth);
  FilterComboBox1->setFixedWidth(kListWidth);
  DirectoryLabel->setFixedWidth(kListWidth);
  DirectoryLabel->setTextFormat(Qt::PlainText);

  DirectoryListBox1->installEventFilter(this);
  FileListBox1->installEventFilter(this);

  connect(DriveComboBox1, &QComboBox::activated, this, [this](int index) { DriveComboBox1Change(index); });
  connect(DirectoryListBox1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { DirectoryListBox1Open(item); });
  connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, [this](int) {
    if (updating_) return;
    refreshFiles();
    emit changed();
  });
  connect(FileListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { pick(item); });
  connect(FileListBox1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { emit fileOpened(item->text()); });
}

void QtFileBrowser::pick(QListWidgetItem* item) {
  picked_ = item;
  if (item) emit filePicked(item->text());
}

bool QtFileBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && (watched == DirectoryListBox1 || watched == FileListBox1)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      auto* list = static_cast<QListWidget*>(watched);
      QListWidgetItem* item = list->currentItem();
      if (list == FileListBox1 && (!item || item != picked_)) {
        // No file picked here: Enter confirms the name as typed, as it does
        // anywhere else in the dialog.
        pressDefaultButton();
      } else if (item) {
        emit list->itemActivated(item);
      }
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void QtFileBrowser::pressDefaultButton() {
  for (QPushButton* button : FileListBox1->window()->findChildren<QPushButton*>()) {
    if (button->isDefault() && button->isEnabled()) {
      button->click();
      return;
    }
  }
}

void QtFileBrowser::setFilter(const std::vector<FilterEntry>& entries) {
  if (sameEntries(entries, filter_) && FilterComboBox1->count() == static_cast<int>(entries.size())) return;
  filter_ = entries;
  updating_ = true;
  FilterComboBox1->clear();
  for (const FilterEntry& e : entries)
    FilterComboBox1->addItem(QString::fromStdString(e.description + " (" + e.mask + ")"));
  FilterComboBox1->setCurrentIndex(entries.empty() ? -1 : 0);
  updating_ = false;
  refreshFiles();
}

int QtFileBrowser::filterIndex() const { return FilterComboBox1->currentIndex(); }

void QtFileBrowser::setDirectory(const std::string& directory) {
  directory_ = absoluteDirectory(directory);
  refresh();
}

void QtFileBrowser::refresh() {
  if (directory_.empty()) directory_ = absoluteDirectory("");
  refreshDrives();
  refreshDirectories();
  refreshFiles();
  showDirectoryLabel();
}

void QtFileBrowser::DriveComboBox1Change(int index) {
  if (index < 0 || index >= static_cast<int>(roots_.size())) return;
  setDirectory(roots_[static_cast<size_t>(index)]);
  emit changed();
}

void QtFileBrowser::DirectoryListBox1Open(QListWidgetItem* item) {
  if (!item) return;
  const std::string target = pathBytes(item->data(kPathRole).toString());
  if (target.empty() || target == directory_) return;
  setDirectory(target);
  emit changed();
}

void QtFileBrowser::refreshDrives() {
  roots_ = reachableRoots();
  updating_ = true;
  DriveComboBox1->clear();
  const char* home = std::getenv("HOME");
  for (const std::string& root : roots_) {
    QStyle::StandardPixmap icon = QStyle::SP_DriveHDIcon;
    if (home && root == absoluteDirectory(home)) icon = QStyle::SP_DirHomeIcon;
    else if (root != "/") icon = QStyle::SP_DriveFDIcon;
    DriveComboBox1->addItem(DriveComboBox1->style()->standardIcon(icon), pathText(root));
  }
  DriveComboBox1->setCurrentIndex(rootIndexFor(roots_, directory_));
  updating_ = false;
}

void QtFileBrowser::refreshDirectories() {
  DirectoryListBox1->clear();
  const QIcon open = DirectoryListBox1->style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = DirectoryListBox1->style()->standardIcon(QStyle::SP_DirClosedIcon);
  const std::vector<std::string> chain = directoryChain(directory_);
  int depth = 0;
  QListWidgetItem* current = nullptr;
  for (const std::string& dir : chain) {
    const std::string shown = dir == "/" ? "/" : dir.substr(dir.rfind('/') + 1);
    auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + pathText(shown), DirectoryListBox1);
    item->setData(kPathRole, pathText(dir));
    current = item;
    ++depth;
  }
  for (const std::string& name : listDirectories(directory_)) {
    const std::string path = directory_ == "/" ? "/" + name : directory_ + "/" + name;
    auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + pathText(name), DirectoryListBox1);
    item->setData(kPathRole, pathText(path));
  }
  if (current) DirectoryListBox1->setCurrentItem(current);
}

void QtFileBrowser::refreshFiles() {
  updating_ = true;
  picked_ = nullptr;
  FileListBox1->clear();
  const int index = filterIndex();
  const std::string mask =
      index >= 0 && index < static_cast<int>(filter_.size()) ? filter_[static_cast<size_t>(index)].mask : "*.*";
  if (!directory_.empty())
    for (const std::string& name : listFiles(directory_, mask)) FileListBox1->addItem(pathText(name));
  updating_ = false;
}

void QtFileBrowser::showDirectoryLabel() {
  const QString path = pathText(directory_);
  DirectoryLabel->setText(DirectoryLabel->fontMetrics().elidedText(path, Qt::ElideMiddle, kListWidth));
  DirectoryLabel->setToolTip(path);
}

void layOutChooser(QDialog* dialog, QLabel* nameLabel, QLineEdit* nameEdit, QtFileBrowser* browser,
                   QPushButton* ok, QPushButton* close, QWidget* extra) {
  dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  nameEdit->setFixedWidth(kListWidth);
  auto* grid = new QGridLayout(dialog);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setHorizontalSpacing(12);
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(browser->DirectoryLabel, 0, 1);
  if (extra) grid->addWidget(extra, 0, 2, Qt::AlignLeft);
  grid->addWidget(nameEdit, 1, 0);
  grid->addWidget(browser->DriveComboBox1, 1, 1);
  grid->addWidget(ok, 1, 2);
  grid->addWidget(browser->FileListBox1, 2, 0, 2, 1);
  grid->addWidget(browser->DirectoryListBox1, 2, 1, 2, 1);
  grid->addWidget(close, 2, 2, Qt::AlignTop);
  grid->addWidget(browser->FilterComboBox1, 4, 0);
  grid->setRowStretch(3, 1);
  ok->setMinimumWidth(90);
  close->setMinimumWidth(90);
  dialog->adjustSize();
  if (const QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen())
    dialog->move(screen->availableGeometry().center() - dialog->rect().center());
}

}  // namespace zar
