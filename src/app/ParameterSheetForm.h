#pragma once
// The parameter page: the parameter editor with its file buttons and message
// area, the controller model and version, the check list of parameters and
// the parameter transfers. The model and version chosen are the page's.

#include <QWidget>

#include <vector>

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
  void setCaptions();

  // Parameter tables: loaded once; the check list is rebuilt for a model
  // (and the current version and language).
  void LoadAddressTables();
  void SetParameterList(int model);

  int ModelIndex = 0;    // 0..5: 102, 202, 302, 101, 200, 300
  int VersionIndex = 1;  // 0..2: SD, K, M

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
  PageContext& app_;
};

}  // namespace zar
