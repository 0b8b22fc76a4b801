#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[]) {
  QApplication app(argc, argv);
  Tfrm_Main window(QCoreApplication::applicationDirPath() + "/");
  window.show();
  return app.exec();
}
