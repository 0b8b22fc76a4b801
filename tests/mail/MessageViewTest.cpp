#include "mail/MessageView.h"
#include "net/MimeWords.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QDir>
#include <gtest/gtest.h>

namespace {

std::string AllBytes() {
  std::string bytes;
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

std::string Base64Lines(const std::string &bytes) {
  const QByteArray b64 = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64();
  std::string out;
  for (qsizetype i = 0; i < b64.size(); i += 76) out += b64.mid(i, 76).toStdString() + "\r\n";
  return out;
}

// A message as the retrieval stores it: two trace lines, then the message.
std::string Stored(const std::string &message) { return "> UIDL 1\r\n< +OK 1 uid-1\r\n" + message; }

std::string Multipart(const std::string &picture, const std::string &binary) {
  return Stored(
      "From: Ann <ann@example.com>\r\nTo: list@example.com\r\nSubject: =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\r\n"
      "Date: Mon, 1 Jun 2026 10:00:00 +0000\r\nReturn-Path: <bounce@example.com>\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
      "--XX\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
      "Hello=\r\n World\r\nsecond line\r\n"
      "--XX\r\nContent-Type: text/html\r\n\r\n<p>Hi</p>\r\n"
      "--XX\r\nContent-Type: image/gif; name=\"pic.gif\"\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment\r\n\r\n" +
      Base64Lines(picture) +
      "--XX\r\nContent-Type: application/octet-stream\r\n"
      "Content-Disposition: attachment; filename=\"../../evil.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      Base64Lines(binary) + "--XX--\r\n");
}

TEST(MessageView, NormalFormShowsTextHtmlAndWritesAttachmentsBytesEqual) {
  TempDir dir;
  ForceDirectories(dir.File("Inbox/"));
  const std::string picture = AllBytes(), binary = std::string(5000, '\0') + AllBytes();
  WriteAll(dir.File("Inbox/1.2.msg"), Multipart(picture, binary));
  const TViewedMessage v = ViewMessageFile(dir.File("Inbox/1.2.msg"), dir.File("Inbox/"), THeaderForm::hfNormal, {});
  const std::string text = v.Text();
  EXPECT_EQ(text.rfind("Subject:  =?utf-8?Q?Gr=C3=BC=C3=9Fe?=\r\nDate:  Mon, 1 Jun 2026 10:00:00 +0000\r\n"
                       "From:  Ann <ann@example.com>\r\nTo:  list@example.com\r\nReply To:  bounce@example.com\r\n"
                       "Content-Type:  multipart/mixed\r\n\r\n\r\n",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("Hello World\r\nsecond line\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("UIDL"), std::string::npos);
  EXPECT_EQ(text.find("R0lG"), std::string::npos);  // no attachment lines in the view
  // Labels bold, header values marked for decoding, text parts with their charset.
  ASSERT_GE(v.Spans.size(), 3u);
  EXPECT_TRUE(v.Spans[0].Bold);
  EXPECT_TRUE(v.Spans[1].Header);
  bool utf8Text = false;
  for (const TViewSpan &s : v.Spans) utf8Text |= s.Charset == "utf-8" && s.Text.find("Hello") != std::string::npos;
  EXPECT_TRUE(utf8Text);

  EXPECT_EQ(v.HtmlFile, dir.File("Inbox/1.html"));  // named from the message file up to its first period
  EXPECT_EQ(ReadAll(v.HtmlFile), "<p>Hi</p>");
  EXPECT_TRUE(v.ShowAttachments);
  ASSERT_EQ(v.Attachments.size(), 2u);
  EXPECT_EQ(v.Attachments[0].Caption, "pic.gif");  // named by the type's name= only
  EXPECT_EQ(v.Attachments[0].Category, 8);
  EXPECT_EQ(ReadAll(v.Attachments[0].Path), picture);
  EXPECT_EQ(v.Attachments[1].Path, dir.File("Inbox/evil.bin"));
  EXPECT_EQ(ReadAll(v.Attachments[1].Path), binary);
  EXPECT_EQ(v.PartFiles, (std::vector<std::string>{"pic.gif", "evil.bin"}));
  EXPECT_FALSE(FileExists(dir.File("evil.bin")));
}

TEST(MessageView, AllFormHidesTheTraceLinesAndShowsRawHeaders) {
  TempDir dir;
  WriteAll(dir.File("m"), Stored("From: a@b\r\nSubject: s\r\n\r\nbody\r\n"));
  const std::string text = ViewMessageFile(dir.File("m"), dir.Path(), THeaderForm::hfAll, {}).Text();
  EXPECT_EQ(text, "From: a@b\r\nSubject: s\r\n\r\n\r\nbody\r\n") << text;
}

TEST(MessageView, NamesAreDecodedAndNeverOverwriteAnotherMessagesFiles) {
  TempDir dir;
  const std::string list = dir.Path();
  ForceDirectories(dir.File("Inbox/"));
  auto message = [](const std::string &disposition, const std::string &data) {
    return Stored("Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Disposition: " +
                  disposition + "\r\n\r\n" + data + "\r\n--b--\r\n");
  };
  const struct {
    const char *name, *disposition, *file;
  } messages[] = {
      {"u1", "attachment; filename=\"same.txt\"", "same.txt"},
      {"u2", "attachment; filename=\"same.txt\"", "same1.txt"},  // another message's name
      {"u3", "attachment; filename*=utf-8''caf%C3%A9.txt", "caf\xe9.txt"},
      {"u4", "attachment; filename*0*=iso-8859-1''r%E9s; filename*1=\"um\xe9.pdf\"", "r\xe9sum\xe9.pdf"},
      {"u5", "attachment; filename=\"=?utf-8?B?w6l0w6k=?=.doc\"", "\xe9t\xe9.doc"},
      {"u6", "attachment; filename=\"/..\"", "attachment1"},
  };
  TFolderIndex inbox(list, TMailFolder::mfInbox);
  for (const auto &m : messages) {
    const std::string file = dir.File("Inbox/") + m.name + ".msg";
    WriteAll(file, message(m.disposition, std::string("data of ") + m.name));
    inbox.Write({m.name, "f", "s", "d", true, 1, true, false, file});
  }
  const std::vector<TMessageRow> rows = MessageGridRows(list, TMailFolder::mfInbox);
  ASSERT_EQ(rows.size(), std::size(messages));
  for (size_t i = 0; i < rows.size(); ++i) {
    const TViewedMessage v = ViewFolderMessage(list, TMailFolder::mfInbox, rows[i], THeaderForm::hfNormal);
    ASSERT_EQ(v.Attachments.size(), 1u) << rows[i].Name;
    EXPECT_EQ(v.Attachments[0].Path, dir.File("Inbox/") + messages[i].file) << rows[i].Name;
    EXPECT_EQ(ReadAll(v.Attachments[0].Path), std::string("data of ") + messages[i].name);
  }
  // Shown again, a message overwrites its own file and keeps its name.
  WriteAll(dir.File("Inbox/u1.msg"), message("attachment; filename=\"same.txt\"", "new data"));
  const TMessageRow first = MessageGridRows(list, TMailFolder::mfInbox)[0];
  EXPECT_EQ(first.Status, "Viewed");
  const TViewedMessage again = ViewFolderMessage(list, TMailFolder::mfInbox, first, THeaderForm::hfNormal);
  EXPECT_EQ(again.Attachments[0].Path, dir.File("Inbox/same.txt"));
  EXPECT_EQ(ReadAll(dir.File("Inbox/same.txt")), "new data");
  EXPECT_EQ(ReadAll(dir.File("Inbox/same1.txt")), "data of u2");
  EXPECT_EQ(QDir(QString::fromStdString(dir.Path())).entryList(QDir::Files).size(), 1);  // only Inbox.dat
}

TEST(MessageView, TwoPartsOfOneNameAndFilesThatCannotBeShown) {
  TempDir dir;
  WriteAll(dir.File("m"), Stored("Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                                 "--b\r\nContent-Type: application/pdf; name=a.pdf\r\n\r\none\r\n"
                                 "--b\r\nContent-Type: application/pdf; name=a.pdf\r\n\r\ntwo\r\n--b--\r\n"));
  const TViewedMessage v = ViewMessageFile(dir.File("m"), dir.Path(), THeaderForm::hfNormal, {"a.pdf"});
  ASSERT_EQ(v.Attachments.size(), 2u);
  EXPECT_EQ(ReadAll(dir.File("a.pdf")), "one");
  EXPECT_EQ(ReadAll(v.Attachments[1].Path), "two");
  EXPECT_NE(v.Attachments[1].Path, dir.File("a.pdf"));

  TMessageRow row;
  row.Date = "d";
  EXPECT_THROW(ViewFolderMessage(dir.Path(), TMailFolder::mfInbox, row, THeaderForm::hfNormal), EMessageNotAvailable);
  row.Path = dir.File("missing.msg");
  EXPECT_THROW(ViewFolderMessage(dir.Path(), TMailFolder::mfInbox, row, THeaderForm::hfNormal), EMessageNotAvailable);
  // An attachment that cannot be written ends the showing.
  WriteAll(dir.File("m2"), Stored("Content-Type: text/plain; name=x.bin\r\nContent-Disposition: attachment\r\n\r\nx\r\n"));
  EXPECT_THROW(ViewMessageFile(dir.File("m2"), dir.File("no/such/dir/"), THeaderForm::hfNormal, {}),
               EMessageNotAvailable);
  // Sent copies are shown as they are.
  WriteAll(dir.File("s.txt"), "{\\rtf1 hello}");
  row.Path = dir.File("s.txt");
  const TViewedMessage sent = ViewFolderMessage(dir.Path(), TMailFolder::mfSent, row, THeaderForm::hfNormal);
  EXPECT_TRUE(sent.AsIs);
  EXPECT_TRUE(sent.RichText);
  EXPECT_EQ(sent.Content, "{\\rtf1 hello}");
}

TEST(MimeWords, EncodedWordsAndExtendedParameters) {
  using V = std::vector<TCharsetText>;
  EXPECT_EQ(DecodeEncodedWords("plain"), (V{{"", "plain"}}));
  EXPECT_EQ(DecodeEncodedWords("=?UTF-8?Q?a_b=3F?= tail"), (V{{"utf-8", "a b?"}, {"", " tail"}}));
  EXPECT_EQ(DecodeEncodedWords("=?utf-8?B?w6k=?= =?utf-8?B?w6k=?="), (V{{"utf-8", "\xc3\xa9\xc3\xa9"}}));
  EXPECT_EQ(DecodeEncodedWords("Re: =?iso-8859-1*fr?q?caf=E9?="), (V{{"", "Re: "}, {"iso-8859-1", "caf\xe9"}}));
  EXPECT_EQ(DecodeEncodedWords("=?bad =?x?z?y?="), (V{{"", "=?bad =?x?z?y?="}}));
  EXPECT_EQ(MimeParameter("; name=\"a b.txt\"", "name"), (TCharsetText{"", "a b.txt"}));
  EXPECT_EQ(MimeParameter("; filename*=UTF-8'en'%E2%82%AC.txt; filename=x", "filename"),
            (TCharsetText{"utf-8", "\xe2\x82\xac.txt"}));
  EXPECT_EQ(MimeParameter("; size=3", "filename").Bytes, "");
}

}  // namespace
