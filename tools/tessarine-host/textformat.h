#pragma once
// Small text helpers: printf-style formatting into a string, and aligned tables.

#include <cstdio>
#include <string>
#include <vector>

std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Turns bytes a plug-in wrote into printable text: control characters become '?'.
std::string printable(const char* text);

// Rows of cells printed with every column padded to its widest cell. Columns
// marked right-aligned suit numbers; the last column is never padded on the right.
class TextTable {
 public:
  TextTable(std::vector<std::string> header, std::vector<bool> rightAligned);
  void addRow(std::vector<std::string> cells);
  void print(std::FILE* out, const std::string& indent) const;

 private:
  std::vector<size_t> columnWidths() const;
  void printRow(std::FILE* out, const std::string& indent, const std::vector<std::string>& cells,
                const std::vector<size_t>& widths) const;

  std::vector<std::vector<std::string>> rows_;
  std::vector<bool> rightAligned_;
};
