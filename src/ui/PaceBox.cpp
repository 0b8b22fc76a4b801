#include "ui/PaceBox.h"

#include <QSpinBox>

QSpinBox *PaceBox(const char *objectName, QWidget *parent) {
  auto *box = new QSpinBox(parent);
  box->setObjectName(objectName);
  box->setRange(0, 100000);
  box->setSpecialValueText("No limit");
  box->setSuffix(" messages a minute");
  box->setToolTip("Servers that take only so many messages a minute: the run keeps to this pace");
  return box;
}
