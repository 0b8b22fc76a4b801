#include "ui/DigestPage.h"

TDigestPage::TDigestPage(QWidget *parent) : QWidget(parent) { setObjectName("ts_Digest"); }
