#pragma once
// A test CA and server certificates, made with the openssl command when the object is built
// (short validity, nothing kept), for TLS servers on 127.0.0.1.
#include <QStringList>
#include <QTemporaryDir>

#include <string>

class TestCertificates {
public:
  TestCertificates();
  // One set for the whole test program, made when first asked for.
  static TestCertificates &Shared() {
    static TestCertificates certs;
    return certs;
  }
  bool IsValid() const { return FValid; }
  // The CA that signed every certificate below except the self-signed ones.
  std::string CaFile() const { return Path("ca.crt"); }
  // Certificate and key files of a kind: "good" (localhost and 127.0.0.1), "wronghost"
  // (other.example), "expired" (localhost, ended in 2020), "self" and "self2" (self-signed
  // localhost, two different keys).
  std::string Cert(const std::string &kind) const { return Path(kind + ".crt"); }
  std::string Key(const std::string &kind) const { return Path(kind + ".key"); }
  // "--cert FILE --key FILE" of a kind, for the test servers.
  QStringList ServerOptions(const std::string &kind = "good") const {
    return {"--cert", QString::fromStdString(Cert(kind)), "--key", QString::fromStdString(Key(kind))};
  }
  // "AB:CD:..." SHA-256 fingerprint of a certificate, as the openssl command prints it.
  std::string Fingerprint(const std::string &kind) const;

private:
  std::string Path(const std::string &name) const { return FDir.filePath(QString::fromStdString(name)).toStdString(); }
  bool Run(const QStringList &args) const;
  bool MakeSigned(const std::string &kind, const std::string &cn, const std::string &san, const QStringList &dates);
  bool MakeSelfSigned(const std::string &kind);
  QTemporaryDir FDir;
  bool FValid = false;
};
