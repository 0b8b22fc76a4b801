// Passwords of registered servers: in a real gnome-keyring on a private D-Bus session started
// here, and in the registry file while no keyring runs on that bus.
#include "lists/ListPasswords.h"
#include "storage/Keyring.h"
#include "storage/ServerPasswords.h"
#include "mail/PopSettings.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// A session bus of our own that starts nothing by itself (no service files), so that no
// keyring appears on it unless the test starts one.
const char kBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

class PrivateSession {
public:
  PrivateSession() {
    WriteAll(dir_.Path() + "bus.conf", kBusConfig);
    bus_.start("dbus-daemon", {"--config-file=" + QString::fromStdString(dir_.Path()) + "bus.conf", "--nofork",
                               "--print-address=1"});
    if (!bus_.waitForStarted(5000)) return;
    QByteArray out;
    while (!out.contains('\n') && bus_.waitForReadyRead(5000)) out += bus_.readAllStandardOutput();
    Address = out.trimmed().toStdString();
    // The process talks to this bus from now on (it has not talked to any before).
    if (!Address.empty()) ::setenv("DBUS_SESSION_BUS_ADDRESS", Address.c_str(), 1);
  }
  ~PrivateSession() {
    for (QProcess *p : {&keyring_, &bus_}) {
      if (p->state() == QProcess::NotRunning) continue;
      p->terminate();
      if (!p->waitForFinished(5000)) p->kill(), p->waitForFinished(5000);
    }
  }
  // gnome-keyring's secret service, its login keyring unlocked with a test password.
  bool StartKeyring() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(dir_.Path()));
    env.insert("XDG_DATA_HOME", QString::fromStdString(dir_.Path() + "data"));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir_.Path()));
    keyring_.setProcessEnvironment(env);
    keyring_.start("gnome-keyring-daemon", {"--unlock", "--components=secrets", "--foreground"});
    if (!keyring_.waitForStarted(5000)) return false;
    keyring_.write("test-password");
    keyring_.closeWriteChannel();
    // Ready once the bus knows the service.
    for (int i = 0; i < 100; ++i) {
      QProcess ask;
      ask.start("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                              "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
      ask.waitForFinished(5000);
      if (ask.readAllStandardOutput().contains("boolean true")) return true;
      RunEventsUntil([] { return false; }, 100);
    }
    return false;
  }
  std::string Address;

private:
  TempDir dir_;
  QProcess bus_, keyring_;
};

// Waits in the event loop for MovePasswordToKeyring.
std::optional<TPasswordPlace> Move(const std::string &dataDir, bool smtp, const std::string &name) {
  std::optional<TPasswordPlace> place;
  MovePasswordToKeyring(dataDir, smtp, name, [&](TPasswordPlace p) { place = p; });
  EXPECT_FALSE(place.has_value()) << "the keyring is asked without waiting for it";
  RunEventsUntil([&] { return place.has_value(); }, 30000);
  return place;
}

// Waits in the event loop for MoveListPasswordsToKeyring; whether a password stayed in the file.
std::optional<bool> MoveList(const std::string &dataDir, const std::string &name) {
  std::optional<bool> inFile;
  MoveListPasswordsToKeyring(dataDir, name, [&](bool f) { inFile = f; });
  EXPECT_FALSE(inFile.has_value()) << "the keyring is asked without waiting for it";
  RunEventsUntil([&] { return inFile.has_value(); }, 30000);
  return inFile;
}

TEST(ServerPasswords, InTheFileWithoutAKeyringThenInTheKeyring) {
  EnsureQtApp();
  PrivateSession session;
  ASSERT_FALSE(session.Address.empty()) << "dbus-daemon did not start";
  TempDir data;
  TSmtpServer smtp{"mail.example.org", "ann", "587", 0, 1, 1, true, "s3cret"};
  TPopServer pop{"pop.example.org", "bob", "p0p-pass", "995", false, 2};
  WriteSmtpServer(data.Path(), smtp);
  WritePopServer(data.Path(), pop);
  TListRecord list;
  list.Path = data.Path();
  list.SMTPPassword = "list-smtp";
  list.POPPassword = "list-pop";
  WriteListRecord(data.Path(), "News", list, false, "");

  // No keyring on the bus: the passwords stay in the files, and the user is told once.
  EXPECT_EQ(Move(data.Path(), true, smtp.Name), TPasswordPlace::ppFile);
  EXPECT_EQ(ReadSmtpServer(data.Path(), smtp.Name).Password, "s3cret");
  EXPECT_FALSE(ReadSmtpServer(data.Path(), smtp.Name).PasswordInKeyring);
  const std::string notice = PasswordFileNoticeOnce(data.Path());
  EXPECT_NE(notice.find(SmtpRegistryPath(data.Path())), std::string::npos) << notice;
  EXPECT_NE(notice.find(ListsFile(data.Path())), std::string::npos) << notice;
  EXPECT_EQ(PasswordFileNoticeOnce(data.Path()), "");
  EXPECT_EQ(MoveList(data.Path(), "News"), true);
  EXPECT_EQ(LoadListRecord(data.Path(), "News").SMTPPassword, "list-smtp");

  // A keyring starts: the next save moves the password there and out of the file.
  ASSERT_TRUE(session.StartKeyring());
  EXPECT_EQ(Move(data.Path(), true, smtp.Name), TPasswordPlace::ppKeyring);
  EXPECT_EQ(Move(data.Path(), false, pop.Name), TPasswordPlace::ppKeyring);
  const std::string file = ReadAll(SmtpRegistryPath(data.Path())) + ReadAll(PopRegistryPath(data.Path()));
  EXPECT_EQ(file.find("s3cret"), std::string::npos) << file;
  EXPECT_EQ(file.find("p0p-pass"), std::string::npos) << file;
  TSmtpServer read = ReadSmtpServer(data.Path(), smtp.Name);
  EXPECT_TRUE(read.PasswordInKeyring);
  EXPECT_EQ(read.Password, "");
  EXPECT_TRUE(FetchServerPasswordWaiting(data.Path(), &read));
  EXPECT_EQ(read.Password, "s3cret");
  // Get New's settings come with the password, from the keyring.
  EXPECT_EQ(DefaultPopSettings(data.Path(), 0).PassWord, "p0p-pass");
  // Saving an entry whose password is kept already leaves it there.
  EXPECT_EQ(Move(data.Path(), true, smtp.Name), TPasswordPlace::ppKeyring);
  read = ReadSmtpServer(data.Path(), smtp.Name);
  EXPECT_TRUE(FetchServerPasswordWaiting(data.Path(), &read));
  EXPECT_EQ(read.Password, "s3cret");

  // A list's own passwords move the same way, and come back with its record.
  EXPECT_EQ(MoveList(data.Path(), "News"), false);
  EXPECT_EQ(ReadAll(ListsFile(data.Path())).find("list-"), std::string::npos) << ReadAll(ListsFile(data.Path()));
  TListRecord back = LoadListRecordWithPasswords(data.Path(), "News");
  EXPECT_EQ(back.SMTPPassword, "list-smtp");
  EXPECT_EQ(back.POPPassword, "list-pop");
  // Saved again with the keyring's passwords shown, or without one it could not give: kept.
  WriteListRecord(data.Path(), "News", back, true, "News");
  EXPECT_EQ(MoveList(data.Path(), "News"), false);
  back.SMTPPassword.clear();
  back.POPPassword = "changed";
  WriteListRecord(data.Path(), "News", back, true, "News");
  EXPECT_EQ(MoveList(data.Path(), "News"), false);
  back = LoadListRecordWithPasswords(data.Path(), "News");
  EXPECT_EQ(back.SMTPPassword, "list-smtp");
  EXPECT_EQ(back.POPPassword, "changed");
  // Cleared in the panel (flag off, no password): forgotten; a removed list forgets the rest.
  back.SMTPPassword.clear();
  back.SMTPPasswordInKeyring = false;
  WriteListRecord(data.Path(), "News", back, true, "News");
  EXPECT_EQ(MoveList(data.Path(), "News"), false);
  EXPECT_EQ(LoadListRecordWithPasswords(data.Path(), "News").SMTPPassword, "");
  ForgetListPasswords(data.Path(), "News");
  std::string none = "unchanged";
  RunEventsUntil([&] { return !KeyringFetchWaiting(ListPasswordKey(data.Path(), false, "News"), &none); }, 10000);
  EXPECT_EQ(none, "unchanged");

  // Another data folder's server of the same name has its own entry.
  TempDir other;
  smtp.Password = "other";
  WriteSmtpServer(other.Path(), smtp);
  EXPECT_EQ(Move(other.Path(), true, smtp.Name), TPasswordPlace::ppKeyring);
  read = ReadSmtpServer(data.Path(), smtp.Name);
  EXPECT_TRUE(FetchServerPasswordWaiting(data.Path(), &read));
  EXPECT_EQ(read.Password, "s3cret");

  // A password cleared in the dialog is forgotten by the keyring too.
  smtp.Password.clear();
  WriteSmtpServer(other.Path(), smtp);
  EXPECT_EQ(Move(other.Path(), true, smtp.Name), TPasswordPlace::ppNone);
  std::string gone = "unchanged";
  EXPECT_FALSE(KeyringFetchWaiting(ServerPasswordKey(other.Path(), true, smtp.Name), &gone));
  EXPECT_EQ(gone, "unchanged");
}

}  // namespace
