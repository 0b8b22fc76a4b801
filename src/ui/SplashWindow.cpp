#include "ui/SplashWindow.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

Tfrm_Splash::Tfrm_Splash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("frm_Splash");
  setWindowTitle("Brevant 2.0");
  auto *picture = new QLabel(this);
  picture->setObjectName("img_Splash");
  picture->setPixmap(QPixmap(":/splash.jpg"));
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picture);
  adjustSize();
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void Tfrm_Splash::ShowNow() {
  show();
  repaint();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
