#include "ui/BrevantApplication.h"
#include "ui/MainWindow.h"
#include "ui/SplashWindow.h"

#include <memory>

int main(int argc, char *argv[]) {
  TBrevantApplication app(argc, argv);
  std::unique_ptr<Tfrm_Main> window;
  {
    // The splash goes away when the windows stand, or when building them failed.
    Tfrm_Splash splash;
    splash.ShowNow();
    try {
      window = std::make_unique<Tfrm_Main>(QCoreApplication::applicationDirPath() + "/");
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
