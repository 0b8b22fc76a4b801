#pragma once
#include <QToolBar>

class QAction;
class QComboBox;
class QFontComboBox;
class QMenu;
class QTextEdit;
class QToolButton;

// What a selection has in common, as the format bar shows it.
struct TSelectionFormat {
  QString FontName;   // empty when the selection mixes faces
  int Size = 0;       // points; 0 when mixed
  QString ColorName;  // "clRed"...; a colour without a name or a mix gives an empty text
  bool Bold = false, Italic = false, Underline = false;  // true when the whole selection has it
};
TSelectionFormat SelectionFormat(QTextEdit *editor);

// The formatting tool bar (ToolBar1) above the body editor: font, size, style, colour,
// field code, alignment, background and preview, acting on the bound editor's selection.
class TFormatBar : public QToolBar {
  Q_OBJECT
public:
  explicit TFormatBar(QWidget *parent = nullptr);
  // Binds the bar to the editor; the bar follows every change of its selection.
  void SetEditor(QTextEdit *editor);
  // The folder of "Colors.dat", for the background colour dialog's custom colours.
  void SetDataDir(const std::string &dataDir) { dataDir_ = dataDir; }

  QFontComboBox *fcb_Font;
  QComboBox *cb_Size, *cb_Color;
  QAction *tbtn_Bold, *tbtn_Italic, *tbtn_Underline, *tbtn_Left, *tbtn_Center, *tbtn_Right, *tbtn_BG,
      *tbtn_Preview;
  QToolButton *tbtn_FieldCode;
  QMenu *pm_FieldCodes;

public slots:
  void UpdateFormatBar();
  // The background colour command: the colour dialog with the custom colours of "Colors.dat".
  void tbtn_BGClick();
  // The popup's "&Font...": the font dialog on the selection of `target`, by default the
  // focused rich-text box.
  void Font1Click(QTextEdit *target = nullptr);
  // Sets the editor's background (not a modification of the text).
  void SetBackground(const QColor &color);

signals:
  // The Preview button: the owner shows the Digest page and rebuilds it.
  void PreviewRequested();
  void BackgroundChanged(const QColor &color);

private:
  void FontNameChange(const QString &name);
  void SizeChange(const QString &size);
  void StyleClick();
  void ColorChange(int index);
  void AlignClick(int tag);
  void Merge(const class QTextCharFormat &format);

  QTextEdit *editor_ = nullptr;
  std::string dataDir_;
};
