#include "cli/Newsletter.h"

#include "compose/Document.h"
#include "compose/RtfWriter.h"
#include "mail/FieldSources.h"
#include "storage/FileErrors.h"
#include "storage/TextFile.h"

TNewsletterFile ReadNewsletterFile(const std::string &fileName) {
  if (!FileExists(fileName)) throw EFOpenError(fileName);
  TDocumentState state;
  TReadResult read = ReadDocument(state, fileName);
  TNewsletterFile n;
  if (read.IsRichText) {
    n.Body = std::move(read.Body);
  } else {
    for (const std::string &line : SplitLines(read.PlainText)) {
      TRichParagraph paragraph;
      paragraph.Runs.push_back(TRichRun{line});
      n.Body.Paragraphs.push_back(std::move(paragraph));
    }
  }
  n.Subject = read.Subject;
  // System colours belong to a screen; a file sent from here takes them as white.
  if (read.HasBackground && (read.Background & 0xFF000000u) == 0) n.Background = read.Background;
  return n;
}

std::vector<std::string> NewsletterLines(const TRichDocument &body) {
  std::vector<std::string> lines;
  for (const TRichParagraph &paragraph : body.Paragraphs) {
    std::string line;
    for (char c : paragraph.Text()) {
      if (c == '\v') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += c;
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string ListTextFile(const std::string &fileName) {
  if (fileName.empty() || !FileExists(fileName)) return {};
  const std::string bytes = ReadFileBytes(fileName);
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      text += "\r\n";
    } else {
      text += bytes[i];
    }
  }
  return text;
}

TAssemblyInput NewsletterAssemblyInput(const TNewsletterFile &newsletter, const std::string &name,
                                       const TListRecord &list, const TGeneralSettings &settings,
                                       const std::string &workDir) {
  TAssemblyInput in;
  in.BodyRtf = WriteRtf(newsletter.Body);
  in.BodyLines = NewsletterLines(newsletter.Body);
  in.Subject = newsletter.Subject;
  in.Background = newsletter.Background;
  in.SendHtml = list.SendHTML;
  in.ListChosen = true;
  in.GeneralTexts = {settings.IncludeHeader, settings.HeaderText, settings.IncludeSig,
                     settings.SignatureText, settings.IncludeFooter, settings.FooterText};
  in.ListTexts = {list.IncludeHeader, ListTextFile(list.HeaderFile), list.IncludeSig,
                  ListTextFile(list.SigFile),   list.IncludeFooter, ListTextFile(list.FooterFile)};
  in.List = ListFieldsOf(name, list);
  in.Personal = PersonalOf(settings);
  in.DataDir = workDir;
  return in;
}
