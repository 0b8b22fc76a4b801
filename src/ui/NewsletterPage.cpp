#include "ui/NewsletterPage.h"

TNewsletterPage::TNewsletterPage(QWidget *parent) : QWidget(parent) { setObjectName("ts_Newsletter"); }
