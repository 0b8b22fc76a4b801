#pragma once
#include <QWidget>

// The borderless picture shown while the main window is being built.
class Tfrm_Splash : public QWidget {
  Q_OBJECT
public:
  explicit Tfrm_Splash(QWidget *parent = nullptr);
  // Shows the window and paints it at once, before the event loop runs.
  void ShowNow();
};
