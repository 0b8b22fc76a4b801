#pragma once
// The "Security" choice of a server's settings, shared by the servers dialog and a list's
// server pages.
class QComboBox;
class QLineEdit;
class QWidget;

// "None", "STARTTLS", "SSL/TLS"; a new choice moves the port box to its usual port unless
// the user typed another one.
QComboBox *SecurityBox(const char *name, bool smtp, QLineEdit *port, QWidget *parent = nullptr);
