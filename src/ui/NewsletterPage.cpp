#include "ui/NewsletterPage.h"

#include "ui/FormatBar.h"
#include "ui/Ruler.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"
#include "ui/RichTextBridge.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFileDialog>
#include <QComboBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QStringList kSaveFilters = {"Brevant Document (*.bvd)", "Rich Text File (*.rtf)", "Text Document (*.txt)",
                                  "HTML Document (*.html)", "All Files (*)"};
const QStringList kSaveSuffixes = {"bvd", "rtf", "txt", "html", ""};
const QStringList kOpenFilters = {"Brevant Documents (*.bvd)", "Rich Text File (*.rtf)", "Text Document (*.txt)",
                                  "Brevant Mail Lists (1.x, *.bvl)", "All Files (*)"};

const char *const kUnsaved =
    "This file has not been saved since the last modification.\nWould you like to save this file before closing?";

// A system colour stands for the current screen colour of that role.
QColor ScreenColor(TColor c) {
  const QPalette pal = QApplication::palette();
  if (c == clNone) return pal.color(QPalette::Base);
  if (c < clSystemColor) {
    const std::uint32_t v = static_cast<std::uint32_t>(c);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
  }
  switch (static_cast<std::uint32_t>(c) & 0xFF) {
    case 8: case 7: case 18: case 23: return pal.color(QPalette::Text);
    case 13: return pal.color(QPalette::Highlight);
    case 14: return pal.color(QPalette::HighlightedText);
    case 15: case 4: return pal.color(QPalette::Button);
    case 24: return pal.color(QPalette::ToolTipBase);
    default: return pal.color(QPalette::Base);
  }
}

QString DefaultSaveDialog(QWidget *parent, const QString &title, const QString &fileName, int &filterIndex) {
  QFileDialog dlg(parent, title);
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  dlg.setNameFilters(kSaveFilters);
  const int index = std::clamp(filterIndex, 1, static_cast<int>(kSaveFilters.size()));
  dlg.selectNameFilter(kSaveFilters[index - 1]);
  dlg.setDefaultSuffix(kSaveSuffixes[index - 1]);
  QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString &f) {
    dlg.setDefaultSuffix(kSaveSuffixes.value(kSaveFilters.indexOf(f)));
  });
  dlg.selectFile(fileName);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  filterIndex = kSaveFilters.indexOf(dlg.selectedNameFilter()) + 1;
  return dlg.selectedFiles().first();
}

QString DefaultOpenDialog(QWidget *parent, const QString &title, int &filterIndex, QString &folder) {
  QFileDialog dlg(parent, title, folder);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setNameFilters(kOpenFilters);
  dlg.selectNameFilter(kOpenFilters.value(filterIndex - 1, kOpenFilters.first()));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  filterIndex = kOpenFilters.indexOf(dlg.selectedNameFilter()) + 1;
  folder = dlg.directory().absolutePath();
  return dlg.selectedFiles().first();
}

}  // namespace

TNewsletterPage::TNewsletterPage(QWidget *parent) : QWidget(parent) {
  setObjectName("ts_Newsletter");
  ownConverter_.ConfigureForMainWindow();
  // Keeps the window painted during a long export; user input waits, so no command can
  // start a second conversion meanwhile.
  ownConverter_.OnProcessMessages = [](TScrooge *) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  Converter = &ownConverter_;

  pc_Subject = new QTabWidget(this);
  pc_Subject->setObjectName("pc_Subject");
  mmo_Subject = new QPlainTextEdit(pc_Subject);
  mmo_Subject->setObjectName("mmo_Subject");
  pc_Subject->addTab(mmo_Subject, "  Subject  ");

  auto *attachPage = new QWidget(pc_Subject);
  attachPage->setObjectName("ts_Attachments");
  attachPage->setToolTip("Attach files to a newsletter");
  lb_Attachments = new QListWidget(attachPage);
  lb_Attachments->setObjectName("lb_Attachments");
  btn_Attach = new QPushButton("Add File", attachPage);
  btn_Attach->setObjectName("btn_Attach");
  btn_RemoveAttach = new QPushButton("Remove File", attachPage);
  btn_RemoveAttach->setObjectName("btn_RemoveAttach");
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(btn_Attach);
  buttons->addWidget(btn_RemoveAttach);
  buttons->addStretch();
  auto *attachLayout = new QHBoxLayout(attachPage);
  attachLayout->addWidget(lb_Attachments, 1);
  attachLayout->addLayout(buttons);
  pc_Subject->addTab(attachPage, "  Attachments  ");

  re_NewsBody = new QTextEdit(this);
  re_NewsBody->setObjectName("re_NewsBody");
  re_NewsBody->setAcceptRichText(true);
  re_NewsBody->document()->setDefaultFont(QFont("Arial", 10));
  re_NewsBody->setToolTip("Message body");

  // The formatting tool bar and the ruler stand directly above the body they act on.
  ToolBar1 = new TFormatBar(this);
  ToolBar1->SetEditor(re_NewsBody);
  Ruler1 = new TRuler(this);
  Ruler1->setObjectName("Ruler1");
  Ruler1->SetEditor(re_NewsBody);
  auto *bodyArea = new QWidget(this);
  auto *bodyLayout = new QVBoxLayout(bodyArea);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->setSpacing(0);
  bodyLayout->addWidget(ToolBar1);
  bodyLayout->addWidget(Ruler1);
  bodyLayout->addWidget(re_NewsBody, 1);

  cb_MailLists = new QComboBox(this);
  cb_MailLists->setObjectName("cb_MailLists");
  cb_MailLists->setMinimumWidth(200);
  auto *listRow = new QHBoxLayout;
  listRow->setContentsMargins(4, 2, 4, 2);
  listRow->addWidget(new QLabel("List Name:", this));
  listRow->addWidget(cb_MailLists);
  listRow->addStretch();

  auto *split = new QSplitter(Qt::Vertical, this);
  split->addWidget(pc_Subject);
  split->addWidget(bodyArea);
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  split->setSizes({100, 400});
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(listRow);
  layout->addWidget(split);

  AskSaveChanges = [this](const QString &text) {
    return QMessageBox::question(this, "Confirm", text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  };
  GetSaveFileName = [this](const QString &t, const QString &f, int &i) { return DefaultSaveDialog(this, t, f, i); };
  GetOpenFileName = [this](const QString &t, int &i, QString &d) { return DefaultOpenDialog(this, t, i, d); };
  ExecPrintDialog = [this](QPrinter &printer) {
    QPrintDialog dlg(&printer, this);
    return dlg.exec() == QDialog::Accepted;
  };
  ShowError = [this](const QString &text) { QMessageBox::critical(this, "Error", text); };
  PersonalName = [] { return QString(); };

  // The chosen background belongs to the newsletter: it is saved with it and sent with it.
  connect(ToolBar1, &TFormatBar::BackgroundChanged, this,
          [this](const QColor &color) { background_ = RGBToColor(color.rgb() & 0xFFFFFF); });
  CreateBodyMenu();
  connect(re_NewsBody, &QTextEdit::textChanged, this, &TNewsletterPage::re_NewsBodyChange);
  connect(mmo_Subject, &QPlainTextEdit::textChanged, this, &TNewsletterPage::edt_NewsSubjectChange);
  connect(btn_Attach, &QPushButton::clicked, this, &TNewsletterPage::btn_AttachClick);
  connect(btn_RemoveAttach, &QPushButton::clicked, this, &TNewsletterPage::btn_RemoveAttachClick);

  ClearDocumentState(Document);
  SetBackground(clWhite);
  windowTitle_ = "Brevant 2.0: Untitled";
  Document.Modified = false;
}

TNewsletterPage::~TNewsletterPage() = default;

void TNewsletterPage::CreateBodyMenu() {
  pm_NewsBody = new QMenu(re_NewsBody);
  pm_NewsBody->setObjectName("pm_NewsBody");
  auto item = [this](const char *name, const QString &caption) {
    QAction *action = pm_NewsBody->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  Cut2 = item("Cut2", "Cu&t");
  Copy2 = item("Copy2", "&Copy");
  Paste2 = item("Paste2", "&Paste");
  pm_NewsBody->addSeparator();
  Font1 = item("Font1", "&Font...");
  Symbol2 = item("Symbol2", "&Symbol");
  Thesaurus2 = item("Thesaurus2", "&Thesaurus...");
  connect(Cut2, &QAction::triggered, re_NewsBody, &QTextEdit::cut);
  connect(Copy2, &QAction::triggered, re_NewsBody, &QTextEdit::copy);
  connect(Paste2, &QAction::triggered, re_NewsBody, &QTextEdit::paste);
  connect(Font1, &QAction::triggered, this, [this] { ToolBar1->Font1Click(re_NewsBody); });
  re_NewsBody->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(re_NewsBody, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    Cut2->setEnabled(re_NewsBody->textCursor().hasSelection());
    Copy2->setEnabled(re_NewsBody->textCursor().hasSelection());
    Paste2->setEnabled(re_NewsBody->canPaste());
    pm_NewsBody->popup(re_NewsBody->viewport()->mapToGlobal(at));
  });
}

void TNewsletterPage::SetListChoices(const std::vector<std::string> &names) {
  cb_MailLists->clear();
  cb_MailLists->addItem(QString());  // no list: the pseudo-list Brevant
  for (const std::string &name : names) cb_MailLists->addItem(AnsiToQString(name));
  cb_MailLists->setCurrentIndex(0);
}

void TNewsletterPage::AddListChoice(const QString &name) {
  const std::string added = QStringToAnsi(name);
  int at = 1;
  while (at < cb_MailLists->count() && CompareText(QStringToAnsi(cb_MailLists->itemText(at)), added) <= 0) ++at;
  cb_MailLists->insertItem(at, name);
}

void TNewsletterPage::RenameListChoice(const QString &oldName, const QString &newName) {
  const bool chosen = cb_MailLists->currentIndex() > 0 && cb_MailLists->currentText() == oldName;
  RemoveListChoice(oldName);
  AddListChoice(newName);
  if (chosen) cb_MailLists->setCurrentIndex(cb_MailLists->findText(newName, Qt::MatchExactly));
}

void TNewsletterPage::RemoveListChoice(const QString &name) {
  for (int i = cb_MailLists->count() - 1; i > 0; --i) {
    if (cb_MailLists->itemText(i) != name) continue;
    const bool chosen = cb_MailLists->currentIndex() == i;
    cb_MailLists->removeItem(i);
    if (chosen) cb_MailLists->setCurrentIndex(0);  // back to no list
  }
}

void TNewsletterPage::SetBackground(TColor color) {
  background_ = color;
  QPalette pal = re_NewsBody->palette();
  pal.setColor(QPalette::Base, ScreenColor(color));
  re_NewsBody->setPalette(pal);
}

QStringList TNewsletterPage::Attachments() const {
  QStringList list;
  for (int i = 0; i < lb_Attachments->count(); ++i) list << lb_Attachments->item(i)->text();
  return list;
}

TRichDocument TNewsletterPage::Body() const { return DocumentToRich(*re_NewsBody->document()); }

void TNewsletterPage::SetTitle(const QString &title) {
  windowTitle_ = title;
  emit TitleChanged(title);
}

void TNewsletterPage::re_NewsBodyChange() {
  Document.Modified = true;
  emit BodyTextChanged(!re_NewsBody->document()->isEmpty());
}

void TNewsletterPage::edt_NewsSubjectChange() { Document.Modified = true; }

bool TNewsletterPage::AskBeforeLosingChanges() {
  if (!Document.Modified) return true;
  switch (AskSaveChanges(kUnsaved)) {
    case QMessageBox::Cancel: return false;
    case QMessageBox::Yes: SaveDocument(); return true;  // goes on whatever the save did
    default: return true;
  }
}

bool TNewsletterPage::CanClose() {
  if (!Document.Modified) return true;
  switch (AskSaveChanges(kUnsaved)) {
    case QMessageBox::Cancel: return false;
    case QMessageBox::Yes: return SaveDocument();
    default: return true;
  }
}

bool TNewsletterPage::WriteDocument(const QString &fileName, int filterIndex) {
  TNewsletterContent content;
  content.Body = Body();
  content.Subject = QStringToAnsi(mmo_Subject->toPlainText().replace("\n", "\r\n"));
  content.Background = background_;
  try {
    ::WriteDocument(Document, QStringToAnsi(fileName), filterIndex, content, QStringToAnsi(PersonalName()), *Converter,
                    NowDateTime());
  } catch (const std::exception &e) {
    ShowError(QString::fromLocal8Bit(e.what()));
    return false;
  }
  re_NewsBody->setToolTip(AnsiToQString(DocumentSummary(Document)));
  SetTitle(AnsiToQString(DocumentWindowTitle(Document)));
  Document.Modified = false;
  return true;
}

bool TNewsletterPage::ReadDocument(const QString &fileName) {
  TReadResult r;
  try {
    r = ::ReadDocument(Document, QStringToAnsi(fileName));
  } catch (const std::exception &e) {
    ShowError(QString::fromLocal8Bit(e.what()));
    return false;
  }
  if (r.IsRichText) RichToDocument(r.Body, *re_NewsBody->document());
  else re_NewsBody->setPlainText(AnsiToQString(r.PlainText));
  if (r.IsDocument) {
    if (r.HasBackground) SetBackground(r.Background);
    mmo_Subject->setPlainText(AnsiToQString(r.Subject));
    re_NewsBody->setToolTip(AnsiToQString(DocumentSummary(Document)));
  }
  SetTitle(AnsiToQString(DocumentWindowTitle(Document)));
  Document.Modified = false;
  return true;
}

bool TNewsletterPage::SaveDocument() {
  if (!Document.FileName.empty()) {
    // A titled newsletter keeps the format of its own file, whatever filter a message save left.
    SaveFilterIndex = FilterForFileName(Document.FileName, SaveFilterIndex);
    return WriteDocument(AnsiToQString(Document.FileName), SaveFilterIndex);
  }
  SaveFilterIndex = dfDocument;
  const QString name = GetSaveFileName("Save newsletter...",
                                       AnsiToQString(StripFileNameChars(QStringToAnsi(mmo_Subject->toPlainText()))),
                                       SaveFilterIndex);
  return !name.isEmpty() && WriteDocument(name, SaveFilterIndex);
}

bool TNewsletterPage::SaveDocumentAs() {
  SaveFilterIndex = dfDocument;
  const QString name = GetSaveFileName("Save newsletter...", QString(), SaveFilterIndex);
  return !name.isEmpty() && WriteDocument(name, SaveFilterIndex);
}

void TNewsletterPage::OpenDocument() {
  if (!AskBeforeLosingChanges()) return;
  OpenFilterIndex = dfDocument;
  QString folder;
  const QString name = GetOpenFileName("Open newsletter...", OpenFilterIndex, folder);
  if (name.isEmpty()) return;
  ClearDocumentState(Document);
  ReadDocument(name);
}

void TNewsletterPage::NewDocument() { CloseDocument(); }

void TNewsletterPage::CloseDocument() {
  if (!AskBeforeLosingChanges()) return;
  ClearDocumentState(Document);
  re_NewsBody->clear();
  mmo_Subject->clear();
  lb_Attachments->clear();
  SetBackground(clWindow);
  SetTitle("Brevant 2.0: Untitled");
  re_NewsBody->setToolTip("Message body");
  Document.Modified = false;
}

void TNewsletterPage::btn_AttachClick() {
  OpenFilterIndex = 4;
  QString folder = DataDir;
  const QString name = GetOpenFileName("Open file...", OpenFilterIndex, folder);
  if (!name.isEmpty()) lb_Attachments->addItem(name);
}

void TNewsletterPage::btn_RemoveAttachClick() {
  const int row = lb_Attachments->currentRow();
  if (row >= 0 && lb_Attachments->currentItem() && lb_Attachments->currentItem()->isSelected())
    delete lb_Attachments->takeItem(row);
}

void TNewsletterPage::PrintDocument() {
  QPrinter printer(QPrinter::HighResolution);
  if (!ExecPrintDialog(printer)) return;
  if (!PrintRichText(printer, mmo_Subject->toPlainText(), *re_NewsBody, mmo_Subject->font()))
    ShowError("The printer could not be started.");
}

void TNewsletterPage::ShowNothingToPrint(QWidget *parent) {
  QMessageBox::information(parent, "Information", "There is nothing to print.", QMessageBox::Ok);
}

TRichTextPrintLayout::TRichTextPrintLayout(const QTextDocument &doc, QPaintDevice *device, const QString &title,
                                           const QFont &titleFont)
    : doc_(doc.clone()), title_(title), titleFont_(titleFont) {
  const int x = device->logicalDpiX(), y = device->logicalDpiY();
  q_ = x / 4;  // a quarter inch
  pageWidth_ = device->width();
  // The text area in twips: 250 from the left, 1500 from the top, to the page's edges.
  const double left = 250.0 * x / 1440, top = 1500.0 * y / 1440;
  area_ = QRectF(left, top, std::max(1.0, device->width() - left), std::max(1.0, device->height() - top));
  doc_->documentLayout()->setPaintDevice(device);
  doc_->setPageSize(area_.size());
}

TRichTextPrintLayout::~TRichTextPrintLayout() = default;

int TRichTextPrintLayout::PageCount() const { return doc_->pageCount(); }

void TRichTextPrintLayout::PaintPage(QPainter &painter, int page) const {
  if (page == 0) {
    QFont f = titleFont_;
    f.setPointSize(12);
    f.setBold(true);
    painter.save();
    painter.setFont(f);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(q_ / 2, q_ / 2 + QFontMetricsF(f, painter.device()).ascent()), title_);
    const int ruleY = static_cast<int>(std::lround(q_ * 2.5));
    painter.drawLine(0, ruleY, pageWidth_, ruleY);
    painter.restore();
  }
  painter.save();
  const double h = area_.height();
  painter.translate(area_.left(), area_.top() - page * h);
  QAbstractTextDocumentLayout::PaintContext ctx;
  ctx.clip = QRectF(0, page * h, area_.width(), h);
  painter.setClipRect(ctx.clip);
  doc_->documentLayout()->draw(&painter, ctx);
  painter.restore();
}

bool TNewsletterPage::PrintRichText(QPrinter &printer, const QString &title, const QTextEdit &control,
                                    const QFont &titleFont) {
  printer.setDocName(title);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const TRichTextPrintLayout layout(*control.document(), &printer, title, titleFont);
  for (int page = 0; page < layout.PageCount(); ++page) {
    if (page > 0) printer.newPage();
    layout.PaintPage(painter, page);
  }
  return painter.end();
}
