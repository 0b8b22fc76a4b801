#pragma once
// The help window: the HTML help file beside the program in a browser of our own, so help
// works on a desktop without a default browser. Links to other sites go to the desktop's
// browser; nothing is loaded from the network here.
#include <QDialog>
#include <QString>

class QTextBrowser;
class QToolButton;

class THelpWindow : public QDialog {
  Q_OBJECT
public:
  THelpWindow(const QString &file, QWidget *parent = nullptr);

  QTextBrowser *wb_Help;
  QToolButton *tbtn_Back, *tbtn_Forward, *tbtn_Home;
};

// Shows the help file, reusing the help window that is already open.
THelpWindow *ShowHelpWindow(QWidget *parent, const QString &file);
