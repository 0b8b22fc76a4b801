#pragma once
// Showing a stored message: decoded through TMimeDecode into a neutral result (the text
// of the message view in styled runs, the HTML file, the attachment files) that the
// window then shows. Attachment and HTML files are written anew every time.
#include "mail/MessageGrid.h"

#include <stdexcept>
#include <string>
#include <vector>

enum class THeaderForm { hfNormal, hfAll };

// A run of the message view's text; line ends are CR LF.
struct TViewSpan {
  std::string Text;
  bool Bold = false;
  bool Header = false;  // header text, which may hold RFC 2047 encoded words
  std::string Charset;  // the charset of a text part's bytes (empty: Windows-1252)
};

struct TViewAttachment {
  std::string Caption;  // the file's name in the folder
  std::string Path;
  int Category = 7;  // AttachmentCategory
};

struct TViewedMessage {
  std::vector<TViewSpan> Spans;
  // A file shown as it is (the Sent folder's copies): rich text or plain text.
  bool AsIs = false;
  bool RichText = false;
  std::string Content;
  bool ShowAttachments = false;  // a multipart/mixed message, or one that carried files
  std::string HtmlFile;          // the HTML part, written beside the message file
  std::vector<TViewAttachment> Attachments;
  std::vector<std::string> PartFiles;  // names of the attachment files written

  // The whole text of the view.
  std::string Text() const;
};

class EMessageNotAvailable : public std::runtime_error {
public:
  EMessageNotAvailable() : std::runtime_error("Message not available.") {}
};

// Decodes a message file. Attachments are written into `folderDir`: a name that another
// message's file already holds gets a free name instead, a name among `ownFiles` (the
// files this message wrote before) is overwritten. Throws when the file cannot be read
// or a file cannot be written.
TViewedMessage ViewMessageFile(const std::string &messageFile, const std::string &folderDir, THeaderForm form,
                               const std::vector<std::string> &ownFiles);

// Shows a row of a folder: Sent copies and rich-text files as they are, other messages
// decoded. Marks an Inbox message viewed and remembers the files it wrote, in one save.
// Throws EMessageNotAvailable for a row without a file or a file that cannot be shown.
TViewedMessage ViewFolderMessage(const std::string &listPath, TMailFolder folder, const TMessageRow &row,
                                 THeaderForm form);
