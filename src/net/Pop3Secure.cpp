// TLS of a POP3 session: from the first byte, or STLS after the greeting and before any login.
#include "net/Pop3Prot.h"

void TCustomPop3Cli::ApplySecurity() {
  FWSocket->SslImplicit = Security == secSslTls;
  FWSocket->SslHostName = Host;
  FWSocket->SslTrustedFingerprint = TrustedFingerprint;
}

bool TCustomPop3Cli::NeedStls() const { return Security == secStartTls && !FWSocket->SslActive(); }

void TCustomPop3Cli::StlsAccepted() {
  FLines.Clear();  // nothing that came before TLS is read as if it came through it
  FWSocket->StartTls();
}

void TCustomPop3Cli::StlsRefused() {
  // No clear-text fallback once TLS was asked for: the session ends here.
  FNext = TNext::nxNone;
  FErrorCode = Pop3ErrNegative;
  SetErrorIfEmpty("-ERR The server refused STLS (" + FLastResponse + "); nothing more was sent");
  TriggerRequestDone(Pop3ErrNegative);
  if (FWSocket->State() != wsClosed)
    FWSocket->Close();
}

void TCustomPop3Cli::WSocketTlsDone(uint16_t Error) {
  if (Error != 0) {
    FLastResponse = "-ERR " + FWSocket->LastErrorMessage();
    FStatusCode = 500;
    FErrorCode = Error;
    SetErrorIfEmpty(FLastResponse);
    TriggerRequestDone(Error);
    return;  // the socket ends the session itself
  }
  Display("TLS session started");
  SetState(pop3Connected);
  TriggerSessionConnected(0);
  TriggerRequestDone(0);
}
