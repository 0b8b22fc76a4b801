#pragma once
// Received text as its sender wrote it: encoded words of headers decoded, text in its
// declared charset, and the pictures of the attachments.
#include <QIcon>
#include <QString>
#include <string>

QString HeaderToQString(const std::string &header);
// The paper clip that marks messages with attachments.
QIcon AttachmentMarkIcon();
// The picture of an attachment kind (the images of AttachmentCategory).
QIcon AttachmentIcon(int category);
