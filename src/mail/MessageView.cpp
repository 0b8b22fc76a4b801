#include "mail/MessageView.h"

#include "mail/Attachments.h"
#include "net/MimeDec.h"
#include "net/MimeWords.h"
#include "storage/Ansi.h"
#include "storage/FileNames.h"
#include "storage/Strings.h"
#include "storage/TextFile.h"

#include <algorithm>
#include <fstream>
#include <memory>

namespace {
std::string DirOf(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string &path) { return path.substr(DirOf(path).size()); }

// "Content-Type: ..." and "Content-Disposition: ...": the text after the colon, when the
// line is a field of that name.
bool FieldRest(std::string_view line, std::string_view lowerName, std::string_view &rest) {
  if (line.size() <= lowerName.size() || line[lowerName.size()] != ':') return false;
  if (LowerCase(std::string(line.substr(0, lowerName.size()))) != lowerName) return false;
  rest = line.substr(lowerName.size() + 1);
  return true;
}

// What the header of the current part says about its file name.
struct TPartNaming {
  std::string TypeParams, DispParams, Disposition;
  void Clear() { *this = {}; }
  void Take(std::string_view line) {
    std::string_view rest;
    if (FieldRest(line, "content-type", rest)) {
      const size_t semi = rest.find(';');
      TypeParams = semi == std::string_view::npos ? std::string() : std::string(rest.substr(semi));
    } else if (FieldRest(line, "content-disposition", rest)) {
      const size_t semi = rest.find(';');
      Disposition = LowerCase(Trim(std::string(rest.substr(0, semi))));
      DispParams = semi == std::string_view::npos ? std::string() : std::string(rest.substr(semi));
    }
  }
};

class TViewer {
public:
  TViewer(const std::string &messageFile, const std::string &folderDir, THeaderForm form,
          const std::vector<std::string> &ownFiles)
      : FMessageFile(messageFile), FFolderDir(folderDir), FForm(form), FOwn(ownFiles) {
    Mime1.OnHeaderLine = [this](TMimeDecode *) { HeaderLine(); };
    Mime1.OnHeaderEnd = [this](TMimeDecode *) { HeaderEnd(); };
    Mime1.OnPartHeaderBegin = [this](TMimeDecode *) {
      FlushText();
      FShowLines = false;
      FPart.Clear();
    };
    Mime1.OnPartHeaderLine = [this](TMimeDecode *m) { FPart.Take(m->CurrentData()); };
    Mime1.OnPartHeaderEnd = [this](TMimeDecode *) { FShowLines = true; };
    Mime1.OnPartBegin = [this](TMimeDecode *) { PartBegin(); };
    Mime1.OnPartLine = [this](TMimeDecode *m, const char *data, size_t len) { PartLine(*m, data, len); };
    Mime1.OnPartEnd = [this](TMimeDecode *) { PartEnd(); };
  }

  TViewedMessage Run() {
    std::ifstream file(NativePath(FMessageFile), std::ios::binary);
    if (!file) throw EMessageNotAvailable();
    Mime1.DecodeStream(file);
    PartEnd();
    return std::move(FResult);
  }

private:
  void Add(std::string_view text, bool bold, bool header, const std::string &charset = std::string()) {
    auto &spans = FResult.Spans;
    if (spans.empty() || spans.back().Bold != bold || spans.back().Header != header || spans.back().Charset != charset)
      spans.push_back({std::string(), bold, header, charset});
    spans.back().Text += text;
  }

  void HeaderLine() {
    FMessage.Take(Mime1.CurrentData());
    // The first two lines of a stored message trace its fetching and are not shown.
    if (FForm == THeaderForm::hfAll && ++FHeaderLines > 2) {
      Add(Mime1.CurrentData(), false, true);
      Add("\r\n", false, false);
    }
  }

  void HeaderEnd() {
    if (FForm == THeaderForm::hfNormal) {
      auto field = [this](const char *label, const std::string &value) {
        Add(label, true, false);
        Add(value, false, true);
        Add("\r\n", false, false);
      };
      field("Subject:  ", Mime1.Subject());
      field("Date:  ", Mime1.Date());
      field("From:  ", Mime1.From());
      field("To:  ", Mime1.Dest());
      if (!Mime1.ReturnPath().empty()) field("Reply To:  ", Mime1.ReturnPath());
      if (!Mime1.ContentType().empty()) {
        field("Content-Type:  ", Mime1.ContentType());
        Add("\r\n", false, false);
      }
      Add("\r\n", false, false);
    } else {
      Add("\r\n\r\n", false, false);
    }
    FResult.ShowAttachments = Mime1.ContentType() == "multipart/mixed";
    FShowLines = true;
    if (Mime1.Boundary().empty()) FPart = FMessage;  // a single part: the header describes it
  }

  std::string AttachmentName() const {
    TCharsetText name = MimeParameter(FPart.DispParams, "filename");
    if (name.Bytes.empty()) {
      const std::string type = LowerCase(Mime1.PartContentType());
      // Older mailers name a file only in the type: take it unless the part is the text.
      const bool text = type.empty() || type == "text/plain" || type == "text/html";
      if (FPart.Disposition == "attachment" || !text) name = MimeParameter(FPart.TypeParams, "name");
    }
    if (name.Bytes.empty()) name.Bytes = Mime1.PartFileName();
    return CharsetToAnsi(name.Bytes, name.Charset);
  }

  void Open(const std::string &path) {
    FFile = std::make_unique<std::ofstream>();
    // Attachments run to megabytes: fewer, larger writes.
    FBuffer.resize(1 << 18);
    FFile->rdbuf()->pubsetbuf(FBuffer.data(), static_cast<std::streamsize>(FBuffer.size()));
    FFile->open(NativePath(path), std::ios::binary | std::ios::trunc);
    if (!*FFile) throw EMessageNotAvailable();
    Mime1.DestStream = FFile.get();
  }

  void PartBegin() {
    const std::string name = AttachmentName();
    const std::string type = LowerCase(Mime1.PartContentType());
    // Only text is shown in the view: the lines of pictures and other binary parts would be noise.
    FTextPart = type.empty() || type.rfind("text/", 0) == 0;
    if (!name.empty()) {
      FShowLines = false;
      std::string safe = SafeAttachmentName(name, static_cast<int>(FResult.Attachments.size()) + 1);
      std::string path = FFolderDir + safe;
      const bool ownedBefore = std::find(FOwn.begin(), FOwn.end(), safe) != FOwn.end();
      const bool writtenNow = std::find(FResult.PartFiles.begin(), FResult.PartFiles.end(), safe) !=
                              FResult.PartFiles.end();
      if (writtenNow || (!ownedBefore && FileExists(path))) path = MakeUniquePath(path);
      safe = BaseOf(path);
      Open(path);
      FResult.PartFiles.push_back(safe);
      FResult.Attachments.push_back({safe, path, AttachmentCategory(safe)});
      FResult.ShowAttachments = true;
    } else if (LowerCase(Mime1.PartContentType()).find("html") != std::string::npos ||
               LowerCase(Mime1.ContentType()).find("html") != std::string::npos) {
      // Named from the message file, never from anything the sender wrote.
      const std::string base = BaseOf(FMessageFile);
      FResult.HtmlFile = DirOf(FMessageFile) + base.substr(0, base.find('.')) + ".html";
      Open(FResult.HtmlFile);
    }
  }

  void PartLine(const TMimeDecode &m, const char *data, size_t len) {
    if (!FShowLines || !FTextPart) return;
    FPending += std::string_view(data, static_cast<size_t>(std::find(data, data + len, '\0') - data));
    // Decoded base64 bytes carry their own line ends; a soft line break joins two lines.
    if (m.PartLineEnds()) {
      FPending += "\r\n";
      FlushText();
    }
  }

  void FlushText() {
    if (FPending.empty()) return;
    Add(FPending, false, false, Mime1.PartCharset());
    FPending.clear();
  }

  void PartEnd() {
    if (!FPending.empty()) FPending += "\r\n";
    FlushText();
    if (FFile) {
      Mime1.DestStream = nullptr;
      FFile->close();
      const bool failed = FFile->fail();
      FFile.reset();
      if (failed) throw EMessageNotAvailable();
    }
  }

  TMimeDecode Mime1;
  std::string FMessageFile, FFolderDir;
  THeaderForm FForm;
  std::vector<std::string> FOwn;
  TViewedMessage FResult;
  TPartNaming FMessage, FPart;
  std::unique_ptr<std::ofstream> FFile;
  std::vector<char> FBuffer;
  std::string FPending;  // text of the current line not yet ended
  int FHeaderLines = 0;
  bool FShowLines = false;
  bool FTextPart = true;
};

bool IsRichText(const std::string &bytes) { return bytes.rfind("{\\rtf", 0) == 0; }
}  // namespace

std::string TViewedMessage::Text() const {
  if (AsIs) return Content;
  std::string text;
  for (const TViewSpan &span : Spans) text += span.Text;
  return text;
}

TViewedMessage ViewMessageFile(const std::string &messageFile, const std::string &folderDir, THeaderForm form,
                               const std::vector<std::string> &ownFiles) {
  return TViewer(messageFile, folderDir, form, ownFiles).Run();
}

TViewedMessage ViewFolderMessage(const std::string &listPath, TMailFolder folder, const TMessageRow &row,
                                 THeaderForm form) {
  if (row.Path.empty() || !FileExists(row.Path)) throw EMessageNotAvailable();
  // Sent copies, and such copies deleted into the Trash, are rich text shown as it is.
  std::string head(5, '\0');
  {
    std::ifstream file(NativePath(row.Path), std::ios::binary);
    if (!file) throw EMessageNotAvailable();
    file.read(head.data(), 5);
    head.resize(static_cast<size_t>(file.gcount()));
  }
  if (folder == TMailFolder::mfSent || IsRichText(head)) {
    TViewedMessage shown;
    shown.AsIs = true;
    try {
      shown.Content = ReadFileBytes(row.Path);
    } catch (const std::exception &) {
      throw EMessageNotAvailable();
    }
    shown.RichText = IsRichText(shown.Content);
    return shown;
  }
  TFolderIndex index(listPath, folder);
  const std::vector<std::string> own = index.PartFiles(row.Name);
  TViewedMessage shown;
  try {
    shown = ViewMessageFile(row.Path, MailFolderDir(listPath, folder), form, own);
  } catch (const std::exception &) {
    throw EMessageNotAvailable();
  }
  const bool markViewed = folder == TMailFolder::mfInbox && row.Status != "Viewed";
  if (!markViewed && shown.PartFiles == own) return shown;
  index.BeginUpdate();
  if (markViewed) index.SetViewed(row.Name, true);
  if (shown.PartFiles != own) index.SetPartFiles(row.Name, shown.PartFiles);
  index.EndUpdate();
  return shown;
}
