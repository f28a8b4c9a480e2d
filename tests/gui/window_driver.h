#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace rootix::gui::testing {

// The pointer resting on a control (as a move without a button pressed).
inline void hover(QWidget* w) {
  const QPointF local(w->width() / 2.0, w->height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, local, w->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

inline void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center()); }

// A key as the keyboard delivers it: to the control with the focus, or to
// the window itself when none has it.
inline void press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* focus = window->focusWidget();
  QWidget* target = focus && focus->isVisible() ? focus : window;
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

}  // namespace rootix::gui::testing
