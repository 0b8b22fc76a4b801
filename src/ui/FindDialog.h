#pragma once
#include <QDialog>

#include "compose/TextSearch.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

// The modeless Find/Replace dialog. Its buttons act on the control that has the focus in
// the main window at the moment they are pressed; a control that is no rich-text box is
// left alone. The dialog frees itself when closed.
class Tfrm_Find : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Find(QWidget *mainWindow);

  // Opens a new dialog beside the main window's right edge, without blocking.
  static Tfrm_Find *FindReplace1Click(QWidget *mainWindow);
  // Left edge a quarter of the dialog's width inside the main window's right edge, top a
  // third of its height below the main window's top.
  static QPoint Placement(const QRect &mainFrame, const QSize &dialog);

  // How the dialog talks to the user; message boxes unless replaced (tests script them).
  TSearchPrompts Prompts;

  QLineEdit *edt_Find, *edt_Replace;
  QCheckBox *cb_Case, *cb_Whole, *cb_Prompt;
  QPushButton *btn_OK, *btn_Replace, *btn_ReplaceAll, *btn_Cancel;

public slots:
  void btn_OKClick();
  void btn_ReplaceClick();
  void btn_ReplaceAllClick();

private:
  // The main window's focused rich-text box; a read-only one only to search in.
  QTextEdit *Target(bool toChange) const;
  QWidget *main_;
};
