#include "ui/EditorText.h"

#include <QTextEdit>
#include <QtTest>

class EditorTextTest : public QObject {
  Q_OBJECT

private slots:
  void linesFollowTheWrapOfTheBox() {
    QTextEdit editor;
    editor.setLineWrapMode(QTextEdit::WidgetWidth);
    editor.resize(220, 300);
    editor.show();
    const QString paragraph = QString("word ").repeated(40).trimmed();
    editor.setPlainText("Short\n\n" + paragraph);
    const std::vector<std::string> lines = LaidOutLines(&editor);
    QVERIFY(lines.size() > 4);
    QCOMPARE(lines[0], std::string("Short"));
    QCOMPARE(lines[1], std::string());
    std::string joined;
    for (size_t i = 2; i < lines.size(); ++i) {
      QVERIFY(!lines[i].empty());
      joined += lines[i];
    }
    QCOMPARE(QString::fromStdString(joined), paragraph);  // the wraps cut, nothing is lost
    // A wider box wraps less.
    editor.resize(600, 300);
    QVERIFY(LaidOutLines(&editor).size() < lines.size());
  }

  void backgroundIsTheColourOnScreen() {
    QTextEdit editor;
    QPalette p = editor.palette();
    p.setColor(QPalette::Base, QColor(0x11, 0x22, 0x33));
    editor.setPalette(p);
    QCOMPARE(BackgroundValue(&editor), uint32_t(0x00332211));
  }
};

QTEST_MAIN(EditorTextTest)
#include "EditorTextTest.moc"
