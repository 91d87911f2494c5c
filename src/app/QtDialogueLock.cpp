#include "app/QtDialogueLock.h"

#include <QPlainTextEdit>
#include <QTabWidget>

namespace zar {

DialogueLock::DialogueLock(const std::vector<QWidget*>& controls, QTabWidget* pages) : pages_(pages) {
  for (QWidget* control : controls) {
    if (!control) continue;
    if (auto* editor = qobject_cast<QPlainTextEdit*>(control)) {
      editors_.push_back({editor, editor->isReadOnly()});
      editor->setReadOnly(true);
    } else {
      controls_.push_back({control, control->isEnabled()});
      control->setEnabled(false);
    }
  }
  if (pages_) {
    const int current = pages_->currentIndex();
    for (int i = 0; i < pages_->count(); ++i) {
      tabWasEnabled_.push_back(pages_->isTabEnabled(i));
      if (i != current) pages_->setTabEnabled(i, false);
    }
  }
}

DialogueLock::~DialogueLock() {
  if (pages_) {
    for (int i = 0; i < pages_->count() && i < static_cast<int>(tabWasEnabled_.size()); ++i)
      pages_->setTabEnabled(i, tabWasEnabled_[static_cast<size_t>(i)]);
  }
  for (const HeldEditor& e : editors_)
    if (e.editor) e.editor->setReadOnly(e.wasReadOnly);
  for (const Held& c : controls_)
    if (c.control) c.control->setEnabled(c.wasEnabled);
}

}  // namespace zar
