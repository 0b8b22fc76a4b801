#include "ui/NamedWidgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

QLineEdit *NamedEdit(const char *name, QWidget *parent, int maxLength) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(name);
  if (maxLength > 0) edit->setMaxLength(maxLength);
  return edit;
}

QLineEdit *ReadOnlyEdit(const char *name, QWidget *parent) {
  QLineEdit *edit = NamedEdit(name, parent);
  edit->setReadOnly(true);
  return edit;
}

QPushButton *NamedButton(const char *name, const QString &caption, QWidget *parent) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QCheckBox *NamedCheck(const char *name, const QString &caption, QWidget *parent) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QListWidget *NamedList(const char *name, QWidget *parent) {
  auto *list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSortingEnabled(true);
  return list;
}
