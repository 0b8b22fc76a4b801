#pragma once
// What a send from the command line assembles: the newsletter file and the stored settings
// of the list and of the program, in the form the message assembly takes from the window.
#include "compose/AssembleMessage.h"
#include "compose/RichText.h"
#include "lists/ListRecord.h"
#include "storage/GeneralSettings.h"

#include <string>
#include <vector>

struct TNewsletterFile {
  TRichDocument Body;
  std::string Subject;
  uint32_t Background = 0x00FFFFFF;  // 0x00BBGGRR
};

// Reads a ".bvd" document, or any rich-text or plain-text file as its body (the subject is
// then empty). Throws EFOpenError when it cannot be read.
TNewsletterFile ReadNewsletterFile(const std::string &fileName);

// The body's lines as sent: one per paragraph, a line break inside a paragraph starting a
// new line. Without an editor there is no width to wrap at.
std::vector<std::string> NewsletterLines(const TRichDocument &body);

// A list's header, signature or footer text from its file (empty when it names none or
// the file is gone), with CR LF line ends.
std::string ListTextFile(const std::string &fileName);

// The assembly input for the list `name`, before a recipient is chosen.
TAssemblyInput NewsletterAssemblyInput(const TNewsletterFile &newsletter, const std::string &name,
                                       const TListRecord &list, const TGeneralSettings &settings,
                                       const std::string &workDir);
