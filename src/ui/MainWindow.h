#pragma once
#include <QMainWindow>

// The program's main window: menus, tool bars, pages and status bar.
class Tfrm_Main : public QMainWindow {
  Q_OBJECT
public:
  explicit Tfrm_Main(const QString &dataDir, QWidget *parent = nullptr);
  const QString &DataDir() const { return dataDir_; }

private:
  QString dataDir_;
};
