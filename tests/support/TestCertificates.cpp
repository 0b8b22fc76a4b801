#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace {
const QStringList kEcKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

bool Write(const QString &path, const QByteArray &text) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}
}  // namespace

bool TestCertificates::Run(const QStringList &args) const {
  QProcess p;
  p.setWorkingDirectory(FDir.path());
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start("openssl", args);
  return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool TestCertificates::MakeSigned(const std::string &kind, const std::string &cn, const std::string &san,
                                  const QStringList &dates) {
  const QString k = QString::fromStdString(kind);
  if (!Write(FDir.filePath(k + ".ext"), QByteArray::fromStdString("subjectAltName=" + san + "\n"))) return false;
  return Run(QStringList{"req", "-new"} + kEcKey +
             QStringList{"-keyout", k + ".key", "-out", k + ".csr", "-subj", QString::fromStdString("/CN=" + cn)}) &&
         Run(QStringList{"ca", "-batch", "-config", "ca.cnf", "-cert", "ca.crt", "-keyfile", "ca.key", "-in",
                         k + ".csr", "-out", k + ".crt", "-extfile", k + ".ext"} + dates);
}

bool TestCertificates::MakeSelfSigned(const std::string &kind) {
  const QString k = QString::fromStdString(kind);
  return Run(QStringList{"req", "-x509"} + kEcKey +
             QStringList{"-keyout", k + ".key", "-out", k + ".crt", "-days", "2", "-subj", "/CN=localhost",
                         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
}

TestCertificates::TestCertificates() {
  if (!FDir.isValid()) return;
  const QByteArray config =
      "[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
      "default_md = sha256\npolicy = p\nunique_subject = no\n[p]\ncommonName = supplied\n";
  if (!Write(FDir.filePath("ca.cnf"), config) || !Write(FDir.filePath("index.txt"), "") ||
      !Write(FDir.filePath("serial"), "01\n"))
    return;
  const QStringList twoDays = {"-days", "2"};
  FValid = Run(QStringList{"req", "-x509"} + kEcKey +
               QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=Brevant Test CA",
                           "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=keyCertSign,cRLSign"}) &&
           MakeSigned("good", "localhost", "DNS:localhost,IP:127.0.0.1", twoDays) &&
           MakeSigned("wronghost", "other.example", "DNS:other.example", twoDays) &&
           MakeSigned("expired", "localhost", "DNS:localhost,IP:127.0.0.1",
                      {"-startdate", "20200101000000Z", "-enddate", "20200102000000Z"}) &&
           MakeSelfSigned("self") && MakeSelfSigned("self2");
}

std::string TestCertificates::Fingerprint(const std::string &kind) const {
  QProcess p;
  p.start("openssl", {"x509", "-in", QString::fromStdString(Cert(kind)), "-noout", "-fingerprint", "-sha256"});
  if (!p.waitForFinished(10000)) return {};
  const QByteArray out = p.readAllStandardOutput().trimmed();
  const qsizetype eq = out.indexOf('=');
  return eq < 0 ? std::string() : out.mid(eq + 1).toStdString();
}
