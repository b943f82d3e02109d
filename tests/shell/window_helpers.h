// Helpers for tests of the window under the offscreen platform: acting on a modal dialog once
// it is on screen (the test's own call is then inside the dialog's nested event loop), and
// finding widgets and menu items by the names the operator sees.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

namespace fidora::test {

// Calls `act` with the active modal widget once it is a visible T (polled every 10 ms, for at
// most 5 s).
template <typename T>
void WhenModalShows(std::function<void(T&)> act, int tries = 500) {
  QTimer::singleShot(10, [act = std::move(act), tries] {
    if (auto* widget = dynamic_cast<T*>(QApplication::activeModalWidget());
        widget && widget->isVisible()) {
      act(*widget);
    } else if (tries > 0) {
      WhenModalShows<T>(act, tries - 1);
    }
  });
}

// Calls `then` once `done` holds (polled every 10 ms), or at `deadline` whatever happens.
inline void WhenTrue(std::function<bool()> done, std::function<void()> then,
                     std::chrono::steady_clock::time_point deadline =
                         std::chrono::steady_clock::now() + std::chrono::seconds(5)) {
  QTimer::singleShot(10, [done, then, deadline] {
    if (done() || std::chrono::steady_clock::now() >= deadline)
      then();
    else
      WhenTrue(done, then, deadline);
  });
}

inline QPushButton* ButtonNamed(QWidget& parent, const QString& text) {
  for (QPushButton* button : parent.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

inline QAction* MenuItem(QMainWindow& window, const QString& menu, const QString& item) {
  for (QAction* top : window.menuBar()->actions()) {
    if (top->text() != menu || !top->menu()) continue;
    for (QAction* action : top->menu()->actions())
      if (action->text() == item) return action;
  }
  return nullptr;
}

inline QStringList MemoLines(QWidget& window, const char* name) {
  auto* memo = window.findChild<QPlainTextEdit*>(QLatin1String(name));
  return memo ? memo->toPlainText().split(QLatin1Char('\n')) : QStringList{};
}

inline std::string Std(const QString& text) {
  return text.toStdString();
}

}  // namespace fidora::test
