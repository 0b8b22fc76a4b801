#pragma once
#include <QApplication>

// The application object. An error that escapes a command ends that command and is shown
// in one message box; the program goes on.
class TBrevantApplication : public QApplication {
public:
  TBrevantApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;
  static void ShowError(const QString &message);
};
