#include "ui/CharMapDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "storage/Ansi.h"
#include "ui/TextControl.h"

namespace {
constexpr int kFirstCode = 32;
constexpr int kColumns = 16;
constexpr int kRows = (256 - kFirstCode) / kColumns;
}  // namespace

TCharMap::TCharMap(QWidget *parent) : QTableWidget(kRows, kColumns, parent) {
  setObjectName("cm_Char");
  horizontalHeader()->hide();
  verticalHeader()->hide();
  setEditTriggers(NoEditTriggers);
  setSelectionMode(SingleSelection);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  for (int code = kFirstCode; code < 256; ++code) {
    auto *cell = new QTableWidgetItem(AnsiToQString(std::string(1, static_cast<char>(code))));
    cell->setTextAlignment(Qt::AlignCenter);
    cell->setData(Qt::UserRole, code);
    setItem((code - kFirstCode) / kColumns, (code - kFirstCode) % kColumns, cell);
  }
}

QString TCharMap::SelectedChar() const {
  const QTableWidgetItem *cell = currentItem();
  return cell && cell->isSelected() ? cell->text() : QString();
}

void TCharMap::SelectCode(int code) {
  if (code < kFirstCode || code > 255) return;
  setCurrentCell((code - kFirstCode) / kColumns, (code - kFirstCode) % kColumns);
}

void TCharMap::SetCharFont(const QFont &font) {
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) item(r, c)->setFont(font);
}

Tfrm_CharMap::Tfrm_CharMap(QWidget *parent) : QDialog(parent) {
  setObjectName("frm_CharMap");
  setWindowTitle("Character Map");
  fcb_Font = new QFontComboBox(this);
  fcb_Font->setObjectName("fcb_Font");
  cm_Char = new TCharMap(this);
  btn_Copy = new QPushButton("&Copy", this);
  btn_Copy->setObjectName("btn_Copy");
  btn_Copy->setToolTip("Copy selected to clipboard");
  btn_Copy->setDefault(true);
  btn_Cancel = new QPushButton("&Cancel", this);
  btn_Cancel->setObjectName("btn_Cancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn_Copy);
  buttons->addWidget(btn_Cancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(fcb_Font);
  layout->addWidget(cm_Char, 1);
  layout->addLayout(buttons);
  resize(480, 360);

  connect(fcb_Font, &QFontComboBox::currentFontChanged, cm_Char, &TCharMap::SetCharFont);
  connect(btn_Copy, &QPushButton::clicked, this, [this] {
    const QString ch = cm_Char->SelectedChar();
    if (!ch.isEmpty()) QApplication::clipboard()->setText(ch);
    accept();
  });
  connect(btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cm_Char, &QTableWidget::cellDoubleClicked, btn_Copy, &QPushButton::click);
}

void Symbol1Click(QWidget *parent, const QString &fontName) {
  QPointer<QWidget> target = QApplication::focusWidget();
  if (!TTextControl(target).IsValid()) return;
  Tfrm_CharMap dialog(parent);
  const int font = dialog.fcb_Font->findText(fontName);
  if (font >= 0) dialog.fcb_Font->setCurrentIndex(font);
  if (dialog.exec() != QDialog::Accepted || target.isNull()) return;
  const QString ch = dialog.cm_Char->SelectedChar();
  TTextControl control(target);
  if (!ch.isEmpty() && !target->property("readOnly").toBool()) control.ReplaceSelection(ch);
}
