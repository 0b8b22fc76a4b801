#pragma once
#include <QWidget>

// The Digest page of the main window (tab sheet ts_Digest).
class TDigestPage : public QWidget {
  Q_OBJECT
public:
  explicit TDigestPage(QWidget *parent = nullptr);
};
