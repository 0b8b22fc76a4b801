#include "ui/SecurityBox.h"

#include "storage/Ansi.h"
#include "storage/ServerRegistry.h"

#include <QComboBox>
#include <QLineEdit>

QComboBox *SecurityBox(const char *name, bool smtp, QLineEdit *port, QWidget *parent) {
  auto *box = new QComboBox(parent);
  box->setObjectName(name);
  box->addItems({"None", "STARTTLS", "SSL/TLS"});
  box->setToolTip(smtp ? "STARTTLS: usually port 587; SSL/TLS: usually port 465"
                       : "STARTTLS (STLS): usually port 110; SSL/TLS: usually port 995");
  QObject::connect(box, &QComboBox::currentIndexChanged, port, [=](int index) {
    port->setText(AnsiToQString(PortForSecurity(smtp, index, QStringToAnsi(port->text()))));
  });
  return box;
}
