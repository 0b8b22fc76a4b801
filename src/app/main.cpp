#include "storage/Ansi.h"
#include "storage/DataDirectory.h"
#include "ui/BrevantApplication.h"
#include "ui/MainWindow.h"
#include "ui/SplashWindow.h"

#include <QIcon>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[]) {
  TBrevantApplication app(argc, argv);
  // The desktop entry's name lets the desktop match the window to its entry and icon.
  QGuiApplication::setDesktopFileName("brevant");
  QIcon icon;
  for (const char *file : {":/brevant-48.png", ":/brevant-256.png"}) icon.addFile(file);
  QApplication::setWindowIcon(icon);
  std::vector<std::string> args;
  for (const QString &arg : QCoreApplication::arguments()) args.push_back(QStringToAnsi(arg));
  std::string dataDirOption;
  if (!TakeDataDirOption(args, &dataDirOption)) {
    std::fputs("brevant: --data-dir needs a folder\n", stderr);
    return 2;
  }
  const std::string exeDir = QStringToAnsi(QCoreApplication::applicationDirPath());
  std::unique_ptr<Tfrm_Main> window;
  {
    // The splash goes away when the windows stand, or when building them failed.
    Tfrm_Splash splash;
    splash.ShowNow();
    try {
      const TDataDirectory dataDir = PrepareDataDirectory(DataDirectoryInputs(exeDir, dataDirOption));
      window = std::make_unique<Tfrm_Main>(AnsiToQString(dataDir.Path));
      window->SetHelpFile(AnsiToQString(HelpFilePath(exeDir)));
      window->CreateGenProps();
    } catch (const std::exception &e) {
      splash.close();
      TBrevantApplication::ShowError(QString::fromLocal8Bit(e.what()));
      return 1;
    }
  }
  window->show();
  return app.exec();
}
