#include "net/SmtpProt.h"

#include "support/QtTestApp.h"
#include "support/ScriptedServer.h"
#include "support/SmtpRecorder.h"
#include "support/SmtpServerFixture.h"
#include "support/TempDir.h"
#include "support/Thrown.h"
#include "storage/TextFile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <string>
#include <vector>

using Client = SmtpRecorder;

TEST(SmtpReply, CodesAndContinuations) {
  EXPECT_FALSE(ParseSmtpReply("250 OK").More);
  EXPECT_TRUE(ParseSmtpReply("250-first").More);
  EXPECT_EQ(ParseSmtpReply("250-first").Code, 250);
  EXPECT_EQ(ParseSmtpReply(" \t354 go ahead").Code, 354);
  EXPECT_EQ(ParseSmtpReply("garbage").Code, 0);
  // A reply is three digits followed by nothing, a blank or "-".
  for (const char *good : {"250 OK", "250-more", "221", " 354 go"}) EXPECT_TRUE(ParseSmtpReply(good).Valid) << good;
  for (const char *bad : {"garbage", "", "25 short", "2500 long", "+250 signed", "250x", "OK 250"})
    EXPECT_FALSE(ParseSmtpReply(bad).Valid) << bad;
}

TEST(SmtpHeader, DateAndFolding) {
  const QDateTime t(QDate(2026, 3, 5), QTime(9, 5, 7), QTimeZone(3600));
  EXPECT_EQ(SmtpDateText(t), "Thu, 5 Mar 2026 09:05:07 +0100");
  const QDateTime w(QDate(2025, 12, 28), QTime(23, 59, 0), QTimeZone(-5 * 3600 - 1800));
  EXPECT_EQ(SmtpDateText(w), "Sun, 28 Dec 2025 23:59:00 -0530");

  // A line break in a value continues the header line instead of starting a new one.
  EXPECT_EQ(FoldHeaderLine("Subject: one\r\nBcc: victim@x"), "Subject: one\r\n Bcc: victim@x");
  EXPECT_EQ(FoldHeaderLine("Subject: a\n\nb\rc"), "Subject: a\r\n b\r\n c");
  EXPECT_EQ(FoldHeaderLine("Content-Type: multipart/mixed;\r\n\tboundary=\"x\""),
            "Content-Type: multipart/mixed;\r\n\tboundary=\"x\"");
  // Too long for one line: folded at blanks, nothing lost.
  std::string words = "Subject:";
  for (int i = 0; i < 300; ++i) words += " word" + std::to_string(i);
  const std::string folded = FoldHeaderLine(words);
  for (const std::string &l : SplitLines(folded)) EXPECT_LE(l.size(), 998u);
  std::string unfolded = folded;
  for (size_t p; (p = unfolded.find("\r\n")) != std::string::npos;) unfolded.erase(p, 2);
  EXPECT_EQ(unfolded, words);
}

TEST(SmtpCli, PreconditionsAndARefusedConnection) {
  EnsureQtApp();
  TSmtpCli smtp;
  int done = -1;
  TSmtpRequest rq = smtpConnect;
  smtp.OnRequestDone = [&](TComponent *, TSmtpRequest r, uint16_t e) { rq = r, done = e; };
  EXPECT_THROW(smtp.Helo(), SmtpException);
  EXPECT_EQ(ThrownText<SmtpException>([&] { smtp.MailFrom(); }), "SMTP component not connected");
  EXPECT_THROW(smtp.Mail(), SmtpException);
  EXPECT_EQ(done, -1);  // a refused call fires nothing

  // Quit without a session completes at once, from the event loop.
  smtp.Quit();
  EXPECT_EQ(done, -1);
  ASSERT_TRUE(RunEventsUntil([&] { return done != -1; }));
  EXPECT_EQ(rq, smtpQuit);
  EXPECT_EQ(done, 0);

  // An empty host fails the start; Abort makes the component usable again.
  smtp.Host = "";
  EXPECT_EQ(ThrownText<ESocketException>([&] { smtp.Open(); }), "DNS lookup: invalid host name.");
  EXPECT_EQ(smtp.State(), smtpDnsLookup);
  EXPECT_EQ(ThrownText<SmtpException>([&] { smtp.Open(); }), "SMTP component not ready");
  smtp.Abort();
  EXPECT_EQ(smtp.State(), smtpReady);

  TempDir dir;
  EXPECT_EQ(ThrownText<SmtpException>([&] { smtp.SetEmailFiles({dir.File("missing.bin")}); }),
            "File not found '" + dir.File("missing.bin") + "'");

  // A refused connection reports the socket's error.
  std::string port;
  {
    ScriptedServer gone;  // a port that was free a moment ago and has no listener now
    port = gone.Port();
  }
  Client c(port);
  EXPECT_EQ(c.Run(&TSmtpCli::Open), 10061);
  EXPECT_EQ(c.Done.back().first, smtpOpen);
  EXPECT_EQ(c.Smtp.LastResponse(), "500 Connection refused (Winsock error #10061)");
  EXPECT_EQ(c.Smtp.ErrorMessage(), c.Smtp.LastResponse());
  EXPECT_FALSE(c.Smtp.Connected());
  EXPECT_EQ(c.Smtp.State(), smtpReady);
}

// ----- against the real server

namespace {
// A real server and a client for it, sending from a@example.org to b@example.org.
class SmtpCliServer : public ::testing::Test {
protected:
  SmtpServerFixture server;
  Client c{std::to_string(server.Port())};
  std::vector<std::string> header;
  std::string body;

  void SetUp() override {
    ASSERT_TRUE(server.IsRunning());
    c.Smtp.FromName = "a@example.org";
    c.Smtp.RcptName = {"b@example.org"};
  }
  // Sends one message; the server must then hold exactly that one, split into `header` and `body`.
  ReceivedMessage SendOne() {
    EXPECT_EQ(c.SendMessage(), 0) << c.Smtp.ErrorMessage();
    const auto msgs = server.Messages();
    if (msgs.size() != 1) {
      ADD_FAILURE() << msgs.size() << " messages received";
      return {};
    }
    const size_t end = msgs[0].Data.find("\r\n\r\n");
    EXPECT_NE(end, std::string::npos) << "no end of the header";
    header = SplitLines(msgs[0].Data.substr(0, end));
    body = end == std::string::npos ? "" : msgs[0].Data.substr(end + 4);
    return msgs[0];
  }
};
}  // namespace

TEST_F(SmtpCliServer, PlainMessageHeaderAndDots) {
  c.Smtp.FromName = " sender@example.org ";
  c.Smtp.RcptName = {"reader@example.org"};
  c.Smtp.HdrFrom = "Sender <sender@example.org>";
  c.Smtp.HdrTo = "reader@example.org";
  c.Smtp.HdrReplyTo = "   ";
  c.Smtp.HdrReturnPath = "bounces@example.org";
  c.Smtp.HdrSubject = "Issue 1\r\nBcc: victim@example.org";
  c.Smtp.OnHeaderLine = [](TComponent *, char *msg, int32_t size) {
    if (std::strncmp(msg, "Subject:", 8) == 0) std::strncat(msg, " [list]", size - std::strlen(msg) - 1);
  };
  c.Body = {"Hello,", ".", ".x", "", "bye", "a\r\n.\r\nQUIT\nb"};
  const ReceivedMessage m = SendOne();
  EXPECT_EQ(c.Done, (std::vector<std::pair<TSmtpRequest, int>>{{smtpOpen, 0}, {smtpMail, 0}, {smtpQuit, 0}}));
  EXPECT_FALSE(c.Smtp.Connected());
  EXPECT_EQ(m.MailFrom, "sender@example.org");
  EXPECT_EQ(m.RcptTo, std::vector<std::string>{"reader@example.org"});
  ASSERT_EQ(header.size(), 9u);
  EXPECT_EQ(header[7].rfind("Date: ", 0), 0u);
  // Every message has its own Message-ID at the From address's domain.
  EXPECT_EQ(header[8].rfind("Message-ID: <", 0), 0u);
  EXPECT_EQ(header[8].substr(header[8].size() - 13), "@example.org>");
  header.resize(7);
  // The blank Reply-To is left out; the line break in the subject folds instead of adding a header.
  EXPECT_EQ(header, (std::vector<std::string>{"Return-Path: bounces@example.org", "From: Sender <sender@example.org>",
                                              "To: reader@example.org", "Subject: Issue 1",
                                              " Bcc: victim@example.org [list]", "Mime-Version: 1.0",
                                              "Content-Type: text/plain; charset=\"iso-8859-1\""}));
  // The server removed the added dots; a "." inside a line did not end the message.
  EXPECT_EQ(body, "Hello,\r\n.\r\n.x\r\n\r\nbye\r\na\r\n.\r\nQUIT\r\nb\r\n");
  // The dialogue shows the stuffed lines as sent.
  for (const char *sent : {"> ..", "> ..x", "> HELO client.test"})
    EXPECT_NE(std::find(c.Display.begin(), c.Display.end(), sent), c.Display.end()) << sent;
}

TEST_F(SmtpCliServer, LongHeaderSentWholeAndNoBody) {
  c.Smtp.OnGetData = nullptr;  // header only
  std::string subject;
  for (int i = 0; i < 600; ++i) subject += "w" + std::to_string(i) + " ";
  subject += "end";
  c.Smtp.HdrSubject = subject;
  ASSERT_GT(subject.size(), 2000u);
  SendOne();
  std::string got;
  for (const std::string &l : header) {
    if (l.rfind("Subject: ", 0) == 0) got = l;
    else if (!got.empty() && (l[0] == ' ' || l[0] == '\t') && got.find("end") == std::string::npos) got += l;
  }
  EXPECT_EQ(got, "Subject: " + subject);
  EXPECT_EQ(body, "");
}

TEST_F(SmtpCliServer, AttachmentsDecodeToTheSameBytes) {
  TempDir dir;
  std::string all;
  for (int r = 0; r < 7; ++r)
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string small = all.substr(0, 46);
  WriteAll(dir.File("bytes.bin"), all);
  WriteAll(dir.File("small.dat"), small);
  c.Smtp.SetEmailFiles({" " + dir.File("bytes.bin"), "  ", dir.File("small.dat")});
  c.Smtp.SetContentType(smtpHTML);
  c.Smtp.OnAttachContentType = [](TComponent *, int32_t n, std::string &name, std::string &type) {
    if (n == 1) {
      type = "text/plain";
      name = "renamed.txt";
    }
  };
  c.Body = {"<p>Hi</p>"};
  SendOne();
  ASSERT_EQ(header.size(), 8u);
  EXPECT_EQ(header[4].rfind("Content-Type: multipart/mixed;", 0), 0u);
  // "=_" cannot occur in base64 or quoted-printable text.
  ASSERT_EQ(header[5].rfind("\tboundary=\"=_", 0), 0u);
  const std::string boundary = header[5].substr(11, header[5].size() - 12);

  const std::vector<std::string> lines = SplitLines(body);
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[0], "This is a multipart MIME message.");
  EXPECT_EQ(lines[2], "--" + boundary);
  EXPECT_EQ(lines[3], "Content-Type: text/html; charset=\"iso-8859-1\"");
  EXPECT_EQ(lines[4], "Content-Transfer-Encoding: 7bit");
  EXPECT_EQ(lines[6], "<p>Hi</p>");
  EXPECT_EQ(lines.back(), "--" + boundary + "--");

  // Each part: its header lines, then base64 lines of at most 60 characters.
  struct Part { std::vector<std::string> Head; std::string Data; std::vector<size_t> Widths; };
  std::vector<Part> parts;
  for (size_t i = 7; i < lines.size(); ++i) {
    if (lines[i] != "--" + boundary) continue;
    Part p;
    size_t j = i + 1;
    for (; j < lines.size() && !lines[j].empty(); ++j) p.Head.push_back(lines[j]);
    for (++j; j < lines.size() && !lines[j].empty(); ++j) {
      p.Data += lines[j];
      p.Widths.push_back(lines[j].size());
    }
    parts.push_back(p);
  }
  ASSERT_EQ(parts.size(), 2u);
  // The part header's own lines: MimeEncodeTest.
  EXPECT_EQ(parts[0].Head[1], "\tname=\"bytes.bin\"");
  EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(parts[0].Data)).toStdString(), all);
  for (size_t k = 0; k + 1 < parts[0].Widths.size(); ++k) EXPECT_EQ(parts[0].Widths[k], 60u);
  EXPECT_EQ(parts[1].Head[0], "Content-Type: text/plain;");
  EXPECT_EQ(parts[1].Head[1], "\tname=\"renamed.txt\"");
  EXPECT_EQ(parts[1].Head[4], "\tfilename=\"small.dat\"");
  EXPECT_EQ(parts[1].Widths, (std::vector<size_t>{60, 4}));
  EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(parts[1].Data)).toStdString(), small);
}

TEST_F(SmtpCliServer, TwoRecipientsOneRefused) {
  server.SetRefused({"gone@example.org"});
  c.Smtp.Host = "localhost";  // looked up off the UI thread
  c.Body = {"text"};

  // Refused first: the second still gets the message.
  c.Smtp.RcptName = {"gone@example.org", "here@example.org"};
  EXPECT_EQ(SendOne().RcptTo, std::vector<std::string>{"here@example.org"});
  EXPECT_EQ(c.Smtp.ErrorMessage().rfind("550", 0), 0u);  // the refusal is kept

  // Refused last: the request ends with the refusal and no DATA is sent.
  c.Smtp.RcptName = {"here@example.org", "gone@example.org"};
  EXPECT_EQ(c.SendMessage(), 550);
  EXPECT_EQ(c.Smtp.ErrorMessage().rfind("550 5.1.1 <gone@example.org>", 0), 0u);
  EXPECT_EQ(server.Messages().size(), 1u);
  int dataCommands = 0;
  for (const std::string &d : c.Display) dataCommands += d == "> DATA";
  EXPECT_EQ(dataCommands, 1);
}

// ----- against scripted servers

namespace {
// Answers every command with the next reply of `replies`; the banner goes first.
void Script(ScriptedServer &s, const std::string &banner, std::vector<std::string> replies) {
  s.OnConnect = [banner](ScriptedServer &srv) { srv.Send(banner); };
  auto queue = std::make_shared<std::vector<std::string>>(std::move(replies));
  auto next = std::make_shared<size_t>(0);
  s.OnLine = [queue, next](ScriptedServer &srv, const std::string &) {
    if (*next < queue->size()) srv.Send((*queue)[(*next)++]);
  };
}
}  // namespace

TEST(SmtpCliScripted, ContinuationLinesAndSplitReads) {
  ScriptedServer s;
  // A banner of three lines in one read; the HELO reply split inside its code, over two reads.
  s.OnConnect = [](ScriptedServer &srv) { srv.Send("220-welcome\r\n220-to the\r\n220 test\r\n"); };
  s.OnLine = [](ScriptedServer &srv, const std::string &line) {
    if (line.rfind("HELO", 0) == 0) {
      srv.Send("250-first\r\n2");
      srv.SendLater("50 last\r\n", 30);
    } else if (line == "QUIT") {
      srv.Send("221 bye\r\n");
    }
  };
  Client c(s.Port());
  ASSERT_EQ(c.Run(&TSmtpCli::Open), 0);
  EXPECT_EQ(c.Done.size(), 1u);  // completed once, on the last line
  EXPECT_EQ(c.Smtp.LastResponse(), "250 last");
  EXPECT_EQ(c.Smtp.StatusCode(), 250);
  const std::vector<std::string> shown(c.Display.begin(), c.Display.end());
  const std::vector<std::string> expected = {"< 220-welcome", "< 220-to the", "< 220 test",
                                             "> HELO client.test", "< 250-first", "< 250 last"};
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(c.Smtp.State(), smtpReady);
  EXPECT_EQ(c.Run(&TSmtpCli::Quit), 0);
  EXPECT_EQ(s.Lines(), (std::vector<std::string>{"HELO client.test", "QUIT"}));
  EXPECT_TRUE(RunEventsUntil([&] { return s.ClientClosed(); }));
}

TEST(SmtpCliScripted, ClosesGarbageAndFailingHandlersEndTheRequestOnce) {
  std::string banners, replies;
  for (int i = 0; i < TSmtpCli::MaxReplyLines + 10; ++i) banners += "220-welcome\r\n", replies += "250-still going\r\n";
  const std::string tooMany = "500 Reply longer than " + std::to_string(TSmtpCli::MaxReplyLines) + " lines";
  const std::vector<std::string> toData = {"250 hello\r\n", "250 from ok\r\n", "250 rcpt ok\r\n"};
  const auto plus = [&](const char *last) { auto r = toData; r.push_back(last); return r; };
  enum Seen { no, yes, any };
  const struct {
    std::string banner;
    std::vector<std::string> replies;
    std::string on, answer;  // the server answers the line starting with `on`; an empty answer closes
    bool throwingBody;       // the data handler throws after the body
    int openError, mailError;
    std::string message;     // the error message; empty: not checked
    Seen body, dot;
  } cases[] = {
      // The session closes, HELO is never sent.
      {"554 go away\r\n", {}, "", "", false, 10004, 0, "554 go away", no, no},
      {"220 hi\r\n", {"250 " + std::string(6000, 'x') + "\r\n"}, "", "", false, 500, 0,
       "500 Reply line longer than 4096 bytes", no, no},
      {"220 hi\r\n", {replies}, "", "", false, 500, 0, tooMany, no, no},
      {banners, {}, "", "", false, 500, 0, tooMany, no, no},
      // Mid-message, before ".".
      {"220 hi\r\n", plus("354 go\r\n"), "Subject:", "", false, 0, 10004, "", any, no},
      // The message was never ended with ".", so the server cannot have taken half of it.
      {"220 hi\r\n", plus("354 go\r\n"), "", "", true, 0, 10004, "", any, no},
      // Garbage to DATA: nothing of the message goes out. Garbage to ".": the message failed.
      {"220 hi\r\n", plus("garbage\r\n"), "", "", false, 0, 500, "500 Protocol error: unexpected reply \"garbage\"", no, no},
      {"220 hi\r\n", plus("354 go\r\n"), ".", "what?\r\n", false, 0, 500, "500 Protocol error: unexpected reply \"what?\"",
       yes, yes},
  };
  for (const auto &k : cases) {
    SCOPED_TRACE(&k - cases);
    ScriptedServer s;
    Script(s, k.banner, k.replies);
    if (!k.on.empty()) {
      auto base = s.OnLine;
      s.OnLine = [base, &k](ScriptedServer &srv, const std::string &line) {
        if (line.rfind(k.on, 0) != 0) base(srv, line);
        else if (k.answer.empty()) srv.CloseClient();
        else srv.Send(k.answer);
      };
    }
    Client c(s.Port());
    c.Smtp.FromName = "a@x\r\nRSET";  // a line break cannot make a command of its own
    c.Smtp.RcptName = {"b@x"};
    c.Body = std::vector<std::string>(k.on == "Subject:" ? 2000 : 1, "body text that is long enough to need several writes");
    if (k.throwingBody) {
      c.Smtp.OnGetData = [base = c.Smtp.OnGetData](TComponent *t, int32_t n, char *line, int32_t max, bool &more) {
        if (n == 2) throw std::runtime_error("no more text");
        base(t, n, line, max, more);
      };
    }
    bool closedEvent = false;
    c.Smtp.OnSessionClosed = [&](TComponent *, uint16_t) { closedEvent = true; };
    EXPECT_EQ(c.Run(&TSmtpCli::Open), k.openError);
    if (k.openError == 0) {
      EXPECT_EQ(c.Run(&TSmtpCli::Mail), k.mailError);
      EXPECT_EQ(c.Done.back().first, smtpMail);
    }
    if (!k.message.empty()) {
      EXPECT_EQ(c.Smtp.ErrorMessage(), k.message);
    }
    EXPECT_FALSE(c.Smtp.Connected());
    EXPECT_EQ(c.Smtp.State(), smtpReady);
    EXPECT_TRUE(closedEvent);
    // No second completion arrives for the same request.
    RunEventsUntil([] { return false; }, 50);
    EXPECT_EQ(c.Done.size(), k.openError ? 1u : 2u);
    ASSERT_TRUE(RunEventsUntil([&] { return s.ClientClosed(); }));
    const auto &got = s.Lines();
    EXPECT_EQ(got.empty(), k.banner != "220 hi\r\n");
    if (k.openError == 0) {
      EXPECT_EQ(got.at(1), "MAIL FROM:<a@xRSET>");
    }
    const auto has = [&](const std::string &l) { return std::find(got.begin(), got.end(), l) != got.end(); };
    if (k.body != any) {
      EXPECT_EQ(has(c.Body[0]), k.body == yes);
    }
    EXPECT_EQ(has("."), k.dot == yes);
    // The component is usable again: a new session with a well-behaved server.
    ScriptedServer good;
    Script(good, "220 hi\r\n", {"250 hello\r\n"});
    c.Smtp.Port = good.Port();
    EXPECT_EQ(c.Run(&TSmtpCli::Open), 0);
  }
}

TEST_F(SmtpCliServer, AttachmentThatCannotBeReadFailsTheMessage) {
  TempDir dir;
  WriteAll(dir.File("report.pdf"), std::string(5000, 'r'));
  c.Smtp.SetEmailFiles({dir.File("report.pdf")});
  c.Body = {"see the attachment"};
  // After the check the file is replaced by something that opens but cannot be read.
  std::remove(dir.File("report.pdf").c_str());
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.File("report.pdf"))));
  ASSERT_EQ(c.Run(&TSmtpCli::Open), 0);
  EXPECT_EQ(c.Run(&TSmtpCli::Mail), 500);
  EXPECT_EQ(c.Smtp.ErrorMessage(), "500 Cannot read file " + dir.File("report.pdf"));
  EXPECT_FALSE(c.Smtp.Connected());
  RunEventsUntil([] { return false; }, 200);
  EXPECT_TRUE(server.Messages().empty());  // nothing short was delivered
}
