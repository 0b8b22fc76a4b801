#include "ui/MailListsPage.h"

TMailListsPage::TMailListsPage(QWidget *parent) : QWidget(parent) { setObjectName("ts_MailLists"); }
