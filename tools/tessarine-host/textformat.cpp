#include "textformat.h"

#include <cstdarg>
#include <utility>

std::string strprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

std::string printable(const char* text) {
  std::string result;
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    result += (c < 0x20 || c == 0x7f) ? '?' : char(c);
  }
  return result;
}

TextTable::TextTable(std::vector<std::string> header, std::vector<bool> rightAligned)
    : rightAligned_(std::move(rightAligned)) {
  rightAligned_.resize(header.size(), false);
  rows_.push_back(std::move(header));
}

void TextTable::addRow(std::vector<std::string> cells) {
  cells.resize(rows_.front().size());
  rows_.push_back(std::move(cells));
}

void TextTable::print(std::FILE* out, const std::string& indent) const {
  const std::vector<size_t> widths = columnWidths();
  for (const auto& row : rows_) printRow(out, indent, row, widths);
}

std::vector<size_t> TextTable::columnWidths() const {
  std::vector<size_t> widths(rows_.front().size(), 0);
  for (const auto& row : rows_)
    for (size_t c = 0; c < row.size(); ++c)
      if (row[c].size() > widths[c]) widths[c] = row[c].size();
  return widths;
}

void TextTable::printRow(std::FILE* out, const std::string& indent,
                         const std::vector<std::string>& cells,
                         const std::vector<size_t>& widths) const {
  std::string line = indent;
  for (size_t c = 0; c < cells.size(); ++c) {
    const std::string padding(widths[c] - cells[c].size(), ' ');
    const bool last = c + 1 == cells.size();
    if (c > 0) line += "  ";
    if (rightAligned_[c])
      line += padding + cells[c];
    else
      line += last ? cells[c] : cells[c] + padding;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::fprintf(out, "%s\n", line.c_str());
}
