#pragma once
// The parameter page: the parameter editor with its file buttons and message
// area, the controller model and version, the check list of parameters and
// the parameter transfers. The model and version chosen are the page's.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "app/QtUnsavedWork.h"
#include "param/ParameterModels.h"
#include "param/ParameterTables.h"

class QFocusEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zar {

class PageContext;

class TParameterSheetForm : public QWidget {
  Q_OBJECT
 public:
  explicit TParameterSheetForm(PageContext& app, QWidget* parent = nullptr);

  // The buttons that start a controller dialogue.
  std::vector<QPushButton*> transferButtons() const;
  // What a parameter dialogue reads or fills, held still while it runs (the
  // window's dialogue lock): the editor, the check list, the model and
  // version buttons, the selection and file buttons.
  std::vector<QWidget*> dialogueLocks() const;
  // The editor's text as last opened, received, saved or sent.
  const EditorBaseline& editorBaseline() const { return baseline_; }
  // The page's name in questions (its tab caption).
  QString pageName() const;
  void setCaptions();

  // Parameter tables: the address tables are read once, with the language
  // and working directory of the run; the check list is rebuilt for a model
  // (and the current version and language), every item unchecked.
  void LoadAddressTables();
  void SetParameterList(int model);
  // Shows a model and version found by the port search (the radio buttons
  // checked, no enter handler run); with `rebuildList` the list follows.
  void takeIdentity(int modelIndex, int versionIndex, bool rebuildList);
  // The list behind the check list: item i is entry i.
  const param::ParameterList& parameterList() const;
  // The entries whose items are checked, in list order.
  std::vector<param::ParameterEntry> checkedEntries() const;

  int ModelIndex = param::kStartModel;      // 0..5: 102, 202, 302, 101, 200, 300
  int VersionIndex = param::kStartVersion;  // 0..2: SD, K, M

  QLabel* ParFileNameLabel = nullptr;
  QLabel* Label7 = nullptr;          // editor caption
  QPlainTextEdit* ParameterMemo = nullptr;
  QPushButton* ReadParBtn = nullptr;
  QPushButton* WriteParBtn = nullptr;
  QLabel* Label6 = nullptr;          // message area caption
  QPlainTextEdit* ParMsgMemo = nullptr;
  QPushButton* ClrMsgBtn2 = nullptr;
  QGroupBox* ModelGroup = nullptr;
  QRadioButton* ZAR102RadioButton = nullptr;
  QRadioButton* ZAR202RadioButton = nullptr;
  QRadioButton* ZAR302RadioButton = nullptr;
  QRadioButton* ZAR101RadioButton = nullptr;
  QRadioButton* ZAR200RadioButton = nullptr;
  QRadioButton* ZAR300RadioButton = nullptr;
  QLabel* Label10 = nullptr;         // version caption
  QFrame* VersionPanel = nullptr;
  QRadioButton* VerSDRadioBtn = nullptr;
  QRadioButton* VerKRadioBtn = nullptr;
  QRadioButton* VerMRadioBtn = nullptr;
  QLabel* Label5 = nullptr;          // check list caption
  QListWidget* ParaCheckListBox = nullptr;
  QPushButton* SelAllBtn = nullptr;
  QPushButton* CancelSelBtn = nullptr;
  QPushButton* ParTrnBtn = nullptr;
  QPushButton* ParRcvBtn = nullptr;
  QPushButton* CloseBtn2 = nullptr;

 public slots:
  void ClrMsgBtn2Click();
  // Model and version selectors act when a button receives the focus.
  void ZAR102RadioButtonEnter();
  void ZAR202RadioButtonEnter();
  void ZAR302RadioButtonEnter();
  void ZAR101RadioButtonEnter();
  void ZAR200RadioButtonEnter();
  void ZAR300RadioButtonEnter();
  void VerSDRadioBtnEnter();
  void VerKRadioBtnEnter();
  void VerMRadioBtnEnter();
  void SelAllBtnClick();
  void CancelSelBtnClick();
  void ReadParBtnClick();
  void WriteParBtnClick();
  void ParTrnBtnClick();
  void ParRcvBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A model or version button took the focus: the version may follow the
  // model, then the list is rebuilt.
  void enter(param::SelectorButton button);
  QRadioButton* versionRadio(int versionIndex) const;
  QRadioButton* selectorRadio(param::SelectorButton button) const;
  // Whether a focus change onto one of the page's buttons is the user's
  // move (a click, Tab, an arrow key), not the window or the page coming
  // back with the focus where it was.
  bool isEnter(QObject* watched, const QFocusEvent& event) const;

  PageContext& app_;
  std::unique_ptr<param::ParameterTables> tables_;
  std::unique_ptr<param::ParameterChooser> chooser_;
  EditorBaseline baseline_;
  // The widget that had the focus before the one now taking it (the
  // application's focus-changed signal comes after the focus-in event).
  QPointer<QWidget> focusBefore_;
};

}  // namespace zar
