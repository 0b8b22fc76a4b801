#include "mail/LogStamp.h"

#include "storage/Ansi.h"

#include <QDateTime>
#include <QLocale>

std::string LogStampNow() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  return QStringToAnsi(locale.toString(now.date(), QLocale::ShortFormat) + " " +
                       locale.toString(now.time(), QLocale::LongFormat));
}
