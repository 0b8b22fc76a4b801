#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The progress window of Get New: a small stay-on-top tool window with one line of text
// and a Cancel button. Closing it in any way cancels the run and frees the window.
class Tfrm_MailDialog : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_MailDialog(const QString &text, QWidget *parent = nullptr);

  QLabel *Label1 = nullptr;
  QPushButton *btn_Cancel = nullptr;

signals:
  void Cancelled();

protected:
  void closeEvent(QCloseEvent *event) override;
  void reject() override;
};
