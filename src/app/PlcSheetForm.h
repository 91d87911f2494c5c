#pragma once
// The PLC page: the PLC source editor with its gutter and message area, the
// file and transfer buttons, the progress field and the transit delay box
// (a service control that appears on request).

#include <QWidget>

#include <string>
#include <vector>

#include "app/QtUnsavedWork.h"

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace zar {

class PageContext;

class TPlcSheetForm : public QWidget {
  Q_OBJECT
 public:
  explicit TPlcSheetForm(PageContext& app, QWidget* parent = nullptr);

  // The buttons that start a controller dialogue.
  std::vector<QPushButton*> transferButtons() const;
  // What a PLC dialogue reads or fills, held still while it runs (the
  // window's dialogue lock): the editor, the file buttons, the delay box.
  std::vector<QWidget*> dialogueLocks() const;
  // The editor's text as last opened, received, saved or sent.
  const EditorBaseline& editorBaseline() const { return baseline_; }
  // The page's name in questions (its tab caption).
  QString pageName() const;
  void setCaptions();

  // The page's current file path; "Tmp.mcn" each time the page is entered.
  std::string& filePath() { return filePath_; }
  bool delayBoxShown() const { return delayBoxShown_; }
  // Hides the transit delay box again (on every page change).
  void hideDelayBox();

  QLabel* Label8 = nullptr;          // editor caption
  QLabel* PLMFileNameLabel = nullptr;
  QPlainTextEdit* Memo2 = nullptr;   // line-number gutter
  QPlainTextEdit* PLMMemo = nullptr;
  QLabel* Label9 = nullptr;          // message area caption
  QPlainTextEdit* PLMMsgMemo = nullptr;
  QPlainTextEdit* TmpMemo = nullptr; // received records, never shown
  QLabel* Progress = nullptr;
  QPushButton* ReadPLMBtn = nullptr;
  QPushButton* WritePLMBtn = nullptr;
  QPushButton* PLMTrnBtn = nullptr;
  QPushButton* PLMRcvBtn = nullptr;
  QPushButton* ClrMsgBtn3 = nullptr;
  QSpinBox* TransDelayValue = nullptr;
  QPushButton* CloseBtn3 = nullptr;

 public slots:
  void PLMSheetMouseDown(Qt::KeyboardModifiers modifiers);
  void ClrMsgBtn3Click();
  void TransDelayValueChange(int value);
  void ReadPLMBtnClick();
  void WritePLMBtnClick();
  void PLMTrnBtnClick();
  void PLMRcvBtnClick();

 public:
  // Key handler; true when the key was consumed.
  bool TransDelayValueKeyPress(QKeyEvent* event);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class MarksView;
  // Runs one PLC dialogue with the progress panel showing `mark`s.
  template <typename Dialogue>
  void withMarks(char mark, Qt::Alignment alignment, Dialogue&& dialogue);
  void showFileName(const std::string& path);

  PageContext& app_;
  EditorBaseline baseline_;
  std::string filePath_ = "Tmp.mcn";
  bool delayBoxShown_ = false;
};

}  // namespace zar
