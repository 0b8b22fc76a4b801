#include "ui/MailDialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tfrm_MailDialog::Tfrm_MailDialog(const QString &text, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("frm_MailDialog");
  setWindowTitle("Retrieving New Mail...");
  setAttribute(Qt::WA_DeleteOnClose);
  Label1 = new QLabel(text, this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  btn_Cancel = new QPushButton("&Cancel", this);
  btn_Cancel->setObjectName("btn_Cancel");
  btn_Cancel->setFlat(true);
  btn_Cancel->setMinimumWidth(90);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::close);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 14, 16, 10);
  layout->addWidget(Label1);
  layout->addWidget(btn_Cancel, 0, Qt::AlignHCenter);
  setMinimumWidth(320);
  adjustSize();
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void Tfrm_MailDialog::closeEvent(QCloseEvent *event) {
  emit Cancelled();
  event->accept();
}

void Tfrm_MailDialog::reject() { close(); }
