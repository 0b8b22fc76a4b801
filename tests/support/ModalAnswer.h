#pragma once
// Widget tests: answer the next modal dialog of a kind as soon as it opens. Header-only,
// since the test-support library itself does not link the widgets.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

// Polls for a modal widget of type T for up to `timeoutMs`, then hands it to `answer`.
template <class T> void AnswerNextModal(std::function<void(T *)> answer, int timeoutMs = 5000) {
  auto *timer = new QTimer(qApp);
  auto remaining = std::make_shared<int>(timeoutMs / 10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, remaining] {
    if (auto *w = qobject_cast<T *>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      answer(w);
    } else if (--*remaining <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
}

// Clicks `button` in the next message box and keeps its text.
inline void AnswerNextMessageBox(QMessageBox::StandardButton button, QString *text = nullptr) {
  AnswerNextModal<QMessageBox>([button, text](QMessageBox *box) {
    if (text) *text = box->text();
    if (QAbstractButton *b = box->button(button)) b->click();
    else box->reject();
  });
}
