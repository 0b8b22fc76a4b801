#include "compose/SendAssembly.h"

bool TSendAssembly::SameNewsletter(const TAssemblyInput &in) const {
  const TPrepared &p = *prepared_;
  return in.SendHtml == p.SendHtml && in.Background == p.Background && in.Subject == p.Subject &&
         in.BodyRtf == p.BodyRtf && in.BodyLines == p.BodyLines;
}

TDigest TSendAssembly::Assemble(const TAssemblyInput &in, bool mergeCodes, THtmlConverter *converter) {
  reused_ = false;
  if (!mergeCodes) return AssembleMessage(in, true, false, converter);
  if (prepared_ && SameNewsletter(in)) {
    reused_ = true;
    return AssembleMerged(in, prepared_->Body, converter);
  }
  prepared_.reset();
  // The whole assembly first: it raises what a bad newsletter or value raises, and writes the
  // work file as every assembly used to.
  TDigest digest = AssembleMessage(in, true, true, converter);
  auto prepared = std::make_unique<TPrepared>();
  if (!PrepareBody(in, converter, prepared->Body)) return digest;
  prepared->BodyRtf = in.BodyRtf;
  prepared->Subject = in.Subject;
  prepared->BodyLines = in.BodyLines;
  prepared->Background = in.Background;
  prepared->SendHtml = in.SendHtml;
  prepared_ = std::move(prepared);
  return digest;
}
