#include "ui/InsertCommands.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "compose/FieldCodes.h"
#include "compose/RtfReader.h"
#include "compose/TextForms.h"
#include "storage/Ansi.h"
#include "storage/TextFile.h"
#include "ui/TextControl.h"

namespace {
// The open and save dialogs' filters; index 3 is plain text.
const QStringList kOpenFilters = {"Brevant Documents (*.bvd)", "Rich Text File (*.rtf)", "Text Document (*.txt)",
                                  "Brevant Mail Lists (1.x, *.bvl)", "All Files (*)"};
const QStringList kSaveFilters = {"Brevant Document (*.bvd)", "Rich Text File (*.rtf)", "Text Document (*.txt)",
                                  "HTML Document (*.html)", "All Files (*)"};

// "PI Reply E-mail" -> "PIReplyEmail1", the menu item's name.
QString ItemName(const QString &caption) {
  QString name;
  for (const QChar c : caption)
    if (c.isLetterOrNumber()) name += c;
  return name + "1";
}

void AddCodes(QMenu *menu, TFieldGroup group) {
  for (const std::string &name : FieldCodeMenuNames(group)) {
    const QString caption = AnsiToQString(name);
    QAction *item = menu->addAction(caption);
    item->setObjectName(ItemName(caption));
    QObject::connect(item, &QAction::triggered, [caption] { InsertFieldCode(caption); });
  }
}

bool IsReadOnly(QWidget *w) { return w->property("readOnly").toBool(); }

QString AskFile(QWidget *parent, const QString &title, const QStringList &filters, bool save) {
  QFileDialog dialog(parent, title);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.at(2));  // the text files
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

// Text boxes keep "\n" line ends; files have CR LF.
QString BoxText(QWidget *box) {
  if (auto *plain = qobject_cast<QPlainTextEdit *>(box)) return plain->toPlainText();
  if (auto *rich = qobject_cast<QTextEdit *>(box)) return rich->toPlainText();
  if (auto *line = qobject_cast<QLineEdit *>(box)) return line->text();
  return {};
}

void SetBoxText(QWidget *box, const QString &text) {
  if (auto *plain = qobject_cast<QPlainTextEdit *>(box)) plain->setPlainText(text);
  else if (auto *rich = qobject_cast<QTextEdit *>(box)) rich->setPlainText(text);
  else if (auto *line = qobject_cast<QLineEdit *>(box)) line->setText(text);
}
}  // namespace

void FillFieldCodeMenus(QMenu *addressInformation, QMenu *listInformation, QMenu *personalInformation) {
  AddCodes(addressInformation, TFieldGroup::fgAddress);
  AddCodes(listInformation, TFieldGroup::fgList);
  QMenu *maintenance = listInformation->addMenu("Maintenance");
  maintenance->setObjectName("Maintenance1");
  AddCodes(maintenance, TFieldGroup::fgListMaintenance);
  AddCodes(personalInformation, TFieldGroup::fgPersonal);
}

QMenu *CreateFieldCodeMenu(QWidget *parent) {
  auto *menu = new QMenu(parent);
  menu->setObjectName("pm_FieldCodes");
  QMenu *address = menu->addMenu("Address Information");
  QMenu *list = menu->addMenu("List Information");
  QMenu *personal = menu->addMenu("Personal Information");
  FillFieldCodeMenus(address, list, personal);
  return menu;
}

bool InsertIntoFocused(const QString &text) {
  TTextControl control(QApplication::focusWidget());
  if (!control.IsValid() || IsReadOnly(control.Widget())) return false;
  control.ReplaceSelection(text);
  return true;
}

bool InsertFieldCode(const QString &name) { return InsertIntoFocused("%" + name + "%"); }

// The form dates take everywhere in the program, with the year in four digits.
QString DateTimeText(const QDateTime &when) { return AnsiToQString(DateTimeToText(ToDateTime(when))); }

bool InsertDate() { return InsertIntoFocused(DateTimeText(QDateTime::currentDateTime())); }

bool InsertTextFromFile(const QString &path) {
  auto *editor = qobject_cast<QTextEdit *>(QApplication::focusWidget());
  if (!editor || editor->isReadOnly()) return false;
  const std::string bytes = ReadFileBytes(QStringToAnsi(path));
  // A rich-text file gives its text without formatting.
  const std::string text = bytes.compare(0, 5, "{\\rtf") == 0 ? ReadRtf(bytes).PlainText() : bytes;
  QString plain = AnsiToQString(text);
  plain.replace("\r\n", "\n").replace('\r', '\n');
  editor->textCursor().insertText(plain);
  return true;
}

void Text1Click(QWidget *parent) {
  // The target is the box that had the focus before the dialog took it.
  QWidget *focus = QApplication::focusWidget();
  auto *editor = qobject_cast<QTextEdit *>(focus);
  if (!editor || editor->isReadOnly()) return;
  const QString path = AskFile(parent, "Import text from...", kOpenFilters, false);
  if (path.isEmpty()) return;
  editor->setFocus();
  InsertTextFromFile(path);
}

void LoadTextBox(const QString &path, QLineEdit *fileNameBox, QWidget *textBox) {
  QString text = AnsiToQString(ReadFileBytes(QStringToAnsi(path)));
  text.replace("\r\n", "\n").replace('\r', '\n');
  SetBoxText(textBox, text);
  fileNameBox->setText(path);
}

void StoreTextBox(const QString &path, QLineEdit *fileNameBox, QWidget *textBox) {
  QString text = BoxText(textBox);
  text.replace('\n', "\r\n");
  WriteFileAtomic(QStringToAnsi(path), QStringToAnsi(text));
  fileNameBox->setText(path);
}

namespace {
// Header, signature and footer files are text files: the third filter.
constexpr int kTextFilterIndex = 3;

QString Choose(QWidget *parent, const TFileChooser &choose, const QString &title, const QStringList &filters, bool save) {
  if (choose) return choose(title, filters, kTextFilterIndex, save);
  return AskFile(parent, title, filters, save);
}
}  // namespace

bool OpenTextBoxFile(QWidget *parent, const QString &word, QLineEdit *fileNameBox, QWidget *textBox,
                     const TFileChooser &choose) {
  const QString path = Choose(parent, choose, "Open " + word + " file...", kOpenFilters, false);
  if (path.isEmpty()) return false;
  LoadTextBox(path, fileNameBox, textBox);
  return true;
}

bool SaveTextBoxFile(QWidget *parent, const QString &word, QLineEdit *fileNameBox, QWidget *textBox,
                     const TFileChooser &choose) {
  QString path = fileNameBox->text();
  if (path.isEmpty()) path = Choose(parent, choose, "Save " + word + " file...", kSaveFilters, true);
  if (path.isEmpty()) return false;
  StoreTextBox(path, fileNameBox, textBox);
  return true;
}
