#pragma once
// Widget tests: the texts of a list box's entries, or of its checked entries only.
#include <QListWidget>
#include <QStringList>

inline QStringList ListTexts(const QListWidget *list, bool checkedOnly = false) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i)
    if (!checkedOnly || list->item(i)->checkState() == Qt::Checked) out << list->item(i)->text();
  return out;
}
