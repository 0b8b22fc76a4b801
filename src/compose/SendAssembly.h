#pragma once
// The messages of a mailing run with codes merged per recipient: the newsletter is converted
// once and only each recipient's values are merged into it, instead of a whole assembly (and
// a work file) for every recipient.
#include "compose/AssembleMessage.h"

#include <memory>

class TSendAssembly {
public:
  // What AssembleMessage(input, true, mergeCodes, converter) gives, byte for byte, with the
  // same errors. The first assembly of a newsletter is a whole one (the work file written);
  // the body prepared with it serves the next ones while body, subject, background and
  // "send as HTML" stay the same. The converter must convert as that of the first one did.
  TDigest Assemble(const TAssemblyInput &input, bool mergeCodes, THtmlConverter *converter);
  // Forgets the prepared body, e.g. after the converter's settings changed.
  void Clear() { prepared_.reset(); }
  // Whether the last assembly merged into the prepared body.
  bool LastReused() const { return reused_; }

private:
  bool SameNewsletter(const TAssemblyInput &input) const;

  struct TPrepared {
    // The newsletter the body was prepared from.
    std::string BodyRtf, Subject;
    std::vector<std::string> BodyLines;
    uint32_t Background = 0;
    bool SendHtml = false;
    TPreparedBody Body;
  };
  std::unique_ptr<TPrepared> prepared_;
  bool reused_ = false;
};
