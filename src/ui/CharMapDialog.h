#pragma once
#include <QDialog>
#include <QTableWidget>

class QFontComboBox;
class QPushButton;

// The character grid: the 224 printable codes of the 8-bit character set, 32 to 255.
class TCharMap : public QTableWidget {
  Q_OBJECT
public:
  explicit TCharMap(QWidget *parent = nullptr);
  // The selected character, empty when none.
  QString SelectedChar() const;
  void SelectCode(int code);
  void SetCharFont(const QFont &font);
};

// "Character Map": picks a character of a font for Insert > Symbol.
class Tfrm_CharMap : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_CharMap(QWidget *parent = nullptr);
  QFontComboBox *fcb_Font;
  TCharMap *cm_Char;
  QPushButton *btn_Copy, *btn_Cancel;
};

// Insert > Symbol: the dialog opens on `fontName`; the chosen character replaces the
// selection of the text box that had the focus.
void Symbol1Click(QWidget *parent, const QString &fontName);
