#pragma once
// The strip under the window's pages that follows a running dialogue: a
// bar (lines, records, parameters or programs done of the total, or busy
// while the total is unknown), the estimate beside it ("120/302 lines
// 0:15 left") and a Cancel button. Escape does what Cancel does. The strip
// is shown while a dialogue runs and hidden otherwise; the pages' message
// lines stay as they are.
//
// It is the link progress's one observer and calls the link's cancel: the
// dialogue stops at its next frame boundary, closes the port and says so.

#include <QWidget>

#include "link/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace zar {

class Link;

class QtProgressStrip : public QWidget, public ProgressObserver {
  Q_OBJECT
 public:
  // `window` receives the Escape shortcut.
  QtProgressStrip(Link& link, QWidget* window, QWidget* parent = nullptr);
  ~QtProgressStrip() override;

  void setCancelCaption(const QString& text);

  void progressStarted() override;
  void progressChanged(const ProgressSnapshot& now) override;
  void progressEnded(const ProgressSnapshot& last, DialogueOutcome outcome) override;

  QProgressBar* TransferProgress = nullptr;
  QLabel* TransferEstimate = nullptr;
  QPushButton* TransferCancelBtn = nullptr;

  void TransferCancelBtnClick();

 private:
  Link& link_;
  QShortcut* escape_ = nullptr;
};

}  // namespace zar
