#include "ui/GenPropsHelpers.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"
#include "ui/NamedWidgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace genprops {

QGroupBox *ServerGroup(QWidget *page, const QString &kind, QListWidget **list, QPushButton **add, QPushButton **del,
                       QPushButton **edit) {
  auto *group = new QGroupBox(kind + " Servers", page);
  group->setObjectName("gb_" + kind + "Serv");
  const auto name = [&](const char *prefix, const char *suffix) { return (prefix + kind + suffix).toLatin1(); };
  *list = NamedList(name("clb_", "Serv").constData(), group);
  *add = NamedButton(name("btn_", "Add").constData(), "&Add", group);
  *del = NamedButton(name("btn_", "Delete").constData(), "&Del", group);
  *edit = NamedButton(name("btn_", "Edit").constData(), "&Edit", group);
  auto *buttons = new QVBoxLayout;
  for (QPushButton *b : {*add, *del, *edit}) buttons->addWidget(b);
  buttons->addStretch();
  auto *row = new QHBoxLayout(group);
  row->addWidget(*list, 1);
  row->addLayout(buttons);
  return group;
}

QGroupBox *InfoGroup(QWidget *page, const QString &title, std::initializer_list<TInfoField> fields) {
  auto *group = new QGroupBox(title, page);
  auto *form = new QFormLayout(group);
  for (const TInfoField &field : fields) {
    *field.Edit = ReadOnlyEdit(field.Name, group);
    form->addRow(field.Label, *field.Edit);
  }
  return group;
}

namespace {
const QStringList kPlacements = {"Bottom", "Left", "Right", "Top"};

}  // namespace

QComboBox *PlacementBox(const char *name, QWidget *parent) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(kPlacements);
  return box;
}

QString TextToEditor(const std::string &text) { return AnsiToQString(ReplaceAll(text, "\r\n", "\n")); }
std::string EditorToText(const QString &text) {
  return ReplaceAll(QStringToAnsi(QString(text).replace("\r\n", "\n")), "\n", "\r\n");
}

std::string Text(const QLineEdit *edit) { return QStringToAnsi(edit->text()); }
void SetText(QLineEdit *edit, const std::string &text) { edit->setText(AnsiToQString(text)); }

QListWidgetItem *FindItem(const QListWidget *list, const std::string &name) {
  for (int i = 0; i < list->count(); ++i)
    if (SameText(QStringToAnsi(list->item(i)->text()), name)) return list->item(i);
  return nullptr;
}

int FirstChecked(const QListWidget *list) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->checkState() == Qt::Checked) return i;
  return -1;
}

std::vector<std::string> Items(const QListWidget *list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(QStringToAnsi(list->item(i)->text()));
  return items;
}

QListWidgetItem *SelectedItem(const QListWidget *list) {
  QListWidgetItem *item = list->currentItem();
  return item && item->isSelected() ? item : nullptr;
}

namespace {
// Lists sort without regard to case, as the registries count their positions.
class TSortedItem : public QListWidgetItem {
public:
  using QListWidgetItem::QListWidgetItem;
  bool operator<(const QListWidgetItem &other) const override {
    return QString::compare(text(), other.text(), Qt::CaseInsensitive) < 0;
  }
};

}  // namespace

QListWidgetItem *AddItem(QListWidget *list, const QString &text) {
  auto *item = new TSortedItem(text);
  list->addItem(item);
  return item;
}

QListWidgetItem *AddCheckItem(QListWidget *list, const std::string &name) {
  auto *item = new TSortedItem(AnsiToQString(name));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  list->addItem(item);
  return item;
}

}  // namespace genprops
