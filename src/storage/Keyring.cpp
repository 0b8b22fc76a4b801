#include "storage/Keyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Brevant");

// Starts `job` and hands its outcome to `done`; the job deletes itself once finished.
void Start(QKeychain::Job *job, const std::string &key, TKeyringDone done,
           std::function<std::string(QKeychain::Job *)> secret = nullptr) {
  job->setAutoDelete(true);
  job->setInsecureFallback(false);  // a password never lands in a file behind the user's back
  job->setKey(QString::fromStdString(key));
  QObject::connect(job, &QKeychain::Job::finished, [done = std::move(done), secret](QKeychain::Job *j) {
    const bool ok = j->error() == QKeychain::NoError;
    const std::string value = !ok ? j->errorString().toStdString() : secret ? secret(j) : std::string();
    // A job without a keyring to ask may finish inside start(): the caller still hears later.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [done, ok, value] { done(ok, value); }, Qt::QueuedConnection);
  });
  job->start();
}

}  // namespace

void KeyringStore(const std::string &key, const std::string &secret, TKeyringDone done) {
  auto *job = new QKeychain::WritePasswordJob(kService);
  job->setBinaryData(QByteArray::fromStdString(secret));  // the bytes as the program keeps them
  Start(job, key, std::move(done));
}

void KeyringFetch(const std::string &key, TKeyringDone done) {
  Start(new QKeychain::ReadPasswordJob(kService), key, std::move(done), [](QKeychain::Job *j) {
    return static_cast<QKeychain::ReadPasswordJob *>(j)->binaryData().toStdString();
  });
}

void KeyringForget(const std::string &key, TKeyringDone done) {
  Start(new QKeychain::DeletePasswordJob(kService), key, std::move(done));
}

bool KeyringFetchWaiting(const std::string &key, std::string *secret) {
  QEventLoop loop;
  bool ok = false, finished = false;
  KeyringFetch(key, [&](bool success, const std::string &value) {
    ok = success;
    if (success) *secret = value;
    finished = true;
    loop.quit();
  });
  if (!finished) loop.exec();
  return ok;
}
