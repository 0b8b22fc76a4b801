#include "ui/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tfrm_About::Tfrm_About(const QString &dataDir, QWidget *parent) : QDialog(parent) {
  setObjectName("frm_About");
  setWindowTitle("About Brevant...");
  auto *picture = new QLabel(this);
  picture->setPixmap(QPixmap(":/about.jpg"));
  auto *name = new QLabel("<b>Brevant</b>", this);
  auto *version = new QLabel("Version 2.0", this);
  version->setObjectName("lbl_Version");
  // Which folder holds the settings and lists is not obvious once the program is installed.
  auto *folder = new QLabel(QString("Data folder: %1").arg(dataDir.toHtmlEscaped()), this);
  folder->setObjectName("lbl_DataDir");
  folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto *ok = new QPushButton("OK", this);
  ok->setObjectName("btn_OK");
  ok->setToolTip("Click to close");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto *text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(version);
  text->addWidget(folder);
  text->addStretch();
  text->addWidget(ok, 0, Qt::AlignRight);
  auto *layout = new QHBoxLayout(this);
  layout->addWidget(picture);
  layout->addLayout(text);
}
