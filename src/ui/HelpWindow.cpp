#include "ui/HelpWindow.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QToolButton *NavButton(QWidget *owner, const char *name, const QString &hint, QStyle::StandardPixmap icon) {
  auto *button = new QToolButton;
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setIcon(owner->style()->standardIcon(icon));
  return button;
}
}  // namespace

THelpWindow::THelpWindow(const QString &file, QWidget *parent) : QDialog(parent, Qt::Window) {
  setObjectName("frm_Help");
  setWindowTitle("Brevant 2.0 Help");
  setAttribute(Qt::WA_DeleteOnClose);
  wb_Help = new QTextBrowser;
  wb_Help->setObjectName("wb_Help");
  wb_Help->setOpenExternalLinks(true);
  tbtn_Back = NavButton(this, "tbtn_Back", "Back", QStyle::SP_ArrowBack);
  tbtn_Forward = NavButton(this, "tbtn_Forward", "Forward", QStyle::SP_ArrowForward);
  tbtn_Home = NavButton(this, "tbtn_Home", "Contents", QStyle::SP_DirHomeIcon);
  tbtn_Back->setEnabled(false);
  tbtn_Forward->setEnabled(false);
  auto *bar = new QHBoxLayout;
  bar->addWidget(tbtn_Back);
  bar->addWidget(tbtn_Forward);
  bar->addWidget(tbtn_Home);
  bar->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(wb_Help, 1);
  connect(tbtn_Back, &QToolButton::clicked, wb_Help, &QTextBrowser::backward);
  connect(tbtn_Forward, &QToolButton::clicked, wb_Help, &QTextBrowser::forward);
  connect(tbtn_Home, &QToolButton::clicked, wb_Help, &QTextBrowser::home);
  connect(wb_Help, &QTextBrowser::backwardAvailable, tbtn_Back, &QToolButton::setEnabled);
  connect(wb_Help, &QTextBrowser::forwardAvailable, tbtn_Forward, &QToolButton::setEnabled);
  connect(wb_Help, &QTextBrowser::sourceChanged, this,
          [this] {
            const QString page = wb_Help->documentTitle();
            setWindowTitle(page.isEmpty() ? QString("Brevant 2.0 Help") : "Brevant 2.0 Help: " + page);
          });
  wb_Help->setSource(QUrl::fromLocalFile(file));
  resize(720, 560);
}

THelpWindow *ShowHelpWindow(QWidget *parent, const QString &file) {
  THelpWindow *help = parent ? parent->findChild<THelpWindow *>() : nullptr;
  if (!help) help = new THelpWindow(file, parent);
  help->show();
  help->raise();
  help->activateWindow();
  return help;
}
