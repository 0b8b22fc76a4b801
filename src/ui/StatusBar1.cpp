#include "ui/StatusBar1.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

namespace {
QLabel *Panel(QWidget *parent, const QString &text, int width, const QString &hint) {
  auto *label = new QLabel(text, parent);
  // The design widths suit the small default font; a larger font must not clip the text.
  label->setFixedWidth(std::max(width, label->fontMetrics().horizontalAdvance(text) + 8));
  label->setFrameShape(QFrame::StyledPanel);
  label->setFrameShadow(QFrame::Sunken);
  label->setToolTip(hint);
  return label;
}
}  // namespace

TStatusBar1::TStatusBar1(QWidget *parent) : QStatusBar(parent) {
  setObjectName("StatusBar1");
  setSizeGripEnabled(true);
  addWidget(Panel(this, "Status:", 38, QString()));
  status_ = Panel(this, QString(), 225, "Brevant status");
  status_->setObjectName("StatusPanel1");
  addWidget(status_);
  protocol_ = Panel(this, QString(), 200, "SMTP or POP dialog");
  protocol_->setObjectName("StatusPanel2");
  addWidget(protocol_);
  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("Gauge");
  gauge_->setFixedWidth(50);
  gauge_->setAlignment(Qt::AlignCenter);
  gauge_->setToolTip("Progress");
  gauge_->setRange(0, 100);
  gauge_->setValue(0);
  gauge_->setTextVisible(false);
  addWidget(gauge_);
}

QString TStatusBar1::StatusText() const { return status_->text(); }
QString TStatusBar1::ProtocolText() const { return protocol_->text(); }

void TStatusBar1::SetStatus(const QString &text) { status_->setText(text); }
void TStatusBar1::SetProtocolLine(const QString &text) { protocol_->setText(text); }

void TStatusBar1::SetProgress(int position, int maximum) {
  gauge_->setRange(0, maximum > 0 ? maximum : 100);
  gauge_->setValue(maximum > 0 ? position : 0);
}
