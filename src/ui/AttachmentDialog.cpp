#include "ui/AttachmentDialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

Tfrm_Attachment::Tfrm_Attachment(const QString &pictureFile, std::function<void()> save, QWidget *parent)
    : QDialog(parent) {
  setObjectName("frm_Attachment");
  setWindowTitle("View Attachment");
  ttl_Attachment = new QLabel("   View Attachment", this);
  ttl_Attachment->setStyleSheet("background: #000080; color: white; font-weight: bold; padding: 4px;");
  btn_Save = new QPushButton("&Save", this);
  btn_Save->setObjectName("btn_Save");
  btn_Save->setToolTip("Save image to disk");
  btn_Close = new QPushButton("&Close", this);
  btn_Close->setObjectName("btn_Close");
  btn_Close->setToolTip("Close window");
  connect(btn_Save, &QPushButton::clicked, this, [save] {
    if (save) save();
  });
  connect(btn_Close, &QPushButton::clicked, this, &QDialog::reject);

  img_Attachment = new QLabel(this);
  img_Attachment->setAlignment(Qt::AlignCenter);
  QImageReader reader(pictureFile);
  reader.setAutoTransform(true);
  const QImage image = reader.read();
  if (image.isNull())
    img_Attachment->setText("The picture cannot be shown: " + reader.errorString());
  else
    img_Attachment->setPixmap(QPixmap::fromImage(image));
  // Sized to the picture, within the screen; a larger picture scrolls.
  auto *scroll = new QScrollArea(this);
  scroll->setWidget(img_Attachment);
  scroll->setAlignment(Qt::AlignCenter);
  scroll->setWidgetResizable(true);

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btn_Save);
  buttons->addWidget(btn_Close);
  buttons->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 6);
  layout->addWidget(ttl_Attachment);
  layout->addLayout(buttons);
  layout->addWidget(scroll, 1);

  const QSize screen = (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
                           ->availableSize();
  const QSize picture = image.isNull() ? QSize(300, 80) : image.size();
  resize(std::min(picture.width() + 24, screen.width() * 9 / 10),
         std::min(picture.height() + 90, screen.height() * 9 / 10));
}
