#include "ui/GenPropsDialog.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace genprops;

void Tfrm_GenProps::BuildGeneralPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_General");
  pc_HSF = new QTabWidget(page);
  pc_HSF->setObjectName("pc_HSF");
  pc_HSF->setDocumentMode(true);
  struct TPart {
    const char *word, *sheet, *fileBox, *check, *memo, *open, *save;
    QLineEdit **file;
    QCheckBox **include;
    QPlainTextEdit **text;
    QPushButton **openButton, **saveButton;
  };
  const TPart parts[] = {
      {"Header", "ts_Header", "edt_Header", "cb_Header", "mmo_Header", "btn_HeaderOpen", "btn_HeaderSave",
       &edt_Header, &cb_Header, &mmo_Header, &btn_HeaderOpen, &btn_HeaderSave},
      {"Signature", "ts_Sig", "edt_Sig", "cb_Sig", "mmo_Sig", "btn_SigOpen", "btn_SigSave", &edt_Sig, &cb_Sig,
       &mmo_Sig, &btn_SigOpen, &btn_SigSave},
      {"Footer", "ts_Footer", "edt_Footer", "cb_Footer", "mmo_Footer", "btn_OpenFooter", "btn_SaveFooter",
       &edt_Footer, &cb_Footer, &mmo_Footer, &btn_OpenFooter, &btn_SaveFooter},
  };
  for (const TPart &part : parts) {
    auto *sheet = new QWidget;
    sheet->setObjectName(part.sheet);
    *part.file = NamedEdit(part.fileBox, sheet, 255);
    *part.include = NamedCheck(part.check, QString("Always include ") + QString(part.word).toLower(), sheet);
    *part.text = new QPlainTextEdit(sheet);
    (*part.text)->setObjectName(part.memo);
    *part.openButton = NamedButton(part.open, "Open", sheet);
    (*part.openButton)->setToolTip(QString("Open %1 file").arg(QString(part.word).toLower()));
    *part.saveButton = NamedButton(part.save, "Save", sheet);
    (*part.saveButton)->setToolTip(QString("Save %1 file").arg(QString(part.word).toLower()));
    auto *grid = new QGridLayout(sheet);
    grid->addWidget(new QLabel("File:", sheet), 0, 0);
    grid->addWidget(*part.file, 0, 1);
    grid->addWidget(*part.openButton, 0, 2);
    grid->addWidget(*part.saveButton, 0, 3);
    grid->addWidget(*part.include, 1, 0, 1, 4);
    grid->addWidget(*part.text, 2, 0, 1, 4);
    pc_HSF->addTab(sheet, part.word);
    const QString word = part.word;
    QLineEdit *file = *part.file;
    QPlainTextEdit *text = *part.text;
    connect(*part.openButton, &QPushButton::clicked, this, [=, this] { OpenText(word, file, text); });
    connect(*part.saveButton, &QPushButton::clicked, this, [=, this] { SaveText(word, file, text); });
  }
  cb_Hints = NamedCheck("cb_Hints", "Show Hints", page);
  cb_HTMLDigest = NamedCheck("cb_HTMLDigest", "Set default Digest mode to HTML", page);
  cb_HideHTMLBar = NamedCheck("cb_HideHTMLBar", "Hide HTML bar", page);
  auto *layout = new QVBoxLayout(page);
  layout->addWidget(pc_HSF, 1);
  layout->addWidget(cb_Hints);
  layout->addWidget(cb_HTMLDigest);
  layout->addWidget(cb_HideHTMLBar);
  pc_GenProps->addTab(page, "General");
}
