#pragma once
// Pieces the General Properties pages are built from, and the conversions between their
// controls and the settings.
#include <QString>

#include <initializer_list>
#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

namespace genprops {

inline const char *const kCaption = "General Properties";

// A group of a server list with its Add, Del and Edit buttons beside it; the names follow
// the kind ("SMTP" or "POP").
QGroupBox *ServerGroup(QWidget *page, const QString &kind, QListWidget **list, QPushButton **add, QPushButton **del,
                       QPushButton **edit);

struct TInfoField {
  QLineEdit **Edit;
  const char *Name;
  const char *Label;
};
// A group of labelled read-only boxes showing a default server's settings.
QGroupBox *InfoGroup(QWidget *page, const QString &title, std::initializer_list<TInfoField> fields);

// The choice of a bar's placement: Bottom, Left, Right, Top.
QComboBox *PlacementBox(const char *name, QWidget *parent);

// Multi-line text is CR LF in the settings, LF in the editors.
QString TextToEditor(const std::string &text);
std::string EditorToText(const QString &text);
std::string Text(const QLineEdit *edit);
void SetText(QLineEdit *edit, const std::string &text);

QListWidgetItem *FindItem(const QListWidget *list, const std::string &name);  // by name, any case
int FirstChecked(const QListWidget *list);                                    // -1 when none
std::vector<std::string> Items(const QListWidget *list);
QListWidgetItem *SelectedItem(const QListWidget *list);  // nullptr when none is selected
// Items that sort without regard to case, as the registries count their positions.
QListWidgetItem *AddItem(QListWidget *list, const QString &text);
QListWidgetItem *AddCheckItem(QListWidget *list, const std::string &name);

}  // namespace genprops
