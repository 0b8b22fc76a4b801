#pragma once
// The Newsletter page of the main window (tab sheet ts_Newsletter): the subject box, the
// rich-text body, the attachments, and the document commands New/Close, Open, Save,
// Save As and Print that act on them.
#include "compose/Document.h"
#include "compose/Scrooge.h"

#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QListWidget;
class QMenu;
class QPagedPaintDevice;
class QPainter;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTextDocument;
class QTextEdit;

// Lays a rich text out for printing under a title: the title line and a rule on the first
// page, the text in the area below the same band on every page.
class TRichTextPrintLayout {
public:
  TRichTextPrintLayout(const QTextDocument &doc, QPaintDevice *device, const QString &title, const QFont &titleFont);
  ~TRichTextPrintLayout();
  int PageCount() const;
  void PaintPage(QPainter &painter, int page) const;

private:
  std::unique_ptr<QTextDocument> doc_;
  QString title_;
  QFont titleFont_;
  int q_ = 0;
  int pageWidth_ = 0;
  QRectF area_;
};

class TFormatBar;
class TRuler;
class QComboBox;

class TNewsletterPage : public QWidget {
  Q_OBJECT
public:
  explicit TNewsletterPage(QWidget *parent = nullptr);
  ~TNewsletterPage() override;

  QTabWidget *pc_Subject = nullptr;
  QPlainTextEdit *mmo_Subject = nullptr;
  QTextEdit *re_NewsBody = nullptr;
  QListWidget *lb_Attachments = nullptr;
  QPushButton *btn_Attach = nullptr;
  QPushButton *btn_RemoveAttach = nullptr;
  TFormatBar *ToolBar1 = nullptr;
  TRuler *Ruler1 = nullptr;
  // The list the newsletter is for; the empty first entry means no list.
  QComboBox *cb_MailLists = nullptr;
  // The body's popup menu: Cut, Copy, Paste, Font, Symbol and Thesaurus. The last two are
  // the main window's commands, which it connects.
  QMenu *pm_NewsBody = nullptr;
  QAction *Cut2 = nullptr, *Copy2 = nullptr, *Paste2 = nullptr, *Font1 = nullptr, *Symbol2 = nullptr,
          *Thesaurus2 = nullptr;

  // The document state behind the page.
  TDocumentState Document;
  // The save dialog's filter index: the last choice made in it or the value preset.
  int SaveFilterIndex = dfDocument;
  int OpenFilterIndex = dfDocument;
  // Folder offered by Add File when the open dialog has no folder yet (with trailing "/").
  QString DataDir;
  // The converter used for the HTML export; the main window's by default.
  TScrooge *Converter = nullptr;

  // Dialogs, replaceable so that the commands can be driven without a user.
  std::function<QMessageBox::StandardButton(const QString &text)> AskSaveChanges;
  // Returns the chosen path, or empty when cancelled; filterIndex goes in and comes back.
  std::function<QString(const QString &title, const QString &fileName, int &filterIndex)> GetSaveFileName;
  std::function<QString(const QString &title, int &filterIndex, QString &folder)> GetOpenFileName;
  std::function<bool(QPrinter &printer)> ExecPrintDialog;
  std::function<void(const QString &text)> ShowError;
  // The personal-information name, written as the author.
  std::function<QString()> PersonalName;

  // The choices of cb_MailLists follow the catalogue: the empty entry, then the names
  // sorted without regard to case. A rename or removal keeps the choice made when it can.
  void SetListChoices(const std::vector<std::string> &names);
  void AddListChoice(const QString &name);
  void RenameListChoice(const QString &oldName, const QString &newName);
  void RemoveListChoice(const QString &name);

  TColor Background() const { return background_; }
  void SetBackground(TColor color);
  QString WindowTitle() const { return windowTitle_; }
  QStringList Attachments() const;
  // The body as the core's model.
  TRichDocument Body() const;

  // Writes the newsletter in the format of the filter index; false (error shown) on failure.
  bool WriteDocument(const QString &fileName, int filterIndex);
  bool ReadDocument(const QString &fileName);
  // Prints the control's text under the title, drawn in titleFont (12 points, bold).
  static bool PrintRichText(QPrinter &printer, const QString &title, const QTextEdit &control, const QFont &titleFont);
  static void ShowNothingToPrint(QWidget *parent);
  // Before the program closes: asks about unsaved changes. False when the user cancels, or
  // chose to save and the save did not happen, so nothing is lost.
  bool CanClose();

public slots:
  void NewDocument();     // New and Close are one command
  void CloseDocument();
  void OpenDocument();
  bool SaveDocument();
  bool SaveDocumentAs();
  void PrintDocument();
  void btn_AttachClick();
  void btn_RemoveAttachClick();

signals:
  // The main window's title: "Brevant 2.0: Untitled" or "Brevant 2.0:  " and the file name.
  void TitleChanged(const QString &title);
  // True when the body holds text (Check Spelling is enabled then).
  void BodyTextChanged(bool hasText);

private:
  void CreateBodyMenu();
  bool AskBeforeLosingChanges();
  void SetTitle(const QString &title);
  void re_NewsBodyChange();
  void edt_NewsSubjectChange();

  TColor background_ = clWhite;
  QString windowTitle_;
  TScrooge ownConverter_;
};
