#include "ui/MailPage.h"

TMailPage::TMailPage(QWidget *parent) : QWidget(parent) { setObjectName("ts_NewMail"); }
