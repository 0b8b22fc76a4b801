#include "ui/FormatBar.h"

#include <QAction>
#include <QColorDialog>
#include <QApplication>
#include <QComboBox>
#include <QFontDialog>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "storage/CustomColors.h"
#include "storage/DisplayValues.h"
#include "ui/InsertCommands.h"

namespace {
const char *const kBasicColors[] = {"clBlack", "clMaroon", "clGreen",  "clOlive",   "clNavy",   "clPurple",
                                    "clTeal",  "clGray",   "clSilver", "clRed",     "clLime",   "clYellow",
                                    "clBlue",  "clFuchsia", "clAqua",  "clWhite"};

QColor ToQColor(TColor value) {
  const uint32_t rgb = ColorToRGB(value).value_or(0);
  return QColor::fromRgb(rgb);
}

TColor FromQColor(const QColor &c) { return RGBToColor((c.red() << 16) | (c.green() << 8) | c.blue()); }

QString ColorName(const QTextCharFormat &f, const QColor &defaultText) {
  const QColor c = f.foreground().style() == Qt::NoBrush ? defaultText : f.foreground().color();
  const std::string text = ColorToText(FromQColor(c));
  return text.rfind("cl", 0) == 0 ? QString::fromStdString(text) : QString();
}

QIcon Swatch(const QColor &c) {
  QPixmap pixmap(16, 12);
  pixmap.fill(c);
  QPainter(&pixmap).drawRect(0, 0, 15, 11);
  return QIcon(pixmap);
}

// An action of the bar; its button is made where the action stands in the rows.
QAction *Button(QToolBar *bar, const char *name, const QString &text, const QString &hint, bool checkable) {
  auto *a = new QAction(text, bar);
  a->setObjectName(name);
  a->setToolTip(hint);
  a->setCheckable(checkable);
  return a;
}
}  // namespace

TSelectionFormat SelectionFormat(QTextEdit *editor) {
  const QColor text = editor->palette().color(QPalette::Text);
  const QTextCursor cursor = editor->textCursor();
  std::vector<QTextCharFormat> formats;
  if (!cursor.hasSelection()) {
    formats.push_back(cursor.charFormat());
  } else {
    const int from = cursor.selectionStart(), to = cursor.selectionEnd();
    for (QTextBlock b = editor->document()->findBlock(from); b.isValid() && b.position() < to; b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        if (frag.position() < to && frag.position() + frag.length() > from) formats.push_back(frag.charFormat());
      }
    if (formats.empty()) formats.push_back(cursor.charFormat());
  }
  TSelectionFormat s;
  // What a format leaves unset is the document's default font.
  const QFont base = editor->document()->defaultFont();
  const QTextCharFormat &first = formats.front();
  const QFont firstFont = first.font().resolve(base);
  s.FontName = firstFont.family();
  s.Size = static_cast<int>(firstFont.pointSizeF() + 0.5);
  s.ColorName = ColorName(first, text);
  s.Bold = s.Italic = s.Underline = true;
  for (const QTextCharFormat &f : formats) {
    const QFont font = f.font().resolve(base);
    if (font.family() != s.FontName) s.FontName.clear();
    if (static_cast<int>(font.pointSizeF() + 0.5) != s.Size) s.Size = 0;
    if (ColorName(f, text) != s.ColorName) s.ColorName.clear();
    s.Bold = s.Bold && font.bold();
    s.Italic = s.Italic && font.italic();
    s.Underline = s.Underline && font.underline();
  }
  return s;
}

TFormatBar::TFormatBar(QWidget *parent) : QToolBar(parent) {
  setObjectName("ToolBar1");
  // Two rows, so that every control is reachable at the window's smallest width: the
  // character format above, the paragraph and page commands below.
  auto *panel = new QWidget(this);
  auto *rows = new QVBoxLayout(panel);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(1);
  auto *top = new QHBoxLayout;
  auto *bottom = new QHBoxLayout;
  for (QHBoxLayout *row : {top, bottom}) {
    row->setSpacing(2);
    rows->addLayout(row);
  }
  auto button = [this, panel](QHBoxLayout *row, QAction *action) {
    auto *b = new QToolButton(panel);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    row->addWidget(b);
  };

  fcb_Font = new QFontComboBox(panel);
  fcb_Font->setObjectName("fcb_Font");
  fcb_Font->setToolTip("Font name");
  fcb_Font->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  fcb_Font->setMinimumContentsLength(12);
  top->addWidget(fcb_Font);
  cb_Size = new QComboBox(panel);
  cb_Size->setObjectName("cb_Size");
  cb_Size->setToolTip("Set font size");
  cb_Size->setEditable(true);
  for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72}) cb_Size->addItem(QString::number(size));
  top->addWidget(cb_Size);
  top->addSpacing(6);
  tbtn_Bold = Button(this, "tbtn_Bold", "B", "Set font style to Bold", true);
  tbtn_Italic = Button(this, "tbtn_Italic", "I", "Set font style to Italic", true);
  tbtn_Underline = Button(this, "tbtn_Underline", "U", "Set font style to Underline", true);
  // The usual keys of the styles, wherever the focus is in the body.
  const std::pair<QAction *, const char *> keys[] = {
      {tbtn_Bold, "Ctrl+B"}, {tbtn_Italic, "Ctrl+I"}, {tbtn_Underline, "Ctrl+U"}};
  for (auto [action, key] : keys) {
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    button(top, action);
  }
  QFont boldFont = font(), italicFont = font(), underlineFont = font();
  boldFont.setBold(true);
  italicFont.setItalic(true);
  underlineFont.setUnderline(true);
  tbtn_Bold->setFont(boldFont);
  tbtn_Italic->setFont(italicFont);
  tbtn_Underline->setFont(underlineFont);
  cb_Color = new QComboBox(panel);
  cb_Color->setObjectName("cb_Color");
  cb_Color->setToolTip("Set font color");
  // The swatch and the colour's plain name; the item's data is the name the files use.
  for (const char *name : kBasicColors) {
    TColor value = 0;
    TextToColor(name, &value);
    cb_Color->addItem(Swatch(ToQColor(value)), QString(name).mid(2), QString(name));
  }
  top->addWidget(cb_Color);
  top->addSpacing(6);
  tbtn_FieldCode = new QToolButton(panel);
  tbtn_FieldCode->setObjectName("tbtn_FieldCode");
  tbtn_FieldCode->setText("%");
  tbtn_FieldCode->setToolTip("Insert field code");
  pm_FieldCodes = CreateFieldCodeMenu(tbtn_FieldCode);
  tbtn_FieldCode->setMenu(pm_FieldCodes);
  tbtn_FieldCode->setPopupMode(QToolButton::InstantPopup);
  tbtn_FieldCode->setAutoRaise(true);
  top->addWidget(tbtn_FieldCode);
  top->addStretch(1);

  tbtn_Left = Button(this, "tbtn_Left", "Left", "Align left", true);
  tbtn_Center = Button(this, "tbtn_Center", "Center", "Align center", true);
  tbtn_Right = Button(this, "tbtn_Right", "Right", "Align right", true);
  tbtn_BG = Button(this, "tbtn_BG", "Background", "Change background color", false);
  tbtn_Preview = Button(this, "tbtn_Preview", "Preview", "Preview newsletter", false);
  for (QAction *a : {tbtn_Left, tbtn_Center, tbtn_Right}) button(bottom, a);
  bottom->addSpacing(6);
  for (QAction *a : {tbtn_BG, tbtn_Preview}) button(bottom, a);
  bottom->addStretch(1);
  addWidget(panel);

  connect(fcb_Font, &QComboBox::textActivated, this, &TFormatBar::FontNameChange);
  connect(cb_Size, &QComboBox::textActivated, this, &TFormatBar::SizeChange);
  for (QAction *a : {tbtn_Bold, tbtn_Italic, tbtn_Underline}) connect(a, &QAction::triggered, this, &TFormatBar::StyleClick);
  connect(cb_Color, &QComboBox::activated, this, &TFormatBar::ColorChange);
  // The tags of the alignment buttons: 0 left, 2 centre, 1 right.
  connect(tbtn_Left, &QAction::triggered, this, [this] { AlignClick(0); });
  connect(tbtn_Center, &QAction::triggered, this, [this] { AlignClick(2); });
  connect(tbtn_Right, &QAction::triggered, this, [this] { AlignClick(1); });
  connect(tbtn_BG, &QAction::triggered, this, &TFormatBar::tbtn_BGClick);
  connect(tbtn_Preview, &QAction::triggered, this, &TFormatBar::PreviewRequested);
}

void TFormatBar::SetEditor(QTextEdit *editor) {
  const QList<QAction *> styles{tbtn_Bold, tbtn_Italic, tbtn_Underline};
  if (editor_) {
    disconnect(editor_, nullptr, this, nullptr);
    for (QAction *a : styles) editor_->removeAction(a);
  }
  editor_ = editor;
  if (editor_) {
    editor_->addActions(styles);  // their keys work while the editor has the focus
    connect(editor_, &QTextEdit::selectionChanged, this, &TFormatBar::UpdateFormatBar);
    connect(editor_, &QTextEdit::cursorPositionChanged, this, &TFormatBar::UpdateFormatBar);
    connect(editor_, &QTextEdit::currentCharFormatChanged, this, &TFormatBar::UpdateFormatBar);
  }
  UpdateFormatBar();
}

void TFormatBar::UpdateFormatBar() {
  if (!editor_) return;
  const TSelectionFormat s = SelectionFormat(editor_);
  const QSignalBlocker b1(fcb_Font), b2(cb_Size), b3(cb_Color);
  // A face that is not installed is still named (Arial is the body's default).
  fcb_Font->setCurrentIndex(s.FontName.isEmpty() ? -1 : fcb_Font->findText(s.FontName));
  if (fcb_Font->currentIndex() < 0) fcb_Font->setEditText(s.FontName);
  const int size = s.Size > 0 ? cb_Size->findText(QString::number(s.Size)) : -1;
  cb_Size->setCurrentIndex(size);
  cb_Size->setEditText(s.Size > 0 ? QString::number(s.Size) : QString());
  cb_Color->setCurrentIndex(s.ColorName.isEmpty() ? -1 : cb_Color->findData(s.ColorName));
  tbtn_Bold->setChecked(s.Bold);
  tbtn_Italic->setChecked(s.Italic);
  tbtn_Underline->setChecked(s.Underline);
  const Qt::Alignment align = editor_->textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask;
  tbtn_Center->setChecked(align == Qt::AlignHCenter);
  tbtn_Right->setChecked(align == Qt::AlignRight);
  tbtn_Left->setChecked(!tbtn_Center->isChecked() && !tbtn_Right->isChecked());
}

void TFormatBar::Merge(const QTextCharFormat &format) {
  if (!editor_) return;
  editor_->mergeCurrentCharFormat(format);
  UpdateFormatBar();
}

void TFormatBar::FontNameChange(const QString &name) {
  QTextCharFormat f;
  f.setFontFamilies({name});
  Merge(f);
}

void TFormatBar::SizeChange(const QString &size) {
  bool ok = false;
  const double points = size.toDouble(&ok);
  if (!ok || points <= 0) return;
  QTextCharFormat f;
  f.setFontPointSize(points);
  Merge(f);
}

void TFormatBar::StyleClick() {
  // The three buttons together give the style: a released button takes its style away.
  QTextCharFormat f;
  f.setFontWeight(tbtn_Bold->isChecked() ? QFont::Bold : QFont::Normal);
  f.setFontItalic(tbtn_Italic->isChecked());
  f.setFontUnderline(tbtn_Underline->isChecked());
  Merge(f);
}

void TFormatBar::ColorChange(int index) {
  TColor value = 0;
  if (index < 0 || !TextToColor(cb_Color->itemData(index).toString().toStdString(), &value)) return;
  QTextCharFormat f;
  f.setForeground(ToQColor(value));
  Merge(f);
}

void TFormatBar::AlignClick(int tag) {
  if (!editor_) return;
  editor_->setAlignment(tag == 2 ? Qt::AlignHCenter : tag == 1 ? Qt::AlignRight : Qt::AlignLeft);
  UpdateFormatBar();
}

void TFormatBar::SetBackground(const QColor &color) {
  if (!editor_) return;
  QPalette p = editor_->palette();
  p.setColor(QPalette::Base, color);
  editor_->setPalette(p);
  emit BackgroundChanged(color);
}

void TFormatBar::tbtn_BGClick() {
  if (!editor_) return;
  TCustomColors custom{};
  for (int i = 0; i < QColorDialog::customCount(); ++i) custom[i] = FromQColor(QColorDialog::customColor(i));
  if (ReadCustomColors(dataDir_, &custom))  // a missing file keeps the dialog's own
    for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i) QColorDialog::setCustomColor(i, ToQColor(custom[i]));
  const QColor chosen = QColorDialog::getColor(editor_->palette().color(QPalette::Base), this);
  if (!chosen.isValid()) return;
  SetBackground(chosen);
  for (int i = 0; i < QColorDialog::customCount() && i < 16; ++i) custom[i] = FromQColor(QColorDialog::customColor(i));
  WriteCustomColors(dataDir_, custom);
}

void TFormatBar::Font1Click(QTextEdit *target) {
  if (!target) target = qobject_cast<QTextEdit *>(QApplication::focusWidget());
  if (!target || target->isReadOnly()) return;
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, target->currentFont(), this);
  if (!ok) return;
  QTextCharFormat f;
  f.setFont(font);
  target->mergeCurrentCharFormat(f);
  UpdateFormatBar();
}
