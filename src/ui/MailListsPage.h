#pragma once
#include <QWidget>

// The MailLists page of the main window (tab sheet ts_MailLists).
class TMailListsPage : public QWidget {
  Q_OBJECT
public:
  explicit TMailListsPage(QWidget *parent = nullptr);
};
