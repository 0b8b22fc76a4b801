#include "ui/BrevantApplication.h"

#include <QMessageBox>
#include <exception>

TBrevantApplication::TBrevantApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // No display name: the platform would append it to every window title.
  setApplicationName("Brevant 2.0");
}

bool TBrevantApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &e) {
    ShowError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowError("An unexpected error occurred.");
  }
  return false;
}

void TBrevantApplication::ShowError(const QString &message) {
  // A message box lays out all of its text: a message grown from a damaged value would
  // freeze the window, so its middle gives way.
  constexpr qsizetype kLimit = 1000;
  const QString shown = message.size() <= kLimit ? message : message.left(kLimit / 2) + "..." + message.right(kLimit / 2);
  QMessageBox::critical(activeWindow(), "Brevant 2.0", shown);
}
