#pragma once
// Drives modal dialogs in widget tests: the action runs once the next modal
// dialog is up (inside its event loop), so a test can press its keys and
// buttons and let exec() return.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zar::test {

inline void whenModalShown(std::function<void(QWidget*)> action) {
  QTimer::singleShot(0, [action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal) action(modal);
    else ADD_FAILURE() << "no modal dialog is shown";
  });
}

inline void pressKey(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(w, &press);
}

}  // namespace zar::test
