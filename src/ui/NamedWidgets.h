#pragma once
// Controls made with their object names, which the tests and the settings code look them up by.
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QString;
class QWidget;

QLineEdit *NamedEdit(const char *name, QWidget *parent, int maxLength = 0);
QLineEdit *ReadOnlyEdit(const char *name, QWidget *parent);
QPushButton *NamedButton(const char *name, const QString &caption, QWidget *parent);
QCheckBox *NamedCheck(const char *name, const QString &caption, QWidget *parent);
// A list that keeps its items sorted.
QListWidget *NamedList(const char *name, QWidget *parent);
