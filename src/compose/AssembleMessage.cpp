#include "compose/AssembleMessage.h"

#include <QFile>

#include <algorithm>

#include <cstdio>

#include "compose/Scrooge.h"
#include "compose/TextSearch.h"
#include "storage/Ansi.h"
#include "storage/FileErrors.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

namespace {
const char *const kWorkFile = "temp.dat";
const char *const kPreviewFile = "temp.html";

// The work files are scratch copies rewritten at every assembly (once per recipient while
// mailing), so they are overwritten in place without the cost of a crash-safe save. They
// hold a recipient's merged data, so nobody else may read them.
void WriteWorkFile(const std::string &path, const std::string &bytes) { WritePrivateFile(path, bytes); }

std::vector<std::string> TextLines(const std::string &text) { return SplitLines(text); }

void Append(std::vector<std::string> &to, const std::vector<std::string> &lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

// The lines that go before the body: the header, then one empty line.
std::vector<std::string> HeaderLines(const TDigestTexts &texts) {
  std::vector<std::string> lines;
  if (texts.IncludeHeader) {
    lines = TextLines(texts.Header);
    lines.emplace_back();
  }
  return lines;
}

// The lines after the body: two empty lines, the signature and an empty line, the footer.
std::vector<std::string> TrailerLines(const TDigestTexts &texts) {
  std::vector<std::string> lines(2);
  if (texts.IncludeSig) {
    Append(lines, TextLines(texts.Signature));
    lines.emplace_back();
  }
  if (texts.IncludeFooter) Append(lines, TextLines(texts.Footer));
  return lines;
}

std::vector<std::string> BodyOptions(uint32_t background) { return {"BGCOLOR=" + HtmlColor(background)}; }

// A value holding its own code would make the HTML merge replace forever.
void CheckRecursion(const std::vector<std::string> &replacements) {
  std::string code, value;
  for (const auto &line : replacements) {
    SplitReplacement(line, code, value);
    if (!code.empty() && value.find(code) != std::string::npos) throw ERecursiveFieldCode(code);
  }
}

std::string RtfEscape(const std::string &text) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '\\' || ch == '{' || ch == '}') {
      out += '\\';
      out += ch;
    } else if (ch == '\t') {
      out += "\\tab ";
    } else if (c >= 0x80 || c < 0x20) {
      out += "\\'";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A group that holds no body text: font, colour or style tables, document information and
// the "\*" destinations.
bool IsTableGroup(const std::string &rtf, size_t brace) {
  static const char *const words[] = {"\\*", "\\fonttbl", "\\colortbl", "\\stylesheet", "\\info", "\\listtable",
                                      "\\listoverridetable", "\\generator"};
  for (const char *w : words)
    if (rtf.compare(brace + 1, std::char_traits<char>::length(w), w) == 0) return true;
  return false;
}

size_t SkipGroup(const std::string &rtf, size_t brace) {
  int depth = 0;
  for (size_t i = brace; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;  // the escaped character never opens or closes a group
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}' && --depth == 0) {
      return i + 1;
    }
  }
  return rtf.size();
}

// Where body text may be put in front of the body: after the last table group that stands
// before any text of the document.
size_t BodyStart(const std::string &rtf) {
  size_t i = rtf.compare(0, 6, "{\\rtf1") == 0 ? 6 : (rtf.empty() ? 0 : 1);
  size_t at = i;
  while (i < rtf.size()) {
    const char c = rtf[i];
    if (c == '{') {
      if (!IsTableGroup(rtf, i)) break;
      i = SkipGroup(rtf, i);
      at = i;
    } else if (c == '\\' && i + 1 < rtf.size() && IsLetter(rtf[i + 1])) {
      ++i;
      while (i < rtf.size() && (IsLetter(rtf[i]) || rtf[i] == '-' || (rtf[i] >= '0' && rtf[i] <= '9'))) ++i;
      if (i < rtf.size() && rtf[i] == ' ') ++i;
    } else if (c == '\r' || c == '\n') {
      ++i;
    } else {
      break;
    }
  }
  return at;
}
}  // namespace

ERecursiveFieldCode::ERecursiveFieldCode(const std::string &code)
    : std::runtime_error("The value of the field code " + code +
                         " contains the code itself, so it cannot be merged into an HTML message." +
                         "\r\nThe message was not sent. Change the value, or send the message as plain text."),
      code_(code) {}

std::string ERecursiveFieldCode::StatusText() const { return "Field code " + code_ + " holds itself"; }

std::string TScroogeConverter::ConvertToHtml(const std::string &rtf, const std::string &title,
                                             const std::vector<std::string> &bodyOptions,
                                             const std::vector<std::string> *replaceStrings) {
  scrooge_.BodyOptions = bodyOptions;
  scrooge_.Title = title;
  if (replaceStrings) {
    scrooge_.ReplaceStrings = *replaceStrings;
    scrooge_.Options.Include(soReplaceStrings);
  } else {
    scrooge_.Options.Exclude(soReplaceStrings);
  }
  std::string html;
  scrooge_.ConvertRTF(rtf, html);
  return html;
}

bool TScroogeConverter::ConvertToParts(const std::string &rtf, const std::string &title,
                                       const std::vector<std::string> &bodyOptions, THtmlPageParts &parts) {
  scrooge_.BodyOptions = bodyOptions;
  scrooge_.Title = title;
  TScrooge::TPageParts page = scrooge_.ConvertParts(rtf);
  parts.Head = std::move(page.Head);
  parts.Body = std::move(page.Body);
  parts.Tail = std::move(page.Tail);
  return true;
}

std::string TScroogeConverter::MergeParts(const THtmlPageParts &parts, const std::vector<std::string> &replaceStrings) {
  std::string body = parts.Body;
  scrooge_.MergeReplaceStrings(replaceStrings, body);
  std::string page;
  page.reserve(parts.Head.size() + body.size() + parts.Tail.size());
  page.append(parts.Head).append(body).append(parts.Tail);
  return page;
}

std::string THtmlConverter::MergeParts(const THtmlPageParts &, const std::vector<std::string> &) {
  throw std::logic_error("a merge into pages this converter cannot cut");
}

std::string HtmlColor(uint32_t color) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return buf;
}

std::string MergeFieldCodes(const std::string &text, const std::vector<std::string> &replacements) {
  TStringSearchTarget target(text);
  std::string code, value;
  for (const auto &line : replacements) {
    SplitReplacement(line, code, value);
    target.SetSelection(0, 0);
    ReplaceAll(target, code, value, true, false, false, false);
  }
  return target.TakeText();
}

std::string InsertRtfLines(const std::string &rtf, const std::vector<std::string> &before,
                           const std::vector<std::string> &after) {
  std::string head;
  if (!before.empty()) {
    head = "\\pard\\plain ";
    for (const auto &line : before) head += RtfEscape(line) + "\\par\r\n";
  }
  std::string tail;
  if (!after.empty()) {
    tail = "\\pard\\plain ";
    for (const auto &line : after) tail += RtfEscape(line) + "\\par\r\n";
  }
  const size_t start = BodyStart(rtf);
  size_t end = rtf.rfind('}');
  if (end == std::string::npos || end < start) end = rtf.size();
  std::string out;
  out.reserve(rtf.size() + head.size() + tail.size());
  out.append(rtf, 0, start).append(head).append(rtf, start, end - start).append(tail).append(rtf, end);
  return out;
}

void RemoveWorkFile(const std::string &dataDir) { QFile::remove(AnsiToQString(dataDir + kWorkFile)); }

namespace {
// The body editor's lines as one text, as the plain-text merge works on it.
std::string JoinedBody(const std::vector<std::string> &lines) {
  std::string text;
  size_t size = 0;
  for (const std::string &line : lines) size += line.size() + 2;
  text.reserve(size);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

// The body's plain lines with the codes merged into `joined`, the body as one text.
std::vector<std::string> MergedPlainBody(const TAssemblyInput &in, const std::string &joined,
                                         const std::vector<std::string> &replacements) {
  std::vector<std::string> lines = SplitLines(MergeFieldCodes(joined, replacements));
  // A final empty line is kept as a line of its own.
  if (!in.BodyLines.empty() && in.BodyLines.back().empty()) lines.emplace_back();
  return lines;
}

// The lines that go before and after the body.
struct TFrameLines {
  std::vector<std::string> Before, After;
};

TFrameLines FrameLines(const TAssemblyInput &in, bool ForSend) {
  const bool general = !in.ListChosen || (ForSend && in.UseGeneralProperties);
  const TDigestTexts &texts = general ? in.GeneralTexts : in.ListTexts;
  TFrameLines frame;
  if (!ForSend) {
    // A subject of several lines shows them all before the two empty lines.
    frame.Before = SplitLines("Subject:  " + in.Subject);
    frame.Before.resize(frame.Before.size() + 2);
  }
  Append(frame.Before, HeaderLines(texts));
  frame.After = TrailerLines(texts);
  return frame;
}

// The header, signature and footer around the body: the digest's lines, and for an HTML
// send the lines of its plain-text alternative around `textBody`.
void Frame(const TAssemblyInput &in, bool ForSend, const TFrameLines &frame, std::vector<std::string> &&body,
           std::vector<std::string> &&textBody, TDigest &digest) {
  const std::vector<std::string> &before = frame.Before, &after = frame.After;
  // The body's lines are moved, not copied: a run assembles one message per recipient.
  const auto move = [](std::vector<std::string>::iterator i) { return std::make_move_iterator(i); };

  digest.Lines.reserve(before.size() + body.size() + after.size());
  // In an HTML page the header, signature and footer go inside its body: text outside the
  // page is invalid, and spam filters hold it against the message.
  const auto bodyTag = [&](const char *tag) {
    return std::find_if(body.begin(), body.end(), [tag](const std::string &l) { return StartsText(tag, l); });
  };
  const auto open = ForSend && in.SendHtml ? bodyTag("<BODY") : body.end();
  const auto close = ForSend && in.SendHtml ? bodyTag("</BODY>") : body.end();
  if (open != body.end() && close != body.end() && open < close) {
    digest.Lines.insert(digest.Lines.end(), move(body.begin()), move(open + 1));
    Append(digest.Lines, before);
    digest.Lines.insert(digest.Lines.end(), move(open + 1), move(close));
    Append(digest.Lines, after);
    digest.Lines.insert(digest.Lines.end(), move(close), move(body.end()));
  } else {
    Append(digest.Lines, before);
    digest.Lines.insert(digest.Lines.end(), move(body.begin()), move(body.end()));
    Append(digest.Lines, after);
  }
  if (ForSend && in.SendHtml) {
    digest.TextLines.reserve(before.size() + textBody.size() + after.size());
    Append(digest.TextLines, before);
    digest.TextLines.insert(digest.TextLines.end(), move(textBody.begin()), move(textBody.end()));
    Append(digest.TextLines, after);
  }
}
}  // namespace

TDigest AssembleMessage(const TAssemblyInput &in, bool ForSend, bool MergeCodes, THtmlConverter *converter) {
  TDigest digest;
  const std::string workFile = in.DataDir + kWorkFile;

  // The body editor's lines in plain text, field codes merged when asked.
  auto plainBody = [&]() -> std::vector<std::string> {
    if (!MergeCodes) return in.BodyLines;
    return MergedPlainBody(in, JoinedBody(in.BodyLines), BuildReplacementList(in.Recipient, in.List, in.Personal));
  };

  std::vector<std::string> body, textBody;
  if (ForSend && in.SendHtml) {
    if (!converter) throw std::logic_error("HTML assembly without a converter");
    digest.ContentType = TDigestContent::dcHTML;
    std::vector<std::string> replacements;
    if (MergeCodes) {
      replacements = BuildReplacementList(in.Recipient, in.List, in.Personal);
      CheckRecursion(replacements);
    }
    const std::string html =
        converter->ConvertToHtml(in.BodyRtf, in.Subject, BodyOptions(in.Background), MergeCodes ? &replacements : nullptr);
    WriteWorkFile(workFile, html);
    body = SplitLines(html);
    textBody = plainBody();
  } else if (ForSend) {
    digest.ContentType = TDigestContent::dcPlainText;
    body = plainBody();
  } else {
    WriteWorkFile(workFile, in.BodyRtf);
    body = in.BodyLines;
  }
  const TFrameLines frame = FrameLines(in, ForSend);
  Frame(in, ForSend, frame, std::move(body), std::move(textBody), digest);

  if (!ForSend) {
    digest.Rtf = InsertRtfLines(in.BodyRtf, frame.Before, frame.After);
    if (converter) {
      const std::string html = converter->ConvertToHtml(digest.Rtf, in.Subject, BodyOptions(in.Background), nullptr);
      digest.HtmlFile = in.DataDir + kPreviewFile;
      WriteWorkFile(digest.HtmlFile, html);
    }
  }
  return digest;
}

bool PrepareBody(const TAssemblyInput &in, THtmlConverter *converter, TPreparedBody &prepared) {
  prepared = TPreparedBody{};
  prepared.Text = JoinedBody(in.BodyLines);
  if (!in.SendHtml) return true;
  if (!converter) throw std::logic_error("HTML assembly without a converter");
  prepared.Html = true;
  return converter->ConvertToParts(in.BodyRtf, in.Subject, BodyOptions(in.Background), prepared.Page);
}

TDigest AssembleMerged(const TAssemblyInput &in, const TPreparedBody &prepared, THtmlConverter *converter) {
  TDigest digest;
  const std::vector<std::string> replacements = BuildReplacementList(in.Recipient, in.List, in.Personal);
  std::vector<std::string> body, textBody;
  if (prepared.Html) {
    if (!converter) throw std::logic_error("HTML assembly without a converter");
    digest.ContentType = TDigestContent::dcHTML;
    CheckRecursion(replacements);
    body = SplitLines(converter->MergeParts(prepared.Page, replacements));
    textBody = MergedPlainBody(in, prepared.Text, replacements);
  } else {
    digest.ContentType = TDigestContent::dcPlainText;
    body = MergedPlainBody(in, prepared.Text, replacements);
  }
  Frame(in, true, FrameLines(in, true), std::move(body), std::move(textBody), digest);
  return digest;
}
