#include "compose/HtmlInsert.h"

std::string HyperlinkTag(const std::string &href, const std::string &description) {
  return "<a href=\"" + href + "\">" + description + "</a>";
}

std::string ImageTag(const std::string &source, int border, const std::string &align, const std::string &alt) {
  return "<img src=\"" + source + "\" border=" + std::to_string(border) + " align=\"" + align + "\" alt=\"" + alt +
         "\">";
}

std::string MailtoTag(const std::string &address, const std::string &description) {
  return HyperlinkTag("mailto:" + address, description);
}
