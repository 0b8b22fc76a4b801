#pragma once
#include <QDialog>

// "About Brevant...": picture, version, the data folder in use and an OK button; Escape
// closes it.
class Tfrm_About : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_About(const QString &dataDir = QString(), QWidget *parent = nullptr);
};
