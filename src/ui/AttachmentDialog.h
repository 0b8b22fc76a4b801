#pragma once
// The View Attachment window: a received picture, with Save and Close.
#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

class Tfrm_Attachment : public QDialog {
  Q_OBJECT
public:
  // `save` runs when the user clicks Save (the save dialog of the attachment).
  Tfrm_Attachment(const QString &pictureFile, std::function<void()> save, QWidget *parent = nullptr);

  QLabel *ttl_Attachment = nullptr;
  QLabel *img_Attachment = nullptr;
  QPushButton *btn_Save = nullptr;
  QPushButton *btn_Close = nullptr;
};
