#include "ui/MainWindow.h"

Tfrm_Main::Tfrm_Main(const QString &dataDir, QWidget *parent) : QMainWindow(parent), dataDir_(dataDir) {
  setObjectName("frm_Main");
  setWindowTitle("Brevant 2.0: Untitled");
}
