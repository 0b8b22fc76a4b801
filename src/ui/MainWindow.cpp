#include "ui/MainWindow.h"

#include "ui/DigestPage.h"
#include "ui/MailListsPage.h"
#include "ui/MailPage.h"
#include "ui/NewsletterPage.h"

#include <QTabWidget>

Tfrm_Main::Tfrm_Main(const QString &dataDir, QWidget *parent) : QMainWindow(parent), dataDir_(dataDir) {
  setObjectName("frm_Main");
  setWindowTitle("Brevant 2.0: Untitled");
  pc_Main = new QTabWidget(this);
  pc_Main->setObjectName("pc_Main");
  ts_Newsletter = new TNewsletterPage(pc_Main);
  ts_NewMail = new TMailPage(pc_Main);
  ts_Digest = new TDigestPage(pc_Main);
  ts_MailLists = new TMailListsPage(pc_Main);
  pc_Main->addTab(ts_Newsletter, "Newsletter");
  pc_Main->addTab(ts_NewMail, "Mail");
  pc_Main->addTab(ts_Digest, "Digest");
  pc_Main->addTab(ts_MailLists, "Mail Lists");
  setCentralWidget(pc_Main);
}
