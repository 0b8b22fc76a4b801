#include "ui/GenPropsDialog.h"

#include "storage/Ansi.h"
#include "storage/Filters.h"
#include "storage/IniFiles32.h"
#include "storage/ServerPasswords.h"
#include "storage/ServerRegistry.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"
#include "ui/InsertCommands.h"
#include "ui/ColorDialog.h"
#include "ui/DisplaySettings.h"
#include "ui/ServersDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

namespace {

const char *const kCaption = "General Properties";
const QStringList kPlacements = {"Bottom", "Left", "Right", "Top"};
const int kNotesLimit = 255;

QLineEdit *NamedEdit(const char *name, QWidget *parent, int maxLength = 0) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(name);
  if (maxLength > 0) edit->setMaxLength(maxLength);
  return edit;
}

QLineEdit *ReadOnlyEdit(const char *name, QWidget *parent) {
  QLineEdit *edit = NamedEdit(name, parent);
  edit->setReadOnly(true);
  return edit;
}

QPushButton *NamedButton(const char *name, const QString &caption, QWidget *parent) {
  auto *button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QCheckBox *NamedCheck(const char *name, const QString &caption, QWidget *parent) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QListWidget *NamedList(const char *name, QWidget *parent) {
  auto *list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSortingEnabled(true);
  return list;
}

// A group of a server list with its Add, Del and Edit buttons beside it; the names follow
// the kind ("SMTP" or "POP").
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

struct TInfoField {
  QLineEdit **Edit;
  const char *Name;
  const char *Label;
};

// A group of labelled read-only boxes showing a default server's settings.
QGroupBox *InfoGroup(QWidget *page, const QString &title, std::initializer_list<TInfoField> fields) {
  auto *group = new QGroupBox(title, page);
  auto *form = new QFormLayout(group);
  for (const TInfoField &field : fields) {
    *field.Edit = ReadOnlyEdit(field.Name, group);
    form->addRow(field.Label, *field.Edit);
  }
  return group;
}

QComboBox *PlacementBox(const char *name, QWidget *parent) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems(kPlacements);
  return box;
}

// Multi-line text is CR LF in the settings, LF in the editors.
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

// Lists sort without regard to case, as the registries count their positions.
class TSortedItem : public QListWidgetItem {
public:
  using QListWidgetItem::QListWidgetItem;
  bool operator<(const QListWidgetItem &other) const override {
    return QString::compare(text(), other.text(), Qt::CaseInsensitive) < 0;
  }
};

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

}  // namespace

// ---- small widgets ---------------------------------------------------------------------

TColorSwatch::TColorSwatch(const char *name, QWidget *parent) : QFrame(parent) {
  setObjectName(name);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setMinimumSize(48, 22);
  setAutoFillBackground(true);
  setToolTip("Double-click to change the colour");
}

void TColorSwatch::SetColorText(const std::string &text) {
  colorText_ = text;
  QPalette p = palette();
  p.setColor(QPalette::Window, SettingQColor(text, p.color(QPalette::Window)));
  setPalette(p);
}

void TColorSwatch::mouseDoubleClickEvent(QMouseEvent *) { emit doubleClicked(); }

TFontLabel::TFontLabel(const char *name, QWidget *parent) : QLabel(parent) {
  setObjectName(name);
  setToolTip("Double-click to change the font");
  setMinimumHeight(24);
}

void TFontLabel::SetFontSetting(const TFontSetting &font) {
  font_ = font;
  setFont(SettingFont(font));
  setText(AnsiToQString(font.Name));
  QPalette p = palette();
  p.setColor(QPalette::WindowText, SettingQColor(font.Color, Qt::black));
  setPalette(p);
}

void TFontLabel::mouseDoubleClickEvent(QMouseEvent *) { emit doubleClicked(); }

// ---- construction ----------------------------------------------------------------------

template <class F> void Tfrm_GenProps::Guard(F &&command) {
  try {
    command();
  } catch (const std::exception &e) {
    QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(e.what()));
  }
}

Tfrm_GenProps::Tfrm_GenProps(const std::string &dataDir, TGeneralSettings *settings, QWidget *mainWindow)
    : QDialog(mainWindow, Qt::Tool), dataDir_(dataDir), settings_(settings), mainWindow_(mainWindow) {
  setObjectName("frm_GenProps");
  setWindowTitle(kCaption);

  tpnl_GenProps = new QWidget(this);
  tpnl_GenProps->setObjectName("tpnl_GenProps");
  btn_Save = NamedButton("btn_Save", "&Save", tpnl_GenProps);
  btn_Save->setToolTip("Save properties");
  btn_Cancel = NamedButton("btn_Cancel", "&Cancel", tpnl_GenProps);
  btn_Cancel->setToolTip("Cancel changes");
  ttl_Gen = new QLabel("General Properties", tpnl_GenProps);
  ttl_Gen->setObjectName("ttl_Gen");
  ttl_Gen->setAutoFillBackground(true);
  auto *top = new QHBoxLayout(tpnl_GenProps);
  top->setContentsMargins(2, 2, 2, 2);
  top->addWidget(btn_Save);
  top->addWidget(btn_Cancel);
  top->addWidget(ttl_Gen, 1);

  pc_GenProps = new QTabWidget(this);
  pc_GenProps->setObjectName("pc_GenProps");
  pc_GenProps->setTabPosition(QTabWidget::West);
  BuildPersonalPage();
  BuildGeneralPage();
  BuildDisplayPage();
  BuildSmtpPage();
  BuildPopPage();

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tpnl_GenProps);
  layout->addWidget(pc_GenProps);
  connect(btn_Save, &QPushButton::clicked, this, &QDialog::accept);
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);

  // The registries, then the settings, then their look.
  Guard([&] {
    FillServerList(clb_SMTPServ, ReadSmtpServerNames(dataDir_), -1);
    FillServerList(clb_POPServ, ReadPopServerNames(dataDir_), -1);
  });
  ReadGeneralSettings();
  ApplyToWindows();
  cb_FilterListChange();
}

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

void Tfrm_GenProps::BuildDisplayPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_Display");
  auto fontColorButton = [this](const char *name, QWidget *parent, TFontLabel *label) {
    QPushButton *button = NamedButton(name, "Font Color...", parent);
    button->setToolTip("Change the colour of this font");
    connect(button, &QPushButton::clicked, this, [this, label] { ChooseFontColor(label); });
    return button;
  };

  auto *tabs = new QGroupBox("Tab Display", page);
  lbl_PageFont = new TFontLabel("lbl_PageFont", tabs);
  btn_PageFontColor = fontColorButton("btn_PageFontColor", tabs, lbl_PageFont);
  cb_TabPosition = PlacementBox("cb_TabPosition", tabs);
  auto *tabsForm = new QFormLayout(tabs);
  tabsForm->addRow("Page Font", lbl_PageFont);
  tabsForm->addRow("", btn_PageFontColor);
  tabsForm->addRow("Tab Position:", cb_TabPosition);

  auto *bars = new QGroupBox("Toolbars", page);
  pnl_ToolColor = new TColorSwatch("pnl_ToolColor", bars);
  lbl_ToolFont = new TFontLabel("lbl_ToolFont", bars);
  btn_ToolFontColor = fontColorButton("btn_ToolFontColor", bars, lbl_ToolFont);
  cb_ToolAlign = PlacementBox("cb_ToolAlign", bars);
  auto *barsForm = new QFormLayout(bars);
  barsForm->addRow("Color", pnl_ToolColor);
  barsForm->addRow("Font", lbl_ToolFont);
  barsForm->addRow("", btn_ToolFontColor);
  barsForm->addRow("Main Toolbar Alignment:", cb_ToolAlign);

  auto *general = new QGroupBox("General Display", page);
  pnl_GenColor = new TColorSwatch("pnl_GenColor", general);
  (new QFormLayout(general))->addRow("Background Color", pnl_GenColor);

  auto *titles = new QGroupBox("Title Bars", page);
  pnl_TitleColor = new TColorSwatch("pnl_TitleColor", titles);
  lbl_TitleFont = new TFontLabel("lbl_TitleFont", titles);
  btn_TitleFontColor = fontColorButton("btn_TitleFontColor", titles, lbl_TitleFont);
  auto *titlesForm = new QFormLayout(titles);
  titlesForm->addRow("Color", pnl_TitleColor);
  titlesForm->addRow("Font", lbl_TitleFont);
  titlesForm->addRow("", btn_TitleFontColor);

  auto *grid = new QGridLayout(page);
  grid->addWidget(tabs, 0, 0);
  grid->addWidget(bars, 0, 1);
  grid->addWidget(general, 1, 0);
  grid->addWidget(titles, 1, 1);
  grid->setRowStretch(2, 1);
  pc_GenProps->addTab(page, "Display");

  for (TColorSwatch *swatch : {pnl_GenColor, pnl_ToolColor, pnl_TitleColor})
    connect(swatch, &TColorSwatch::doubleClicked, this, [this, swatch] { ChooseColor(swatch); });
  for (TFontLabel *label : {lbl_PageFont, lbl_ToolFont, lbl_TitleFont})
    connect(label, &TFontLabel::doubleClicked, this, [this, label] { ChooseFont(label); });
}

void Tfrm_GenProps::BuildSmtpPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_SMTP");
  gb_SMTPServ = ServerGroup(page, "SMTP", &clb_SMTPServ, &btn_SMTPAdd, &btn_SMTPDelete, &btn_SMTPEdit);
  auto *def = InfoGroup(page, "Default SMTP Information",
                        {{&edt_DefSMTPServ, "edt_DefSMTPServ", "Server:"},
                         {&edt_DefSMTPUser, "edt_DefSMTPUser", "Username:"},
                         {&edt_DefSMTPPort, "edt_DefSMTPPort", "Port:"},
                         {&edt_DefSMTPSend, "edt_DefSMTPSend", "Send to Addresses:"}});
  auto *layout = new QVBoxLayout(page);
  layout->addWidget(gb_SMTPServ, 1);
  layout->addWidget(def);
  pc_GenProps->addTab(page, "SMTP");

  connect(btn_SMTPAdd, &QPushButton::clicked, this, &Tfrm_GenProps::btn_SMTPAddClick);
  connect(btn_SMTPDelete, &QPushButton::clicked, this, &Tfrm_GenProps::btn_SMTPDeleteClick);
  connect(btn_SMTPEdit, &QPushButton::clicked, this, &Tfrm_GenProps::btn_SMTPEditClick);
  connect(clb_SMTPServ, &QListWidget::itemChanged, this,
          [this](QListWidgetItem *item) { ServerClickCheck(clb_SMTPServ, item, true); });
}

void Tfrm_GenProps::BuildPopPage() {
  auto *page = new QWidget;
  page->setObjectName("ts_POP");
  gb_POPServ = ServerGroup(page, "POP", &clb_POPServ, &btn_POPAdd, &btn_POPDelete, &btn_POPEdit);
  auto *def = InfoGroup(page, "Default POP Information",
                        {{&edt_DefPOPServ, "edt_DefPOPServ", "Server:"},
                         {&edt_DefPOPPort, "edt_DefPOPPort", "Port:"},
                         {&edt_DefPOPUser, "edt_DefPOPUser", "Username:"},
                         {&edt_DefPOPOptions, "edt_DefPOPOptions", "POP Options:"}});

  auto *maint = new QGroupBox("General Maintenance", page);
  lb_IARSub = NamedList("lb_IARSub", maint);
  btn_AddIARSub = NamedButton("btn_AddIARSub", "Add", maint);
  btn_EditIARSub = NamedButton("btn_EditIARSub", "Edit", maint);
  btn_DelIARSub = NamedButton("btn_DelIARSub", "Delete", maint);
  cb_IARSub = NamedCheck("cb_IARSub", "Enabled", maint);
  auto *maintGrid = new QGridLayout(maint);
  maintGrid->addWidget(new QLabel("Invalid Address Subjects:", maint), 0, 0);
  maintGrid->addWidget(cb_IARSub, 0, 1);
  maintGrid->addWidget(lb_IARSub, 1, 0, 4, 1);
  maintGrid->addWidget(btn_AddIARSub, 1, 1);
  maintGrid->addWidget(btn_EditIARSub, 2, 1);
  maintGrid->addWidget(btn_DelIARSub, 3, 1);

  auto *filters = new QGroupBox("Filters", page);
  cb_FilterList = new QComboBox(filters);
  cb_FilterList->setObjectName("cb_FilterList");
  lb_Filters = NamedList("lb_Filters", filters);
  btn_AddFilter = NamedButton("btn_AddFilter", "Add", filters);
  btn_EditFilter = NamedButton("btn_EditFilter", "Edit", filters);
  btn_DeleteFilter = NamedButton("btn_DeleteFilter", "Delete", filters);
  auto *filterGrid = new QGridLayout(filters);
  filterGrid->addWidget(new QLabel("Mail List:", filters), 0, 0);
  filterGrid->addWidget(cb_FilterList, 0, 1);
  filterGrid->addWidget(lb_Filters, 1, 0, 4, 2);
  filterGrid->addWidget(btn_AddFilter, 1, 2);
  filterGrid->addWidget(btn_EditFilter, 2, 2);
  filterGrid->addWidget(btn_DeleteFilter, 3, 2);

  auto *grid = new QGridLayout(page);
  grid->addWidget(gb_POPServ, 0, 0);
  grid->addWidget(def, 0, 1);
  grid->addWidget(maint, 1, 0);
  grid->addWidget(filters, 1, 1);
  pc_GenProps->addTab(page, "POP");

  connect(btn_POPAdd, &QPushButton::clicked, this, &Tfrm_GenProps::btn_POPAddClick);
  connect(btn_POPDelete, &QPushButton::clicked, this, &Tfrm_GenProps::btn_POPDeleteClick);
  connect(btn_POPEdit, &QPushButton::clicked, this, &Tfrm_GenProps::btn_POPEditClick);
  connect(clb_POPServ, &QListWidget::itemChanged, this,
          [this](QListWidgetItem *item) { ServerClickCheck(clb_POPServ, item, false); });
  connect(btn_AddIARSub, &QPushButton::clicked, this, &Tfrm_GenProps::btn_AddIARSubClick);
  connect(btn_EditIARSub, &QPushButton::clicked, this, &Tfrm_GenProps::btn_EditIARSubClick);
  connect(btn_DelIARSub, &QPushButton::clicked, this, &Tfrm_GenProps::btn_DelIARSubClick);
  connect(cb_FilterList, &QComboBox::currentIndexChanged, this, &Tfrm_GenProps::cb_FilterListChange);
  connect(btn_AddFilter, &QPushButton::clicked, this, &Tfrm_GenProps::btn_AddFilterClick);
  connect(btn_EditFilter, &QPushButton::clicked, this, &Tfrm_GenProps::btn_EditFilterClick);
  connect(btn_DeleteFilter, &QPushButton::clicked, this, &Tfrm_GenProps::btn_DeleteFilterClick);
}

// ---- settings <-> controls -------------------------------------------------------------

void Tfrm_GenProps::LoadControls() {
  const TGeneralSettings &s = *settings_;
  SetText(edt_Name, s.Name);
  SetText(edt_Email, s.EMail);
  SetText(edt_Reply, s.Reply);
  SetText(edt_Address1, s.Address1);
  SetText(edt_Address2, s.Address2);
  SetText(edt_Org, s.Organization);
  SetText(edt_Phone1, s.Phone1);
  SetText(edt_Phone2, s.Phone2);
  SetText(edt_Title, s.Title);
  SetText(edt_Web, s.WebURL);
  SetText(edt_Photo, s.PhotoURL);
  mmo_Notes->setPlainText(TextToEditor(s.Notes));

  cb_Hints->setChecked(s.ShowHints);
  cb_HTMLDigest->setChecked(s.HTMLDigest);
  cb_HideHTMLBar->setChecked(s.HideHTMLBar);
  cb_Header->setChecked(s.IncludeHeader);
  SetText(edt_Header, s.HeaderFile);
  mmo_Header->setPlainText(TextToEditor(s.HeaderText));
  cb_Sig->setChecked(s.IncludeSig);
  SetText(edt_Sig, s.SignatureFile);
  mmo_Sig->setPlainText(TextToEditor(s.SignatureText));
  cb_Footer->setChecked(s.IncludeFooter);
  SetText(edt_Footer, s.FooterFile);
  mmo_Footer->setPlainText(TextToEditor(s.FooterText));

  pnl_GenColor->SetColorText(s.GeneralColor);
  pnl_ToolColor->SetColorText(s.ToolbarColor);
  pnl_TitleColor->SetColorText(s.TitleColor);
  lbl_ToolFont->SetFontSetting(s.ToolbarFont);
  lbl_PageFont->SetFontSetting(s.PageFont);
  lbl_TitleFont->SetFontSetting(s.TitleFont);
  cb_ToolAlign->setCurrentIndex(static_cast<int>(s.ToolbarAlign));
  cb_TabPosition->setCurrentIndex(static_cast<int>(s.TabPosition));

  // The stored positions check their servers; a position beyond the list checks none.
  FillServerList(clb_SMTPServ, Items(clb_SMTPServ), s.SmtpServer);
  FillServerList(clb_POPServ, Items(clb_POPServ), s.PopServer);
  ShowDefault(true, DefaultSmtpServer());
  ShowDefault(false, DefaultPopServer());
  SyncDefaultPositions();

  cb_IARSub->setChecked(s.EnabledIARSubjects);
  lb_IARSub->clear();
  for (const std::string &subject : s.IARSubjects) AddItem(lb_IARSub, AnsiToQString(subject));
}

void Tfrm_GenProps::StoreControls() {
  TGeneralSettings &s = *settings_;
  s.Name = Text(edt_Name);
  s.EMail = Text(edt_Email);
  s.Reply = Text(edt_Reply);
  s.Address1 = Text(edt_Address1);
  s.Address2 = Text(edt_Address2);
  s.Organization = Text(edt_Org);
  s.Phone1 = Text(edt_Phone1);
  s.Phone2 = Text(edt_Phone2);
  s.Title = Text(edt_Title);
  s.WebURL = Text(edt_Web);
  s.PhotoURL = Text(edt_Photo);
  s.Notes = EditorToText(mmo_Notes->toPlainText());

  s.ShowHints = cb_Hints->isChecked();
  s.HTMLDigest = cb_HTMLDigest->isChecked();
  s.HideHTMLBar = cb_HideHTMLBar->isChecked();
  s.IncludeHeader = cb_Header->isChecked();
  s.HeaderFile = Text(edt_Header);
  s.HeaderText = EditorToText(mmo_Header->toPlainText());
  s.IncludeSig = cb_Sig->isChecked();
  s.SignatureFile = Text(edt_Sig);
  s.SignatureText = EditorToText(mmo_Sig->toPlainText());
  s.IncludeFooter = cb_Footer->isChecked();
  s.FooterFile = Text(edt_Footer);
  s.FooterText = EditorToText(mmo_Footer->toPlainText());

  s.GeneralColor = pnl_GenColor->ColorText();
  s.ToolbarColor = pnl_ToolColor->ColorText();
  s.TitleColor = pnl_TitleColor->ColorText();
  s.ToolbarFont = lbl_ToolFont->FontSetting();
  s.PageFont = lbl_PageFont->FontSetting();
  s.TitleFont = lbl_TitleFont->FontSetting();
  s.ToolbarAlign = static_cast<TPlacement>(std::max(0, cb_ToolAlign->currentIndex()));
  s.TabPosition = static_cast<TPlacement>(std::max(0, cb_TabPosition->currentIndex()));

  SyncDefaultPositions();
  s.EnabledIARSubjects = cb_IARSub->isChecked();
  s.IARSubjects = Items(lb_IARSub);
}

void Tfrm_GenProps::SyncDefaultPositions() {
  settings_->SmtpServer = FirstChecked(clb_SMTPServ);
  settings_->PopServer = FirstChecked(clb_POPServ);
}

void Tfrm_GenProps::ReadGeneralSettings() {
  std::string fileError;
  Guard([&] {
    *settings_ = ::ReadGeneralSettings(dataDir_, &fileError);
    LoadControls();
    ApplyGeneralOptions(mainWindow_, *settings_);
  });
  if (!fileError.empty()) QMessageBox::warning(mainWindow_ ? mainWindow_ : this, kCaption, AnsiToQString(fileError));
}

void Tfrm_GenProps::WriteGeneralSettings() {
  StoreControls();
  ::WriteGeneralSettings(dataDir_, *settings_, clb_SMTPServ->count(), clb_POPServ->count());
  ApplyGeneralOptions(mainWindow_, *settings_);
}

void Tfrm_GenProps::ApplyToWindows() {
  if (mainWindow_) ApplyDisplaySettings(mainWindow_, *settings_);
  ApplyDisplaySettings(this, *settings_);
  // The sample labels and swatches show the dialog's values, not the window's look.
  lbl_PageFont->SetFontSetting(lbl_PageFont->FontSetting());
  lbl_ToolFont->SetFontSetting(lbl_ToolFont->FontSetting());
  lbl_TitleFont->SetFontSetting(lbl_TitleFont->FontSetting());
}

bool Tfrm_GenProps::Execute() {
  const bool saved = exec() == QDialog::Accepted;
  if (saved) {
    Guard([&] {
      cb_FilterListChange();
      WriteGeneralSettings();
      ApplyToWindows();
    });
  } else {
    ReadGeneralSettings();
  }
  return saved;
}

void Tfrm_GenProps::SetMailLists(const std::vector<std::string> &names) {
  QStringList items;
  for (const std::string &name : names) items << AnsiToQString(name);
  items.sort(Qt::CaseInsensitive);
  const QSignalBlocker block(cb_FilterList);
  cb_FilterList->clear();
  cb_FilterList->addItems(items);
  cb_FilterList->setCurrentIndex(items.isEmpty() ? -1 : 0);
  cb_FilterListChange();
}

// ---- servers ---------------------------------------------------------------------------

std::vector<std::string> Tfrm_GenProps::SmtpServers() const { return Items(clb_SMTPServ); }
std::vector<std::string> Tfrm_GenProps::PopServers() const { return Items(clb_POPServ); }

std::string Tfrm_GenProps::DefaultSmtpServer() const {
  const int at = FirstChecked(clb_SMTPServ);
  return at < 0 ? std::string() : QStringToAnsi(clb_SMTPServ->item(at)->text());
}

std::string Tfrm_GenProps::DefaultPopServer() const {
  const int at = FirstChecked(clb_POPServ);
  return at < 0 ? std::string() : QStringToAnsi(clb_POPServ->item(at)->text());
}

void Tfrm_GenProps::FillServerList(QListWidget *list, const std::vector<std::string> &names, int checkedPosition) {
  checking_ = true;
  list->clear();
  for (const std::string &name : names) AddCheckItem(list, name);
  if (checkedPosition >= 0 && checkedPosition < list->count()) list->item(checkedPosition)->setCheckState(Qt::Checked);
  checking_ = false;
}

void Tfrm_GenProps::ShowDefault(bool smtp, const std::string &name) {
  if (smtp) {
    for (QLineEdit *e : {edt_DefSMTPServ, edt_DefSMTPUser, edt_DefSMTPPort, edt_DefSMTPSend}) e->clear();
    if (name.empty()) return;
    const TDefaultSmtpInfo info = ShowDefaultSmtpServer(dataDir_, name);
    SetText(edt_DefSMTPServ, info.Server);
    SetText(edt_DefSMTPUser, info.Username);
    SetText(edt_DefSMTPPort, info.Port);
    SetText(edt_DefSMTPSend, info.SendTo);
  } else {
    for (QLineEdit *e : {edt_DefPOPServ, edt_DefPOPPort, edt_DefPOPUser, edt_DefPOPOptions}) e->clear();
    defaultPopPassword_.clear();
    if (name.empty()) return;
    const TDefaultPopInfo info = ShowDefaultPopServer(dataDir_, name);
    SetText(edt_DefPOPServ, info.Server);
    SetText(edt_DefPOPPort, info.Port);
    SetText(edt_DefPOPUser, info.Username);
    SetText(edt_DefPOPOptions, info.Options);
    defaultPopPassword_ = info.Password;
  }
}

void Tfrm_GenProps::ServerClickCheck(QListWidget *list, QListWidgetItem *item, bool smtp) {
  if (checking_) return;
  QListWidgetItem *other = nullptr;
  for (int i = 0; i < list->count() && !other; ++i)
    if (list->item(i) != item && list->item(i)->checkState() == Qt::Checked) other = list->item(i);
  QListWidgetItem *shown = item;
  if (other) {
    const QString kind = smtp ? "SMTP" : "POP";
    const auto answer = QMessageBox::warning(this, kCaption,
                                             QString("Only one default %1 server is permitted.\n"
                                                     "Would you like to set this server as your default?")
                                                 .arg(kind),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    checking_ = true;
    if (answer == QMessageBox::Yes) {
      other->setCheckState(Qt::Unchecked);
      item->setCheckState(Qt::Checked);
    } else {
      item->setCheckState(Qt::Unchecked);
      shown = other;
    }
    checking_ = false;
  }
  Guard([&] { ShowDefault(smtp, QStringToAnsi(shown->text())); });
}

void Tfrm_GenProps::UpdateServerCaption(bool smtp) {
  QGroupBox *group = smtp ? gb_SMTPServ : gb_POPServ;
  const int count = (smtp ? clb_SMTPServ : clb_POPServ)->count();
  group->setTitle(QString("%1 Servers (%2)").arg(smtp ? "SMTP" : "POP").arg(count));
}

// The stored default is a position in the sorted registry: when servers come and go the
// position is moved along, so the stored default stays the same server.
void Tfrm_GenProps::KeepStoredDefault(bool smtp, const std::vector<std::string> &before,
                                      const std::string &renamedFrom, const std::string &renamedTo) {
  const char *section = smtp ? "SMTP" : "POP";
  TIniFile32 ini(dataDir_ + kSettingsFile, TIniMode::imPlatform);
  const int stored = ini.ReadInteger(section, "Server", 0);
  std::string name = DefaultServerName(before, stored);
  if (name.empty()) return;
  if (!renamedFrom.empty() && SameText(name, renamedFrom)) name = renamedTo;
  const std::vector<std::string> after = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  for (size_t i = 0; i < after.size(); ++i)
    if (SameText(after[i], name)) {
      if (static_cast<int>(i) != stored) ini.WriteInteger(section, "Server", static_cast<int>(i));
      return;
    }
}

void Tfrm_GenProps::AddServer(bool smtp) {
  Tfrm_Servers dialog(smtp ? TServerKind::skSMTP : TServerKind::skPOP, this);
  dialog.IsRegistered = [&](const std::string &name) {
    return smtp ? SmtpServerExists(dataDir_, name) : PopServerExists(dataDir_, name);
  };
  ApplyDisplaySettings(&dialog, *settings_);
  if (dialog.exec() != QDialog::Accepted) return;
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  const std::string name = smtp ? dialog.SmtpServer().Name : dialog.PopServer().Name;
  if (smtp) WriteSmtpServer(dataDir_, dialog.SmtpServer());
  else WritePopServer(dataDir_, dialog.PopServer());
  KeepPasswordSafe(smtp, name);
  // A confirmed overwrite keeps the one entry the list already has.
  QListWidgetItem *item = FindItem(list, name);
  if (!item) {
    checking_ = true;
    AddCheckItem(list, name);
    checking_ = false;
  } else if (item->checkState() == Qt::Checked) {
    ShowDefault(smtp, name);
  }
  UpdateServerCaption(smtp);
  KeepStoredDefault(smtp, before);
  SyncDefaultPositions();
  emit ServersChanged();
}

void Tfrm_GenProps::EditServer(bool smtp) {
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  QListWidgetItem *item = SelectedItem(list);
  if (!item) return;
  const std::string oldName = QStringToAnsi(item->text());
  Tfrm_Servers dialog(smtp ? TServerKind::skSMTP : TServerKind::skPOP, this);
  dialog.IsRegistered = [&](const std::string &name) {
    return smtp ? SmtpServerExists(dataDir_, name) : PopServerExists(dataDir_, name);
  };
  ApplyDisplaySettings(&dialog, *settings_);
  if (smtp) dialog.SetSmtpServer(ReadSmtpServer(dataDir_, oldName));
  else dialog.SetPopServer(ReadPopServer(dataDir_, oldName));
  if (smtp ? ReadSmtpServer(dataDir_, oldName).PasswordInKeyring : ReadPopServer(dataDir_, oldName).PasswordInKeyring)
    dialog.FetchPassword(ServerPasswordKey(dataDir_, smtp, oldName));
  if (dialog.exec() != QDialog::Accepted) return;

  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  const std::string newName = smtp ? dialog.SmtpServer().Name : dialog.PopServer().Name;
  const bool renamed = newName != oldName;
  // A renamed server replaces its old entry instead of leaving it behind; the new entry is
  // written first, unless only the letter case changes and both are the same section.
  const auto eraseOld = [&] {
    if (smtp) DeleteSmtpServer(dataDir_, oldName);
    else DeletePopServer(dataDir_, oldName);
  };
  if (renamed && SameText(newName, oldName)) eraseOld();
  if (smtp) WriteSmtpServer(dataDir_, dialog.SmtpServer());
  else WritePopServer(dataDir_, dialog.PopServer());
  if (renamed) ForgetServerPassword(dataDir_, smtp, oldName);
  KeepPasswordSafe(smtp, newName);
  if (renamed) {
    if (!SameText(newName, oldName)) eraseOld();
    checking_ = true;
    QListWidgetItem *existing = FindItem(list, newName);
    if (existing && existing != item) {
      if (item->checkState() == Qt::Checked) existing->setCheckState(Qt::Checked);
      delete item;
    } else {
      item->setText(AnsiToQString(newName));
      list->sortItems();
    }
    checking_ = false;
    UpdateServerCaption(smtp);
    KeepStoredDefault(smtp, before, oldName, newName);
    emit ServersChanged();
  }
  // Only one check mark, even after two entries became one.
  SyncDefaultPositions();
  const std::string checked = smtp ? DefaultSmtpServer() : DefaultPopServer();
  if (!checked.empty()) ShowDefault(smtp, checked);
}

// The password goes to the keyring when one runs; else it stays in the registry, and the
// user is told so once.
void Tfrm_GenProps::KeepPasswordSafe(bool smtp, const std::string &name) {
  const QPointer<Tfrm_GenProps> self(this);
  const std::string dataDir = dataDir_;
  MovePasswordToKeyring(dataDir_, smtp, name, [self, dataDir](TPasswordPlace place) {
    if (place != TPasswordPlace::ppFile || !self) return;
    const std::string notice = PasswordFileNoticeOnce(dataDir);
    if (notice.empty()) return;
    // Told without holding up whatever the user does next.
    auto *box = new QMessageBox(QMessageBox::Information, kCaption, AnsiToQString(notice), QMessageBox::Ok, self);
    box->setObjectName("PasswordFileNotice");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
}

void Tfrm_GenProps::DeleteServer(bool smtp) {
  QListWidget *list = smtp ? clb_SMTPServ : clb_POPServ;
  QListWidgetItem *item = SelectedItem(list);
  if (!item) return;
  const QString kind = smtp ? "SMTP" : "POP";
  const QString question =
      QString("Are you sure you want to delete this %1 server?\n\n%1 Server: %2").arg(kind, item->text());
  if (QMessageBox::question(this, kCaption, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
      QMessageBox::Yes)
    return;
  const std::string name = QStringToAnsi(item->text());
  const std::vector<std::string> before = smtp ? ReadSmtpServerNames(dataDir_) : ReadPopServerNames(dataDir_);
  if (smtp) DeleteSmtpServer(dataDir_, name);
  else DeletePopServer(dataDir_, name);
  ForgetServerPassword(dataDir_, smtp, name);
  checking_ = true;
  delete item;
  checking_ = false;
  UpdateServerCaption(smtp);
  KeepStoredDefault(smtp, before);
  SyncDefaultPositions();
  emit ServersChanged();
}

void Tfrm_GenProps::btn_SMTPAddClick() { Guard([&] { AddServer(true); }); }
void Tfrm_GenProps::btn_POPAddClick() { Guard([&] { AddServer(false); }); }
void Tfrm_GenProps::btn_SMTPEditClick() { Guard([&] { EditServer(true); }); }
void Tfrm_GenProps::btn_POPEditClick() { Guard([&] { EditServer(false); }); }
void Tfrm_GenProps::btn_SMTPDeleteClick() { Guard([&] { DeleteServer(true); }); }
void Tfrm_GenProps::btn_POPDeleteClick() { Guard([&] { DeleteServer(false); }); }

// ---- bounce subjects and filters -------------------------------------------------------

namespace {
// Asks for one line of text; false when cancelled. An empty answer counts.
bool AskText(QWidget *parent, const QString &title, const QString &prompt, QString *text) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, *text, &ok);
  if (ok) *text = answer;
  return ok;
}
const char *const kIARTitle = "Invalid Address Reply Subject";
const char *const kIARPrompt = "Enter the subject of the invalid address reply:";
}  // namespace

void Tfrm_GenProps::btn_AddIARSubClick() {
  QString subject;
  if (AskText(this, kIARTitle, kIARPrompt, &subject)) AddItem(lb_IARSub, subject);
}

void Tfrm_GenProps::btn_EditIARSubClick() {
  QListWidgetItem *item = SelectedItem(lb_IARSub);
  if (!item) return;
  QString subject = item->text();
  if (AskText(this, kIARTitle, kIARPrompt, &subject)) {
    item->setText(subject);
    lb_IARSub->sortItems();
  }
}

void Tfrm_GenProps::btn_DelIARSubClick() { delete SelectedItem(lb_IARSub); }

void Tfrm_GenProps::cb_FilterListChange() {
  lb_Filters->clear();
  const bool chosen = cb_FilterList->currentIndex() >= 0;
  for (QPushButton *b : {btn_AddFilter, btn_EditFilter, btn_DeleteFilter}) b->setEnabled(chosen);
  if (!chosen) return;
  Guard([&] {
    for (const std::string &address : ReadFilters(dataDir_, QStringToAnsi(cb_FilterList->currentText())))
      AddItem(lb_Filters, AnsiToQString(address));
  });
}

void Tfrm_GenProps::WriteChosenFilters() {
  if (cb_FilterList->currentIndex() < 0) return;
  Guard([&] { WriteFilters(dataDir_, QStringToAnsi(cb_FilterList->currentText()), Items(lb_Filters)); });
}

void Tfrm_GenProps::btn_AddFilterClick() {
  if (cb_FilterList->currentIndex() < 0) return;
  QString address;
  if (!AskText(this, "Add Filter", "Enter an e-mail address:", &address)) return;
  AddItem(lb_Filters, address.trimmed());
  WriteChosenFilters();
}

void Tfrm_GenProps::btn_EditFilterClick() {
  QListWidgetItem *item = SelectedItem(lb_Filters);
  if (!item) return;
  QString address = item->text();
  if (!AskText(this, "Edit Filter", "Enter an e-mail address:", &address)) return;
  item->setText(address.trimmed());
  lb_Filters->sortItems();
  WriteChosenFilters();
}

void Tfrm_GenProps::btn_DeleteFilterClick() {
  QListWidgetItem *item = SelectedItem(lb_Filters);
  if (!item) return;
  delete item;
  WriteChosenFilters();
}

// ---- colours, fonts and text files -----------------------------------------------------

void Tfrm_GenProps::ChooseColor(TColorSwatch *swatch) {
  QColor color = SettingQColor(swatch->ColorText(), Qt::white);
  Guard([&] {
    if (PickColor(this, dataDir_, &color)) swatch->SetColorText(QColorToText(color));
  });
}

void Tfrm_GenProps::ChooseFont(TFontLabel *label) {
  QFontDialog dialog(SettingFont(label->FontSetting()), this);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() == QDialog::Accepted)
    label->SetFontSetting(FontToSetting(dialog.selectedFont(), label->FontSetting().Color));
}

void Tfrm_GenProps::ChooseFontColor(TFontLabel *label) {
  QColor color = SettingQColor(label->FontSetting().Color, Qt::black);
  Guard([&] {
    if (!PickColor(this, dataDir_, &color)) return;
    TFontSetting font = label->FontSetting();
    font.Color = QColorToText(color);
    label->SetFontSetting(font);
  });
}

// The routines shared with the Mail Lists page: designed titles, filters and line ends.
void Tfrm_GenProps::OpenText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox) {
  Guard([&] { OpenTextBoxFile(this, word, fileBox, textBox); });
}

void Tfrm_GenProps::SaveText(const QString &word, QLineEdit *fileBox, QPlainTextEdit *textBox) {
  Guard([&] { SaveTextBoxFile(this, word, fileBox, textBox); });
}
