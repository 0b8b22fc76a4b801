#pragma once
#include <QDialog>

// "About Brevant...": picture, version and an OK button; Escape closes it.
class Tfrm_About : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_About(QWidget *parent = nullptr);
};
