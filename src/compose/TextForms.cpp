#include "compose/TextForms.h"

#include "storage/Ansi.h"
#include "storage/Strings.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

namespace {

const QDate kDayZero(1899, 12, 30);

QString DateFormat(const QLocale &l) {
  QString f = l.dateFormat(QLocale::ShortFormat);
  // A two-digit year would read back in the wrong century.
  if (!f.contains("yyyy")) f.replace("yy", "yyyy");
  return f;
}

QString TimeFormat(const QLocale &l) {
  // Time-zone names do not read back reliably, and a stored time is local anyway.
  QString f = l.timeFormat(QLocale::LongFormat);
  f.remove(QRegularExpression("\\s*\\bt+\\b"));
  return f.trimmed();
}

}  // namespace

bool ReadColorText(const std::string &text, TColor &color) {
  const std::string t = Trim(text);
  if (TextToColor(t, &color)) return true;
  bool ok = false;
  const long long v = QString::fromLatin1(t).toLongLong(&ok, 10);
  if (!ok || t.empty() || v < INT32_MIN || v > UINT32_MAX) return false;
  color = static_cast<TColor>(static_cast<std::uint32_t>(v));
  return true;
}

TDateTime ToDateTime(const QDateTime &when) {
  return static_cast<double>(kDayZero.daysTo(when.date())) + when.time().msecsSinceStartOfDay() / 86400000.0;
}

TDateTime NowDateTime() { return ToDateTime(QDateTime::currentDateTime()); }

std::string DateTimeToText(TDateTime value) {
  if (!std::isfinite(value) || std::fabs(value) > 3e6) value = 0;
  const double days = std::floor(value);
  long long secs = std::llround((value - days) * 86400.0);
  QDate date = kDayZero.addDays(static_cast<qint64>(days));
  if (secs >= 86400) {
    secs -= 86400;
    date = date.addDays(1);
  }
  const QLocale l = QLocale::system();
  QString s = l.toString(date, DateFormat(l));
  if (secs != 0) s += " " + l.toString(QTime(0, 0).addSecs(static_cast<int>(secs)), TimeFormat(l));
  return QStringToAnsi(s);
}

bool TextToDateTime(const std::string &text, TDateTime &value) {
  const QLocale l = QLocale::system();
  const QString t = AnsiToQString(Trim(text));
  QDate date;
  QTime time(0, 0);
  const QDateTime dt = l.toDateTime(t, DateFormat(l) + " " + TimeFormat(l));
  if (dt.isValid()) {
    date = dt.date();
    time = dt.time();
  } else {
    date = l.toDate(t, DateFormat(l));
    if (!date.isValid()) return false;
  }
  value = static_cast<double>(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
  return true;
}
