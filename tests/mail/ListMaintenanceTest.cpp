// Automatic list maintenance: subscribe and unsubscribe requests, bounces and the log.
#include "lists/AddressRecord.h"
#include "mail/BounceReport.h"
#include "mail/ListMaintenance.h"
#include "storage/IniFiles32.h"
#include "storage/TextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TMaintenanceSettings ByTo() {
  TMaintenanceSettings s;
  s.ListRun = true;
  s.AutoMaint = true;
  s.AddTo = true;
  s.AddToAddress = "join@list.org";
  s.AddSubAddress = "Add Me!";
  s.RemoveTo = true;
  s.RemoveToAddress = "leave@list.org";
  s.RemoveSubAddress = "Remove Me!";
  return s;
}

std::vector<std::string> Book(const std::string &listPath) {
  std::vector<std::string> sections;
  TIniFile32(AddressBookFile(listPath)).ReadSections(&sections);
  return sections;
}

// The log's lines after its heading, without the empty ones.
std::vector<std::string> LogLines(const std::string &listPath) {
  std::vector<std::string> lines;
  for (const std::string &l : SplitLines(ReadAll(listPath + kMaintenanceLogFile)))
    if (!l.empty() && l.rfind("Maintenance Log - ", 0) != 0) lines.push_back(l);
  return lines;
}

const std::vector<std::string> kNoLines;

void Subscribe(const std::string &listPath, const std::string &email, const std::string &name = "") {
  TAddressRecord r;
  r.Name = name;
  r.Email = email;
  WriteAddress(listPath, AddressKey(email), r);
}

TEST(ListMaintenance, SubscribeAndUnsubscribeByToAndBySubject) {
  TempDir dir;
  Subscribe(dir.Path(), "kept@x.org", "Kept Name");
  TListMaintenance m(dir.Path(), ByTo());
  m.Examine("New Reader <new@x.org>", "JOIN@List.ORG", "whatever", kNoLines);     // letter case aside
  m.Examine("Named <named@x.org>", "List <join@list.org>", "", kNoLines);          // display name: no match
  m.Examine("kept@x.org", "join@list.org", "", kNoLines);                          // existing record kept whole
  m.Examine("Old <old@x.org>", "leave@list.org", "", kNoLines);
  EXPECT_EQ(Book(dir.Path()), (std::vector<std::string>{"<kept@x.org>", "<new@x.org>"}));
  EXPECT_EQ(ReadAddress(TIniFile32(AddressBookFile(dir.Path())), "<kept@x.org>").Name, "Kept Name");
  EXPECT_EQ(m.Added(), 2);
  EXPECT_EQ(m.Removed(), 1);  // requests count, not effects: old@ was never there
  EXPECT_EQ(LogLines(dir.Path()),
            (std::vector<std::string>{"Added - new@x.org", "Added - kept@x.org", "Removed - old@x.org"}));

  TMaintenanceSettings bySubject = ByTo();
  bySubject.AddTo = bySubject.RemoveTo = false;
  bySubject.AddSub = bySubject.RemoveSub = true;
  TListMaintenance s(dir.Path(), bySubject);
  s.Examine("a@x.org", "join@list.org", "add me!", kNoLines);
  s.Examine("new@x.org", "", "REMOVE ME!", kNoLines);
  s.Examine("b@x.org", "", "Add Me! please", kNoLines);  // whole values only
  EXPECT_EQ(Book(dir.Path()), (std::vector<std::string>{"<kept@x.org>", "<a@x.org>"}));
  EXPECT_EQ(s.Added(), 1);
  EXPECT_EQ(s.Removed(), 1);
}

TEST(ListMaintenance, BothRulesAtOnceAndRequestsWithoutAnAddress) {
  TempDir dir;
  TMaintenanceSettings both = ByTo();
  both.RemoveToAddress = both.AddToAddress;
  TListMaintenance m(dir.Path(), both);
  m.Examine("x@y.org", "join@list.org", "", kNoLines);
  EXPECT_TRUE(Book(dir.Path()).empty());
  EXPECT_EQ(m.Added(), 1);
  EXPECT_EQ(m.Removed(), 1);
  // A From without an at sign adds no record and counts nothing.
  m.Examine("Just A Name", "join@list.org", "", kNoLines);
  EXPECT_TRUE(Book(dir.Path()).empty());
  EXPECT_EQ(m.Added(), 1);
  EXPECT_EQ(LogLines(dir.Path()),
            (std::vector<std::string>{"Added - x@y.org", "Removed - x@y.org",
                                      "Skipped - Subscribe request without an address: Just A Name",
                                      "Skipped - Unsubscribe request without an address: Just A Name"}));
  // An empty setting is no rule, even for a message without a subject.
  TMaintenanceSettings empty = ByTo();
  empty.AddTo = false;
  empty.AddSub = true;
  empty.AddSubAddress.clear();
  TListMaintenance e(dir.Path(), empty);
  e.Examine("z@y.org", "", "", kNoLines);
  EXPECT_EQ(e.Added(), 0);
}

TEST(ListMaintenance, TranscriptBouncesAndWhenNothingChanges) {
  TempDir dir;
  const std::vector<std::string> bounce = {
      "> UIDL 2", "< +OK 2 b", "Subject: Returned mail: User unknown", "",
      "   ----- Transcript of session follows -----",
      ">>> RCPT To:<dead@x.org>",
      "<<< 550 5.1.1 <dead@x.org>... User unknown",
      "> >>> RCPT To:<quoted@x.org>"};
  for (const char *name : {"dead@x.org", "other@x.org"}) Subscribe(dir.Path(), name);
  TMaintenanceSettings s = ByTo();
  s.AutoMaint = false;  // bounces work without subscribe handling
  s.EnabledIARSubjects = true;
  s.IARSubjects = {"Mail delivery failed", "RETURNED MAIL: USER UNKNOWN"};
  TListMaintenance m(dir.Path(), s);
  m.Examine("MAILER-DAEMON", "join@list.org", "Returned mail: User unknown", bounce);
  EXPECT_EQ(Book(dir.Path()), (std::vector<std::string>{"<other@x.org>"}));
  EXPECT_EQ(m.Removed(), 1);  // one address per transcript bounce
  EXPECT_EQ(m.Added(), 0);    // maintenance off: the To rule did not fire

  m.Examine("MAILER-DAEMON", "", "Some other subject", bounce);  // not a registered subject
  s.EnabledIARSubjects = false;
  TListMaintenance(dir.Path(), s).Examine("MAILER-DAEMON", "", "Returned mail: User unknown", bounce);
  TMaintenanceSettings pseudo = s;
  pseudo.ListRun = false;  // mail of the pseudo-list never changes a book
  pseudo.AutoMaint = pseudo.EnabledIARSubjects = true;
  TListMaintenance(dir.Path(), pseudo).Examine("a@b.org", "join@list.org", "Mail delivery failed", bounce);
  EXPECT_EQ(Book(dir.Path()), (std::vector<std::string>{"<other@x.org>"}));

  bool found = false;
  EXPECT_EQ(TranscriptAddress({">>> RCPT To:>bad@x.org<"}, &found), "");  // brackets the wrong way round
  EXPECT_TRUE(found);
  EXPECT_EQ(TranscriptAddress({"no marker@x.org", ">>> no at sign"}, &found), "");
  EXPECT_FALSE(found);
}

TEST(ListMaintenance, LogHeadingsOverTwoRuns) {
  TempDir dir;
  TListMaintenance(dir.Path(), ByTo()).OpenLog("07/12/2026 10:00:00");
  TListMaintenance second(dir.Path(), ByTo());
  second.OpenLog("07/12/2026 11:00:00");
  second.AddAddress("a@b.org");
  EXPECT_EQ(ReadAll(second.LogPath()),
            "Maintenance Log - 07/12/2026 10:00:00\r\n\r\n\r\n\r\n"
            "Maintenance Log - 07/12/2026 11:00:00\r\n\r\nAdded - a@b.org\r\n");
  EXPECT_EQ(MaintenanceSummary(0, 0), "");  // the retrieval run's test has the text of a summary
}

// Delivery reports in the forms three kinds of mail servers send them.
std::vector<std::string> Report(const std::string &boundaryHeader, const std::string &boundary,
                                const std::vector<std::string> &status) {
  std::vector<std::string> m = {"> UIDL 9", "< +OK 9 r", "From: MAILER-DAEMON@mx.org",
                                "Subject: Undelivered Mail Returned to Sender"};
  m.insert(m.end(), {boundaryHeader.substr(0, boundaryHeader.find('\n')),
                     boundaryHeader.substr(boundaryHeader.find('\n') + 1), "MIME-Version: 1.0", "",
                     "This is a MIME-encapsulated message.", "", "--" + boundary,
                     "Content-Type: text/plain; charset=us-ascii", "", "I'm sorry to have to inform you...",
                     ">> quoted text without an address", "", "--" + boundary,
                     "Content-Description: Delivery report", "Content-Type: message/delivery-status", ""});
  m.insert(m.end(), status.begin(), status.end());
  m.insert(m.end(), {"", "--" + boundary, "Content-Type: message/rfc822", "", "Final-Recipient: rfc822; inner@x.org",
                     "Action: failed", "Status: 5.1.1", "", "--" + boundary + "--"});
  return m;
}

TEST(BounceReport, DeliveryStatusGivesThePermanentlyFailedRecipients) {
  // Postfix: report-type before the boundary, groups after a per-message group.
  const auto postfix = Report("Content-Type: multipart/report; report-type=delivery-status;\n\tboundary=\"8A1B2C.1700000000/mx.org\"",
                              "8A1B2C.1700000000/mx.org",
                              {"Reporting-MTA: dns; mx.org", "X-Postfix-Queue-ID: 8A1B2C", "",
                               "Final-Recipient: rfc822; gone@x.org", "Original-Recipient: rfc822;gone@x.org",
                               "Action: failed", "Status: 5.1.1",
                               "Diagnostic-Code: smtp; 550 5.1.1 <gone@x.org>: Recipient address rejected", "",
                               "Final-Recipient: rfc822; slow@x.org", "Action: delayed", "Status: 4.4.1", "",
                               "Final-Recipient: rfc822; full@x.org", "Action: failed", "Status: 4.2.2"});
  EXPECT_EQ(FailedRecipients(postfix), (std::vector<std::string>{"gone@x.org"}));
  // Exim: the boundary first, unquoted, folded fields, an address in angle brackets.
  const auto exim = Report("Content-Type: multipart/report;\n boundary=1700000000-eximdsn-123; report-type=delivery-status",
                           "1700000000-eximdsn-123",
                           {"Reporting-MTA: dns; mail.example.net", "", "Action: failed",
                            "Final-Recipient: rfc822;", "  <nobody@x.org>", "Status: 5.0.0",
                            "Remote-MTA: dns; mx.x.org"});
  EXPECT_EQ(FailedRecipients(exim), (std::vector<std::string>{"nobody@x.org"}));
  // A web-mail provider: a quoted report type, blank lines before the groups, two failures.
  const auto webmail = Report("Content-Type: multipart/report; boundary=\"000000000000abcd\"; \n report-type=\"delivery-status\"",
                              "000000000000abcd",
                              {"", "Reporting-MTA: dns; googlemail.com", "Arrival-Date: Mon, 07 Dec 2026", "",
                               "Final-Recipient: rfc822; one@x.org", "Action: failed", "Status: 5.1.1", "",
                               "Final-Recipient: rfc822; two@x.org", "Action: FAILED", "Status: 5.2.1"});
  EXPECT_EQ(FailedRecipients(webmail), (std::vector<std::string>{"one@x.org", "two@x.org"}));
  // Not a delivery report: nothing, whatever the parts hold.
  auto other = postfix;
  other[4] = "Content-Type: multipart/mixed;";
  EXPECT_TRUE(FailedRecipients(other).empty());

  // Through maintenance: removed and logged like the transcript kind.
  TempDir dir;
  for (const char *name : {"one@x.org", "two@x.org", "three@x.org"}) Subscribe(dir.Path(), name);
  TMaintenanceSettings s;
  s.ListRun = s.EnabledIARSubjects = true;
  s.IARSubjects = {"Undelivered Mail Returned to Sender"};
  TListMaintenance m(dir.Path(), s);
  m.Examine("MAILER-DAEMON@mx.org", "", "Undelivered Mail Returned to Sender", webmail);
  EXPECT_EQ(Book(dir.Path()), (std::vector<std::string>{"<three@x.org>"}));
  EXPECT_EQ(LogLines(dir.Path()), (std::vector<std::string>{"Removed - one@x.org", "Removed - two@x.org"}));
}

}  // namespace
