#include "ui/GenPropsDialog.h"
#include "ui/GenPropsHelpers.h"
#include "ui/NamedWidgets.h"

#include "storage/Filters.h"
#include "storage/ServerRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace genprops;

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
