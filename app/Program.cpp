// Start-up: the application object with its title and help file, the main
// window, then the message loop until the main window closes. No command
// line is read.
#include <QIcon>

#include "app/Config.h"
#include "app/Main.h"
#include "gif/qt/GifUnitQt.h"
#include "platform/qt/Application.h"
#include "results/qt/Confirm.h"

int main(int argc, char** argv) {
  platform::Application application(argc, argv);
  // The GIF library's registration, dialog, pump and wait cursor live as long
  // as the program.
  gif::GifUnitSession gifUnit;
  platform::Application::SetTitle(QString::fromLatin1(config::ApplicationTitle));
  platform::Application::SetHelpFile(QString::fromLatin1(config::ApplicationHelpFile));
  // Ties the windows to the installed desktop entry and its icon, so the
  // desktop shows them with the program's name and picture; where no icon of
  // that name is installed, the windows keep Qt's default.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(config::DesktopFileId));
  QGuiApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(config::DesktopFileId)));
  TFrmmain Frmmain;
  FrmConfirm = new TFrmConfirm(&Frmmain);
  Frmmain.show();
  return application.exec();
}
