#pragma once
// The HTML tags the Insert > HTML commands put into the newsletter as text. Values go in as
// typed: the user may write anything an HTML attribute takes, field codes included.
#include <string>

std::string HyperlinkTag(const std::string &href, const std::string &description);
std::string ImageTag(const std::string &source, int border, const std::string &align, const std::string &alt);
std::string MailtoTag(const std::string &address, const std::string &description);
