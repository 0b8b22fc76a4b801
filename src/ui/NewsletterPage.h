#pragma once
#include <QWidget>

// The Newsletter page of the main window (tab sheet ts_Newsletter).
class TNewsletterPage : public QWidget {
  Q_OBJECT
public:
  explicit TNewsletterPage(QWidget *parent = nullptr);
};
