#include "ui/ReceivedText.h"

#include "net/MimeWords.h"
#include "storage/Ansi.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

QString HeaderToQString(const std::string &header) {
  QString text;
  for (const TCharsetText &part : DecodeEncodedWords(header)) text += CharsetToQString(part.Bytes, part.Charset);
  return text;
}

namespace {
// A paper clip drawn with two loops, for desktops whose icon theme has none.
QIcon DrawnPaperClip() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 60, 60), 1.4));
  p.drawRoundedRect(QRectF(4.5, 1.5, 7, 13), 3.5, 3.5);
  p.drawLine(QPointF(8, 4), QPointF(8, 11.5));
  return QIcon(pixmap);
}
}  // namespace

QIcon AttachmentMarkIcon() {
  return QIcon::fromTheme("mail-attachment", DrawnPaperClip());
}

QIcon AttachmentIcon(int category) {
  const char *theme = "unknown";
  switch (category) {
    case 8: theme = "image-x-generic"; break;
    case 4: theme = "audio-x-generic"; break;
    case 6: theme = "video-x-generic"; break;
    case 5: theme = "package-x-generic"; break;
    case 2: theme = "text-html"; break;
    case 9: theme = "text-x-generic"; break;
    default: break;
  }
  return QIcon::fromTheme(theme, QApplication::style()->standardIcon(QStyle::SP_FileIcon));
}
