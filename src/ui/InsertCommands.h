#pragma once
// The Insert menu's text commands and the open/save of header, signature and footer texts.
// Each command acts on the focused control; one that is no editable text box is left alone.
#include <QString>
#include <QStringList>
#include <functional>

class QDateTime;
class QLineEdit;
class QMenu;
class QWidget;

// Fills Insert > Field Code's three sub-menus (the list group with its "Maintenance"
// sub-menu); every item inserts its code into the focused text box.
void FillFieldCodeMenus(QMenu *addressInformation, QMenu *listInformation, QMenu *personalInformation);
// The drop-down of the tool button "Insert field code" (pm_FieldCodes), same items.
QMenu *CreateFieldCodeMenu(QWidget *parent);

// Replaces the selection of the focused editable text box; false when there is none.
bool InsertIntoFocused(const QString &text);
// Name1Click: "%" + name + "%".
bool InsertFieldCode(const QString &name);
// Date1Click: the current date and time as text.
bool InsertDate();
// The system's short date, a blank and its long time; no time at midnight exactly.
QString DateTimeText(const QDateTime &when);
// Text1Click: asks for a file ("Import text from...") and inserts its text into the
// focused rich-text box.
void Text1Click(QWidget *parent);
// The file part of Text1Click: the plain text of a text or RTF file into the focused
// rich-text box; false when that box is missing or the file cannot be read.
bool InsertTextFromFile(const QString &path);

// The open and save buttons of the header, signature and footer boxes (Mail Lists page and
// General Properties). `word` is "Header", "Signature" or "Footer"; `textBox` a plain or
// rich text box. Cancelling a dialog changes nothing.
// `choose` asks for the file (title, filters, 1-based filter chosen first, save or open) and
// gives an empty text on Cancel; without it the standard file dialog asks. Both return
// whether a file was read or written.
using TFileChooser =
    std::function<QString(const QString &title, const QStringList &filters, int filterIndex, bool save)>;
bool OpenTextBoxFile(QWidget *parent, const QString &word, QLineEdit *fileNameBox, QWidget *textBox,
                     const TFileChooser &choose = {});
bool SaveTextBoxFile(QWidget *parent, const QString &word, QLineEdit *fileNameBox, QWidget *textBox,
                     const TFileChooser &choose = {});
// The file parts of both: read into the box / write the box with CR LF line ends, and
// put the path into the file-name box. Errors throw (EFOpenError, EFCreateError).
void LoadTextBox(const QString &path, QLineEdit *fileNameBox, QWidget *textBox);
void StoreTextBox(const QString &path, QLineEdit *fileNameBox, QWidget *textBox);
