#pragma once
#include <QStatusBar>

class QLabel;
class QProgressBar;

// The main window's status bar: "Status:", the program's status line, the SMTP or POP
// protocol line and a progress gauge.
class TStatusBar1 : public QStatusBar {
  Q_OBJECT
public:
  explicit TStatusBar1(QWidget *parent = nullptr);

  QString StatusText() const;
  QString ProtocolText() const;
  QProgressBar *Gauge() const { return gauge_; }

public slots:
  void SetStatus(const QString &text);
  void SetProtocolLine(const QString &text);
  void SetProgress(int position, int maximum);

private:
  QLabel *status_ = nullptr;
  QLabel *protocol_ = nullptr;
  QProgressBar *gauge_ = nullptr;
};
