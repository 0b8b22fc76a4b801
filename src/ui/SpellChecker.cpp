#include "ui/SpellChecker.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <hunspell.hxx>
#include <mythes.hxx>

namespace {
const char *const kHunspellDir = "/usr/share/hunspell/";
const char *const kMythesDir = "/usr/share/mythes/";

bool IsWordChar(QChar c) { return c.isLetterOrNumber(); }
}  // namespace

TWordSpan NextWord(const QString &text, int from) {
  int i = std::max(from, 0);
  while (i < text.size()) {
    while (i < text.size() && !IsWordChar(text.at(i))) ++i;
    if (i >= text.size()) break;
    const int start = i;
    bool digits = false;
    while (i < text.size() &&
           (IsWordChar(text.at(i)) ||
            (text.at(i) == '\'' && i + 1 < text.size() && text.at(i + 1).isLetter() && i > start))) {
      digits = digits || text.at(i).isDigit();
      ++i;
    }
    const bool fieldCode = start > 0 && text.at(start - 1) == '%' && i < text.size() && text.at(i) == '%';
    if (!digits && !fieldCode) return {start, i - start};
  }
  return {};
}

TSpellChecker::TSpellChecker(const QString &userDictionary, const QString &language)
    : userDictionary_(userDictionary) {
  const QString aff = kHunspellDir + language + ".aff";
  const QString dic = kHunspellDir + language + ".dic";
  if (!QFileInfo::exists(aff) || !QFileInfo::exists(dic)) return;
  speller_ = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData());
  QFile words(userDictionary_);
  if (words.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&words);
    while (!in.atEnd()) {
      const QString word = in.readLine().trimmed();
      if (!word.isEmpty()) speller_->add(word.toStdString());
    }
  }
}

TSpellChecker::~TSpellChecker() = default;

bool TSpellChecker::IsCorrect(const QString &word) const {
  if (!speller_ || ignored_.count(word)) return true;
  return speller_->spell(word.toStdString());
}

QStringList TSpellChecker::Suggestions(const QString &word) const {
  QStringList out;
  if (speller_)
    for (const std::string &s : speller_->suggest(word.toStdString())) out << QString::fromStdString(s);
  return out;
}

void TSpellChecker::AddToUserDictionary(const QString &word) {
  if (speller_) speller_->add(word.toStdString());
  QFile words(userDictionary_);
  if (words.open(QIODevice::Append | QIODevice::Text)) words.write((word + "\n").toUtf8());
}

TThesaurus::TThesaurus(const QString &language) {
  const QString idx = QString(kMythesDir) + "th_" + language + "_v2.idx";
  const QString dat = QString(kMythesDir) + "th_" + language + "_v2.dat";
  if (!QFileInfo::exists(idx) || !QFileInfo::exists(dat)) return;
  thes_ = std::make_unique<MyThes>(QFile::encodeName(idx).constData(), QFile::encodeName(dat).constData());
}

TThesaurus::~TThesaurus() = default;

QList<TMeaning> TThesaurus::Lookup(const QString &word) const {
  QList<TMeaning> meanings;
  if (!thes_ || word.isEmpty()) return meanings;
  const QByteArray key = word.toLower().toUtf8();
  mentry *entries = nullptr;
  const int count = thes_->Lookup(key.constData(), static_cast<int>(key.size()), &entries);
  for (int i = 0; i < count; ++i) {
    TMeaning meaning;
    meaning.definition = QString::fromUtf8(entries[i].defn);
    for (int j = 0; j < entries[i].count; ++j) meaning.synonyms << QString::fromUtf8(entries[i].psyns[j]);
    meanings << meaning;
  }
  if (entries) thes_->CleanUpAfterLookup(&entries, count);
  return meanings;
}
