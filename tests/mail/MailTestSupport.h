#pragma once
// Helpers shared by the mailing tests.
#include "compose/RtfReader.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <string>
#include <vector>

// The run waits in the event loop, which needs an application object.
inline void EnsureCoreApplication() {
  static int argc = 1;
  static char name[] = "test_mail";
  static char *argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

// The paragraphs of a filed Sent copy, read back from its rich text.
inline std::vector<std::string> ReadSentLines(const std::string &path) {
  std::vector<std::string> lines;
  for (const TRichParagraph &paragraph : ReadRtf(ReadAll(path)).Paragraphs) lines.push_back(paragraph.Text());
  return lines;
}
