#include "ui/HtmlDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <climits>

#include "compose/HtmlInsert.h"
#include "storage/Ansi.h"

namespace {
QLineEdit *Edit(QWidget *parent, const char *name) {
  auto *e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

// A box on its own labelled row of the form.
QLineEdit *EditRow(QFormLayout *form, const char *label, const char *name) {
  QLineEdit *e = Edit(form->parentWidget(), name);
  form->addRow(label, e);
  return e;
}
}  // namespace

Tfrm_HTML::Tfrm_HTML(QWidget *parent) : QDialog(parent) {
  setObjectName("frm_HTML");
  setWindowTitle("Insert HTML");
  ttl_HTML = new QLabel(this);
  ttl_HTML->setObjectName("ttl_HTML");
  pnl_Kinds = new QStackedWidget(this);

  auto *link = new QWidget(pnl_Kinds);
  link->setObjectName("pnl_Hyperlink");
  auto *linkForm = new QFormLayout(link);
  edt_Href = EditRow(linkForm, "Link:", "edt_Href");
  edt_Desc = EditRow(linkForm, "Description:", "edt_Desc");

  auto *image = new QWidget(pnl_Kinds);
  image->setObjectName("pnl_Image");
  auto *imageForm = new QFormLayout(image);
  edt_Source = Edit(image, "edt_Source");
  btn_Browse = new QPushButton("...", image);
  btn_Browse->setObjectName("btn_Browse");
  auto *sourceRow = new QHBoxLayout;
  sourceRow->addWidget(edt_Source, 1);
  sourceRow->addWidget(btn_Browse);
  edt_Alt = Edit(image, "edt_Alt");
  cb_Align = new QComboBox(image);
  cb_Align->setObjectName("cb_Align");
  cb_Align->addItems({"Left", "Right", "Top", "Middle", "Bottom", "Absmiddle", "Texttop", "Baseline"});
  se_Border = new QSpinBox(image);
  se_Border->setObjectName("se_Border");
  se_Border->setRange(INT_MIN, INT_MAX);
  se_Border->setValue(0);
  imageForm->addRow("Source:", sourceRow);
  imageForm->addRow("Alt text:", edt_Alt);
  imageForm->addRow("Alignment:", cb_Align);
  imageForm->addRow("Border:", se_Border);

  auto *mail = new QWidget(pnl_Kinds);
  mail->setObjectName("pnl_Mailto");
  auto *mailForm = new QFormLayout(mail);
  edt_Email = EditRow(mailForm, "E-mail address:", "edt_Email");
  edt_EmailDesc = EditRow(mailForm, "Description:", "edt_EmailDesc");

  pnl_Kinds->addWidget(link);
  pnl_Kinds->addWidget(image);
  pnl_Kinds->addWidget(mail);

  btn_Insert = new QPushButton("&Insert", this);
  btn_Insert->setObjectName("btn_Insert");
  btn_Insert->setDefault(true);
  btn_Cancel = new QPushButton("&Cancel", this);
  btn_Cancel->setObjectName("btn_Cancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn_Insert);
  buttons->addWidget(btn_Cancel);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(ttl_HTML);
  layout->addWidget(pnl_Kinds);
  layout->addLayout(buttons);

  connect(btn_Insert, &QPushButton::clicked, this, &QDialog::accept);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btn_Browse, &QPushButton::clicked, this, &Tfrm_HTML::btn_BrowseClick);
  SetInsertKind(ikHyperlink);
}

void Tfrm_HTML::SetInsertKind(int kind) {
  if (kind < ikHyperlink || kind > ikMailto) return;
  kind_ = kind;
  static const char *const titles[] = {"  Insert Hyperlink", "  Insert Image", "  Insert Mailto"};
  ttl_HTML->setText(titles[kind - 1]);
  pnl_Kinds->setCurrentIndex(kind - 1);
}

void Tfrm_HTML::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  QLineEdit *first[] = {edt_Href, edt_Source, edt_Email};
  first[kind_ - 1]->setFocus();
}

QString Tfrm_HTML::HtmlText() const {
  auto a = [](const QLineEdit *e) { return QStringToAnsi(e->text()); };
  std::string tag;
  switch (kind_) {
    case ikHyperlink: tag = HyperlinkTag(a(edt_Href), a(edt_Desc)); break;
    case ikImage: tag = ImageTag(a(edt_Source), se_Border->value(), QStringToAnsi(cb_Align->currentText()), a(edt_Alt)); break;
    default: tag = MailtoTag(a(edt_Email), a(edt_EmailDesc)); break;
  }
  return AnsiToQString(tag);
}

void Tfrm_HTML::ChoosePicture(const QString &path) { edt_Source->setText(QFileInfo(path).fileName()); }

void Tfrm_HTML::btn_BrowseClick() {
  const QString filter =
      "All (*.jpg *.jpeg *.gif *.bmp *.ico *.emf *.wmf);;JPEG (*.jpg);;JPEG (*.jpeg);;GIF (*.gif);;"
      "Bitmaps (*.bmp);;Icons (*.ico);;Enhanced Metafiles (*.emf);;Metafiles (*.wmf)";
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), filter);
  if (!path.isEmpty()) ChoosePicture(path);
}

void InsertHtmlClick(QWidget *parent, QTextEdit *body, int kind) {
  if (!body) return;
  Tfrm_HTML dialog(parent);
  dialog.SetInsertKind(kind);
  if (dialog.exec() == QDialog::Accepted) body->textCursor().insertText(dialog.HtmlText());
}
