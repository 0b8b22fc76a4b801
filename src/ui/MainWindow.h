#pragma once
#include <QMainWindow>

class QTabWidget;
class TNewsletterPage;
class TMailPage;
class TDigestPage;
class TMailListsPage;

// The program's main window: menus, tool bars, the four pages and the status bar.
class Tfrm_Main : public QMainWindow {
  Q_OBJECT
public:
  explicit Tfrm_Main(const QString &dataDir, QWidget *parent = nullptr);
  const QString &DataDir() const { return dataDir_; }

  QTabWidget *pc_Main = nullptr;
  TNewsletterPage *ts_Newsletter = nullptr;
  TMailPage *ts_NewMail = nullptr;
  TDigestPage *ts_Digest = nullptr;
  TMailListsPage *ts_MailLists = nullptr;

private:
  QString dataDir_;
};
