#pragma once
#include <QWidget>

// The Mail page of the main window (tab sheet ts_NewMail).
class TMailPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailPage(QWidget *parent = nullptr);
};
