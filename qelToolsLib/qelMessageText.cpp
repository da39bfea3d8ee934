#include "qelToolsLib/qelMessageText.h"

namespace qelToolsLib {
namespace msgtext {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

uint32_t advance(uint32_t column, char c) {
  return c == '\t' ? (column / 8 + 1) * 8 : column + 1;
}

uint32_t columnsFrom(const std::string& text, size_t start) {
  uint32_t column = 0;
  for (size_t i = start; i < text.size(); ++i) column = advance(column, text[i]);
  return column;
}

}  // namespace

void trimTrailing(std::string& text) {
  size_t end = text.find_last_not_of(" \t\r\n");
  text.erase(end == std::string::npos ? 0 : end + 1);
}

std::string wrap(const std::string& text, uint32_t width) {
  if (width == 0 || width >= kUnlimitedWidth) return text;
  std::string out;
  out.reserve(text.size() + text.size() / width + 1);
  uint32_t column = 0;
  size_t lastBlank = std::string::npos;  // position in `out` on the current line
  for (char c : text) {
    if (c == '\n') {
      out += c;
      column = 0;
      lastBlank = std::string::npos;
      continue;
    }
    if (column > 0 && advance(column, c) > width) {
      if (isBlank(c)) {  // break here; the blank itself is dropped
        out += '\n';
        column = 0;
        lastBlank = std::string::npos;
        continue;
      }
      if (lastBlank != std::string::npos) {
        out[lastBlank] = '\n';
        column = columnsFrom(out, lastBlank + 1);
      } else {
        out += '\n';
        column = 0;
      }
      lastBlank = std::string::npos;
    }
    if (isBlank(c)) lastBlank = out.size();
    out += c;
    column = advance(column, c);
  }
  return out;
}

uint32_t lastLineColumns(const std::string& text) {
  size_t newline = text.rfind('\n');
  return columnsFrom(text, newline == std::string::npos ? 0 : newline + 1);
}

std::string decorate(const std::string& text, const std::string& id, uint32_t width) {
  const bool widthSet = width != 0 && width < kUnlimitedWidth;
  const bool ownLine = widthSet && lastLineColumns(text) + id.size() + 6 > width;
  std::string out = text;
  out += ownLine ? '\n' : ' ';
  out += "[ID=" + id + "]";
  if (width == 0) out += '\n';
  return out;
}

std::string substitute(const std::string& text, const std::string& insert) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
      out += insert;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace msgtext
}  // namespace qelToolsLib
