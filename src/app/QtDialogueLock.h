#pragma once
// Keeps the controls that could change what a controller dialogue works on,
// or end it, from acting while the dialogue runs: for as long as the lock
// lives, editors are read-only (still scrollable, still readable), every
// other control listed is disabled, and the pages other than the current
// one cannot be chosen. Each control gets back the state it had.
//
//   DialogueLock lock(page.dialogueLocks(), PageControl);
//   dialogue();   // the window stays live; the program cannot change under it

#include <QPointer>

#include <vector>

class QPlainTextEdit;
class QTabWidget;
class QWidget;

namespace zar {

class DialogueLock {
 public:
  DialogueLock(const std::vector<QWidget*>& controls, QTabWidget* pages);
  ~DialogueLock();
  DialogueLock(const DialogueLock&) = delete;
  DialogueLock& operator=(const DialogueLock&) = delete;

 private:
  struct Held {
    QPointer<QWidget> control;
    bool wasEnabled;
  };
  struct HeldEditor {
    QPointer<QPlainTextEdit> editor;
    bool wasReadOnly;
  };
  std::vector<Held> controls_;
  std::vector<HeldEditor> editors_;
  QPointer<QTabWidget> pages_;
  std::vector<bool> tabWasEnabled_;
};

}  // namespace zar
