#pragma once
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

// "Insert HTML": builds a hyperlink, image or mailto tag that the newsletter takes as text.
class Tfrm_HTML : public QDialog {
  Q_OBJECT
public:
  enum TInsertKind { ikHyperlink = 1, ikImage = 2, ikMailto = 3 };

  explicit Tfrm_HTML(QWidget *parent = nullptr);
  void SetInsertKind(int kind);
  int InsertKind() const { return kind_; }
  // The tag built from the fields of the current kind.
  QString HtmlText() const;
  // The file name (without its folder) that the "..." button puts into the source field.
  void ChoosePicture(const QString &path);

  QLabel *ttl_HTML;
  QStackedWidget *pnl_Kinds;
  QLineEdit *edt_Href, *edt_Desc, *edt_Source, *edt_Alt, *edt_Email, *edt_EmailDesc;
  QPushButton *btn_Browse, *btn_Insert, *btn_Cancel;
  QComboBox *cb_Align;
  QSpinBox *se_Border;

public slots:
  void btn_BrowseClick();

protected:
  void showEvent(QShowEvent *event) override;

private:
  int kind_ = ikHyperlink;
};

// Insert > HTML > Hyperlink, Image or Mailto: asks for the tag and puts it in place of the
// body editor's selection.
class QTextEdit;
void InsertHtmlClick(QWidget *parent, QTextEdit *body, int kind);
