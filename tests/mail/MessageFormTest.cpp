// The form of the messages a mailing run sends, as other programs read it: Python's email
// package and SpamAssassin, on messages a real SMTP server received.
#include "MailTestSupport.h"
#include "compose/RtfWriter.h"
#include "compose/Scrooge.h"
#include "mail/MailingRun.h"
#include "mail/MessageForm.h"
#include "net/MimeEncode.h"
#include "storage/Ansi.h"
#include "support/RichDocs.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace {
using Lines = std::vector<std::string>;

// The window side with the real assembly: plain text or HTML through the converter.
class AssemblingHost : public QuietHost {
public:
  TAssemblyInput In;
  std::map<std::string, std::string> Names;  // address -> name
  std::map<std::string, TDigest> Digests;    // address -> the digest assembled for it
  TScrooge Scrooge;

  AssemblingHost() { Scrooge.ConfigureForMainWindow(); }
  TDigest AssembleMessage(bool mergeCodes) override {
    TScroogeConverter converter(Scrooge);
    TDigest digest = ::AssembleMessage(In, true, mergeCodes, &converter);
    Digests[In.Recipient.Email] = digest;
    return digest;
  }
  std::string ShowAddress(const std::string &entry) override {
    In.Recipient.Email = entry;
    In.Recipient.Name = Names[entry];
    return entry;
  }
};

std::string Joined(const Lines &lines, bool finalBreak) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\r\n" : "") + lines[i];
  return finalBreak ? out + "\r\n" : out;
}

std::string Utf8(const std::string &ansi) { return AnsiToQString(ansi).toStdString(); }

// A part's payload as Python decoded it from its transfer encoding.
std::string Payload(const QJsonObject &part) {
  return QByteArray::fromHex(part["payload"].toString().toLatin1()).toStdString();
}

// What Python's email package made of each stored message.
std::vector<QJsonObject> PythonView(const std::vector<std::string> &files) {
  QProcess python;
  QStringList args{QString(BREVANT_TESTS_DIR) + "/support/check_message.py"};
  for (const std::string &f : files) args << QString::fromStdString(f);
  python.start("/usr/bin/python3", args);
  python.waitForFinished(60000);
  std::vector<QJsonObject> out;
  for (const QByteArray &line : python.readAllStandardOutput().split('\n'))
    if (!line.trimmed().isEmpty()) out.push_back(QJsonDocument::fromJson(line).object());
  return out;
}

struct TSpamVerdict {
  std::string Score;
  QStringList Rules;
};

// SpamAssassin's local rules on each message, all checked at the same time.
std::vector<TSpamVerdict> SpamVerdicts(const std::vector<std::string> &messages) {
  std::vector<std::unique_ptr<QProcess>> runs;
  for (const std::string &m : messages) {
    auto p = std::make_unique<QProcess>();
    p->start("spamassassin", {"-L", "-t"});
    p->write(QByteArray::fromStdString(m));
    p->closeWriteChannel();
    runs.push_back(std::move(p));
  }
  std::vector<TSpamVerdict> out;
  for (auto &p : runs) {
    p->waitForFinished(120000);
    const QString text = QString::fromUtf8(p->readAllStandardOutput());
    TSpamVerdict v;
    // "X-Spam-Status: No, score=-0.0 required=5.0 tests=A,B,\n\tC autolearn=..."
    const qsizetype at = text.indexOf("X-Spam-Status:");
    const QString status = text.mid(at, text.indexOf("autolearn=", at) - at).simplified();
    v.Score = status.section("score=", 1).section(' ', 0, 0).toStdString();
    for (const QString &rule : status.section("tests=", 1).split(QRegularExpression("[,\\s]+"), Qt::SkipEmptyParts))
      v.Rules << rule;
    out.push_back(v);
  }
  return out;
}

class MessageFormTest : public MailingFixture<AssemblingHost> {
protected:
  void SetUp() override {
    MailingFixture::SetUp();
    job.FromList = true;
    job.FieldCodes = true;
    job.ListName = "Spring News";
    job.FromName = "Pat Publisher";
    job.Unsubscribe.RemoveTo = true;
    job.Unsubscribe.RemoveToAddress = "leave@example.org";
    job.CheckedEntries = {"ann@example.org", "bob@example.org"};
    job.FileSentCopy = false;
    host.Names = {{"ann@example.org", "Ann"}, {"bob@example.org", "Bo\xe9"}};
    host.In.DataDir = dir.Path();
    host.In.Subject = job.Subject;
    host.In.BodyRtf = WriteRtf(PlainDoc(Body));
    host.In.BodyLines = Body;
    host.In.ListChosen = true;
    host.In.ListTexts.IncludeFooter = true;
    host.In.ListTexts.Footer = "To leave the list, write to leave@example.org.";
  }
  // Sends the job and returns the stored files and messages.
  std::vector<ReceivedMessage> Send() {
    TMailingRun run(dir.Path(), client, host);
    run.PrepareSend(job);
    EXPECT_EQ(run.Failed(), 0);
    return server.Messages();
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (const QString &n : QDir(QString::fromStdString(server.Folder())).entryList({"msg-*.eml"}, QDir::Files, QDir::Name))
      out.push_back(server.Folder() + n.toStdString());
    return out;
  }

  const Lines Body = {"Dear %Name%,", "spring is here \x93" "at last\x94: 5 \x80 off every plant.",
                      std::string(300, 'x') + " a paragraph longer than a line may be " + std::string(900, 'y'),
                      ".a line that starts with a dot", "Equals = signs and trailing blanks   "};
};

// The rules that tell of a badly formed message: they must not fire.
void ExpectNoFormRule(const TSpamVerdict &v, const std::string &which) {
  static const QRegularExpression form(
      "^(MISSING_|MSGID|MIME_|CHARSET_|MPART_|INVALID_DATE|HTML_MIME_NO_HTML_TAG|.*ILLEGAL_CHARS|.*NEEDS_ENCODING|"
      "FROM_EXCESS|SUBJ_ALL_CAPS|__MIME)");
  ASSERT_FALSE(v.Score.empty()) << which << ": SpamAssassin gave no verdict";
  for (const QString &rule : v.Rules) EXPECT_FALSE(form.match(rule).hasMatch()) << which << ": " << rule.toStdString();
}
}  // namespace

TEST_F(MessageFormTest, PlainHtmlAndAccentedNewsletters) {
  ASSERT_EQ(Send().size(), 2u);
  const std::map<std::string, TDigest> plainDigests = host.Digests;

  // The same newsletter in HTML with an attachment.
  const std::string attachment = dir.File("R\xe9sum\xe9 2026.pdf");
  std::string pdf = "%PDF-1.4\n";
  for (int i = 0; i < 300; ++i) pdf += static_cast<char>(i * 7);
  WriteAll(attachment, pdf);
  job.Attachments = {attachment};
  host.In.SendHtml = true;
  ASSERT_EQ(Send().size(), 4u);
  const std::map<std::string, TDigest> htmlDigests = host.Digests;

  // Plain text again, with an accented subject and sender name.
  job.Attachments.clear();
  host.In.SendHtml = false;
  job.Subject = host.In.Subject = "Caf\xe9 news: \x93Sp\xe9" "cial\x94 \x80 offers for the whole spring season, \xe9t\xe9 too";
  job.FromName = "Ren\xe9" "e Publi\xe9";
  job.CheckedEntries = {"ann@example.org"};
  const auto all = Send();
  ASSERT_EQ(all.size(), 5u);
  const auto python = PythonView(Files());
  ASSERT_EQ(python.size(), 5u);
  for (const QJsonObject &m : python)
    EXPECT_TRUE(m["defects"].toArray().isEmpty()) << QJsonDocument(m["defects"].toArray()).toJson().toStdString();

  std::set<std::string> ids;
  for (size_t i = 0; i < 2; ++i) {
    const std::string to = all[i].RcptTo.at(0);
    const QJsonObject &m = python[i];
    EXPECT_EQ(m["from"].toString(), "Pat Publisher <editor@example.org>");
    EXPECT_EQ(m["to"].toString(), "list@example.org");
    EXPECT_EQ(m["list_unsubscribe"].toString(), "<mailto:leave@example.org>");
    EXPECT_EQ(m["list_id"].toString(), "\"Spring News\" <spring-news.example.org>");
    ids.insert(m["message_id"].toString().toStdString());
    EXPECT_TRUE(m["message_id"].toString().endsWith("@example.org>"));
    const QJsonArray parts = m["parts"].toArray();
    ASSERT_EQ(parts.size(), 1);
    const QJsonObject part = parts[0].toObject();
    EXPECT_EQ(part["type"].toString(), "text/plain");
    EXPECT_EQ(part["charset"].toString(), "windows-1252");
    EXPECT_EQ(part["cte"].toString(), "quoted-printable");
    // The bytes sent are the recipient's own digest, every byte of it.
    const std::string expected = Joined(plainDigests.at(to).Lines, true);
    EXPECT_NE(expected.find(to == "ann@example.org" ? "Dear Ann," : "Dear Bo\xe9,"), std::string::npos);
    EXPECT_EQ(Payload(part), expected);
    for (const std::string &line : TReceived(all[i]).Body) EXPECT_LE(line.size(), 76u);
  }
  EXPECT_EQ(ids.size(), 2u);

  for (size_t i = 2; i < 4; ++i) {
    const QJsonArray parts = python[i]["parts"].toArray();
    ASSERT_EQ(parts.size(), 5);
    Lines types;
    for (const auto &p : parts) types.push_back(p.toObject()["type"].toString().toStdString());
    EXPECT_EQ(types, (Lines{"multipart/mixed", "multipart/alternative", "text/plain", "text/html", "application/pdf"}));
    const QJsonObject text = parts[2].toObject(), page = parts[3].toObject(), file = parts[4].toObject();
    // The recipient's own digest: the text form has the codes merged too.
    const TDigest &digest = htmlDigests.at(all[i].RcptTo.at(0));
    EXPECT_EQ(Payload(text), Joined(digest.TextLines, false));
    EXPECT_EQ(Payload(page), Joined(digest.Lines, false));
    EXPECT_NE(Payload(text).find(i == 2 ? "Dear Ann," : "Dear Bo\xe9,"), std::string::npos);
    EXPECT_EQ(text["charset"].toString(), "windows-1252");
    EXPECT_EQ(page["charset"].toString(), "windows-1252");
    EXPECT_EQ(page["cte"].toString(), "quoted-printable");
    // The page declares the charset of its bytes.
    EXPECT_NE(Payload(page).find("charset=windows-1252"), std::string::npos);
    EXPECT_EQ(file["filename"].toString(), QString::fromUtf8("Résumé 2026.pdf"));
    EXPECT_EQ(file["disposition"].toString(), "attachment");
    EXPECT_EQ(Payload(file), pdf);
  }

  EXPECT_EQ(python[4]["subject"].toString().toStdString(), Utf8(job.Subject));
  EXPECT_EQ(python[4]["from_name"].toString().toStdString(), Utf8(job.FromName));
  for (const std::string &h : TReceived(all[4]).Headers) {
    EXPECT_LE(h.size(), 78u) << h;
    EXPECT_TRUE(IsSevenBitText({h})) << h;
  }

  const auto verdicts = SpamVerdicts({all[0].Data, all[2].Data, all[4].Data});
  ExpectNoFormRule(verdicts[0], "plain newsletter");
  ExpectNoFormRule(verdicts[1], "HTML newsletter with attachment");
  ExpectNoFormRule(verdicts[2], "accented subject and names");
}

TEST(MessageForm, ListHeaders) {
  TUnsubscribeSettings s;
  EXPECT_EQ(ListUnsubscribeValue(s, "editor@example.org"), "");
  s.RemoveSub = true;
  s.RemoveSubAddress = "Remove Me!";
  EXPECT_EQ(ListUnsubscribeValue(s, "Pat <editor@example.org>"), "<mailto:editor@example.org?subject=Remove%20Me%21>");
  EXPECT_EQ(ListUnsubscribeValue(s, ""), "");
  s.RemoveTo = true;
  s.RemoveToAddress = "remove@example.com";  // the placeholder of a new list leads nowhere
  EXPECT_EQ(ListUnsubscribeValue(s, "editor@example.org"), "<mailto:editor@example.org?subject=Remove%20Me%21>");
  s.RemoveToAddress = "leave@example.org";
  EXPECT_EQ(ListUnsubscribeValue(s, "editor@example.org"), "<mailto:leave@example.org>");
  EXPECT_EQ(ListIdValue("Spring News", "editor@example.org"), "\"Spring News\" <spring-news.example.org>");
  EXPECT_EQ(ListIdValue("Caf\xe9 & Co", "x"), "=?windows-1252?Q?Caf=E9_=26_Co?= <caf-co.localhost>");
  EXPECT_EQ(AttachmentType("/a/Report.PDF"), "application/pdf");
  EXPECT_EQ(AttachmentType("photo.jpeg"), "image/jpeg");
  EXPECT_EQ(AttachmentType("data.bin"), "application/octet-stream");
  EXPECT_EQ(AttachmentType("no extension"), "application/octet-stream");
}
