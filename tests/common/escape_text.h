// A text as the scenario files and the UI robot's transcripts write it on
// one tab-separated line: a line-feed as the two characters \n, a carriage
// return as \r, a tab as \t. Shared by the native scenario runner and the
// robot (a Windows program), so the two transcripts agree to the character.
#pragma once

#include <string>

inline std::string EscapeText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}
