#pragma once
// Spelling and synonyms from the system's Hunspell and MyThes dictionaries, with a user
// dictionary of the user's own words in the data directory.
#include <QString>
#include <QStringList>
#include <memory>
#include <set>

class Hunspell;
class MyThes;

struct TWordSpan {
  int start = -1;
  int length = 0;
  bool IsValid() const { return start >= 0; }
};

// The next word at or after `from`: letters, digits inside words and inner apostrophes.
// Words with digits (like "mp3") or field codes ("%Name%") are skipped, as nobody wants
// them flagged.
TWordSpan NextWord(const QString &text, int from);

class TSpellChecker {
public:
  // Looks for "en_US" in the system folders; `userDictionary` holds one word per line.
  explicit TSpellChecker(const QString &userDictionary, const QString &language = "en_US");
  ~TSpellChecker();

  bool IsReady() const { return speller_ != nullptr; }
  bool IsCorrect(const QString &word) const;
  QStringList Suggestions(const QString &word) const;
  // Adds the word to the user dictionary file and to this session.
  void AddToUserDictionary(const QString &word);
  void IgnoreAll(const QString &word) { ignored_.insert(word); }

private:
  std::unique_ptr<Hunspell> speller_;
  QString userDictionary_;
  std::set<QString> ignored_;
};

struct TMeaning {
  QString definition;
  QStringList synonyms;
};

class TThesaurus {
public:
  explicit TThesaurus(const QString &language = "en_US");
  ~TThesaurus();
  bool IsReady() const { return thes_ != nullptr; }
  QList<TMeaning> Lookup(const QString &word) const;

private:
  std::unique_ptr<MyThes> thes_;
};
