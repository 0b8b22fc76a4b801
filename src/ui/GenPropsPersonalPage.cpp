#include "ui/GenPropsDialog.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace genprops;

namespace {
const int kNotesLimit = 255;  // the notes field of the settings holds no more
}  // namespace

void Tfrm_GenProps::BuildPersonalPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_Personal");
  auto *group = new QGroupBox("Personal Information", page);
  edt_Name = NamedEdit("edt_Name", group);
  edt_Email = NamedEdit("edt_Email", group);
  edt_Reply = NamedEdit("edt_Reply", group);
  edt_Address1 = NamedEdit("edt_Address1", group);
  edt_Address2 = NamedEdit("edt_Address2", group);
  edt_Org = NamedEdit("edt_Org", group);
  edt_Phone1 = NamedEdit("edt_Phone1", group);
  edt_Phone2 = NamedEdit("edt_Phone2", group);
  edt_Title = NamedEdit("edt_Title", group);
  edt_Web = NamedEdit("edt_Web", group);
  edt_Photo = NamedEdit("edt_Photo", group);
  mmo_Notes = new QPlainTextEdit(group);
  mmo_Notes->setObjectName("mmo_Notes");
  // Notes hold at most 255 characters, as the box always did.
  connect(mmo_Notes, &QPlainTextEdit::textChanged, this, [this] {
    const QString text = mmo_Notes->toPlainText();
    if (text.size() <= kNotesLimit) return;
    mmo_Notes->setPlainText(text.left(kNotesLimit));
    mmo_Notes->moveCursor(QTextCursor::End);
  });
  auto *form = new QFormLayout(group);
  form->addRow("Name:", edt_Name);
  form->addRow("E-Mail:", edt_Email);
  form->addRow("Reply E-Mail:", edt_Reply);
  form->addRow("Address:", edt_Address1);
  form->addRow("", edt_Address2);
  form->addRow("Organization:", edt_Org);
  form->addRow("Phone:", edt_Phone1);
  form->addRow("Phone 2:", edt_Phone2);
  form->addRow("Title:", edt_Title);
  form->addRow("Web Page URL:", edt_Web);
  form->addRow("Photo URL:", edt_Photo);
  form->addRow("Notes:", mmo_Notes);
  (new QVBoxLayout(page))->addWidget(group);
  pc_GenProps->addTab(page, "Personal");
}
