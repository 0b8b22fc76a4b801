#pragma once
// TScrooge turns the RTF stream of the newsletter editor into HTML of the period: one pass
// over the text, no document tree, formatting changes become tags where their control word
// stands.
#include "compose/RichText.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class EScroogeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum TScroogeOption {
  soUseColors,
  soUseDefaultFont,
  soUseTitle,
  soWrapHTML,
  soOptimize,
  soReplaceStrings,
  soProcessFontFace,
  soProcessFontSize,
  soMoreCompatible,
  soIPCompatible,
  soHyperlinks
};

// A set of options, bit N for option N.
class TScroogeOptions {
public:
  TScroogeOptions() = default;
  TScroogeOptions(std::initializer_list<TScroogeOption> list) {
    for (TScroogeOption o : list) Include(o);
  }
  bool Contains(TScroogeOption o) const { return (bits_ >> o) & 1u; }
  void Include(TScroogeOption o) { bits_ |= 1u << o; }
  void Exclude(TScroogeOption o) { bits_ &= ~(1u << o); }
  unsigned Bits() const { return bits_; }
  bool operator==(const TScroogeOptions &) const = default;

private:
  unsigned bits_ = 0;
};

class TScrooge;
using TGetFontNameEvent = std::function<void(TScrooge *Sender, std::string &Fontname)>;
using TGetFontSizeEvent = std::function<void(TScrooge *Sender, int RTFFontSize, int &HTMLFontSize)>;
using TProgressEvent = std::function<void(TScrooge *Sender, int Position, bool &Continue)>;
using TProcessMessagesEvent = std::function<void(TScrooge *Sender)>;

class TScrooge {
public:
  TScrooge();
  virtual ~TScrooge() = default;

  // Published properties.
  std::vector<std::string> BodyOptions;
  std::string DefaultFontName = "Arial,Helvetica";
  int DefaultFontSize = 10;
  bool FailIfFileExists = false;
  std::string MetaAuthor;
  std::string MetaContentType = "text/html;CHARSET=iso8859-1";
  std::string MetaDescription;
  std::string MetaGenerator;
  std::string MetaKeywords;
  TGetFontNameEvent OnGetFontName;
  TGetFontSizeEvent OnGetFontSize;
  TProgressEvent OnProgress;
  TScroogeOptions Options{soProcessFontFace, soProcessFontSize};
  std::vector<std::string> ReplaceStrings;
  std::string Title;
  std::vector<std::string> Headtags;
  std::string Version() const { return "Scrooge 1.50"; }

  // Lets the owner keep its window responsive during a long conversion; raised every few
  // thousand input characters, not after each one.
  TProcessMessagesEvent OnProcessMessages;
  static constexpr size_t ProcessMessagesInterval = 16384;

  // The converter as the main window configures it.
  void ConfigureForMainWindow();

  void ConvertRTF(const std::string &RTF, std::string &HTML);

  // A converted page cut where the merge works: the page is Head + Body + Tail, and the
  // ReplaceStrings are merged into Body only.
  struct TPageParts {
    std::string Head, Body, Tail;
  };
  // ConvertRTF without the merge, in parts; the Options' soReplaceStrings is not looked at.
  TPageParts ConvertParts(const std::string &RTF);
  // The merge of soReplaceStrings: each "name=value" line in order, the value being that of
  // the first line of the same name, all matches of the name replaced.
  void MergeReplaceStrings(const std::vector<std::string> &Replacements, std::string &Body);
  // The editor's content streamed as RTF, then converted.
  virtual void ConvertRichEdit(const TRichDocument &RichEdit, std::string &HTML);
  virtual bool ConvertRichEditToFile(const TRichDocument &RichEdit, const std::string &FileName);
  void ReplaceText(const std::string &Source, const std::string &Find, const std::string &Replace,
                   bool IgnoreCase, bool All, std::string &Result);

  virtual void GetFontName(int Index, std::string &Name);
  virtual int MapFontSize(int Points, bool &Small);
  virtual void CharToEntity(int Code, bool InList, std::string &Text);
  virtual void ProcessControlWord(const std::string &Word, std::string &Text);
  virtual void EncodeText(const std::string &Text, std::string &Result);

  // Milliseconds taken by the last conversion.
  double ElapsedTime() const { return elapsed_; }

private:
  // The body of the page, before the merge and the page around it.
  void ConvertBody(const std::string &RTF, std::string &HTML);
  // What goes before and after the body: the page's head and end, the default font.
  void PageFrame(std::string &Head, std::string &Tail);
  void Finished(std::chrono::steady_clock::time_point start);
  void Tokenize(const std::string &RTF, std::string &HTML);
  void RestoreTypedTags(std::string &Line) const;
  void SizeChange(const std::string &Number, std::string &Text);
  void FaceChange(const std::string &Number, std::string &Text);
  void ColorChange(const std::string &Number, std::string &Text);
  void ColorTableEntry(const std::string &Word, std::string &Text);
  void FinishFontTable();
  void IndentChange(int &Indent, const std::string &Number);
  std::string OpenIndent();

  // Style flags.
  bool bold_ = false, italic_ = false, underline_ = false, strike_ = false, inList_ = false;
  int alignment_ = 0;  // 0 none, 1 right, 2 centred
  // Paragraph indents in twips; a DIV carries them, opened at the paragraph's first text.
  int firstIndent_ = 0, leftIndent_ = 0, rightIndent_ = 0;
  bool indentPending_ = false, indentOpen_ = false;
  bool small_ = false;
  // Font table.
  std::vector<std::string> fonts_;
  bool collecting_ = false;
  int fontNumber_ = 0;
  int currentSize_ = 2;
  int lastSize_ = 2;
  std::string lastFace_;
  // Colour table.
  std::vector<std::string> colors_;
  int colorNumber_ = 0;
  int colorOffset_ = 0;
  bool plainSeen_ = false;
  // Progress.
  long long progressCounter_ = 0, progressStep_ = 0;
  int percent_ = 0;
  bool continue_ = true;
  double elapsed_ = 0;
};
