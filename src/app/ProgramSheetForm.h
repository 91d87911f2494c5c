#pragma once
// The NC program page: the program editor with its gutter and message area,
// the controller slot and program name, the controller type, the port box,
// and the buttons of program transfers, files and the simulator.
//
// The page fills its own fields and handlers; the port box's list, the
// manual, about and close buttons are the window's to serve.

#include <QWidget>

#include <vector>

#include "app/QtUnsavedWork.h"
#include "nc/ProgramTransfer.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace zar {

class PageContext;
class TRadioGroup;

class TProgramSheetForm : public QWidget {
  Q_OBJECT
 public:
  explicit TProgramSheetForm(PageContext& app, QWidget* parent = nullptr);

  // The page's fields as the program dialogues and files take them.
  nc::ProgramPage programPage() const;
  // The buttons that start a controller dialogue.
  std::vector<QPushButton*> transferButtons() const;
  // What must not act while a dialogue runs: the editor, the program's
  // slot, name and type, the port, and every button that changes the
  // program or opens a window of its own.
  std::vector<QWidget*> dialogueLocks() const;
  // The editor's text as last opened, received, saved or sent.
  const EditorBaseline& editorBaseline() const { return baseline_; }
  // The page's name in questions (its tab caption).
  QString pageName() const;
  void setCaptions();

  QLabel* Label1 = nullptr;          // editor caption
  QLabel* FileNameLabel = nullptr;
  QPlainTextEdit* Memo1 = nullptr;   // line-number gutter
  QPlainTextEdit* ProgramMemo = nullptr;
  QLabel* Label2 = nullptr;          // message area caption
  QPlainTextEdit* MsgMemo = nullptr;
  QLabel* Label3 = nullptr;          // slot number caption
  QSpinBox* ProgNoEdit = nullptr;
  QLabel* Label4 = nullptr;          // program name caption
  QLineEdit* ProgNameEdit = nullptr;
  QLineEdit* TmpProgNameEdit = nullptr;
  TRadioGroup* TypeSel = nullptr;
  QLabel* Label11 = nullptr;         // port caption
  QComboBox* COM_Select = nullptr;
  QLabel* ComDeviceLabel = nullptr;  // the device behind the chosen COM entry
  QPushButton* TransBtn = nullptr;
  QPushButton* RcvBtn = nullptr;
  QPushButton* DelProgBtn = nullptr;
  QPushButton* ReadFileBtn = nullptr;
  QPushButton* WriteFileBtn = nullptr;
  QPushButton* SimulatorBtn = nullptr;
  QPushButton* AutoDetectBtn = nullptr;
  QPushButton* MultipleBtn = nullptr;
  QPushButton* ClrMsgBtn = nullptr;
  QPushButton* CloseBtn = nullptr;
  QPushButton* VersionBtn = nullptr;
  QToolButton* SpeedButton1 = nullptr;

 public slots:
  void ProgramSheetMouseDown(Qt::KeyboardModifiers modifiers);
  void ClrMsgBtnClick();
  void TransBtnClick();
  void RcvBtnClick();
  void DelProgBtnClick();
  void ReadFileBtnClick();
  void WriteFileBtnClick();
  void SimulatorBtnClick();
  void AutoDetectBtnClick();
  void MultipleBtnClick();

 public:
  // Key handlers; true when the key was consumed.
  bool ProgramMemoKeyPress(QObject* editor, QKeyEvent* event);
  bool COM_SelectKeyPress(QKeyEvent* event);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Shows the names a program dialogue changed.
  void takeProgramNames(const nc::ProgramPage& before, const nc::ProgramPage& after);
  QString fileNameLabelText(const std::string& path) const;

  PageContext& app_;
  EditorBaseline baseline_;
};

}  // namespace zar
