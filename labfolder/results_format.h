#pragma once

#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/files.h"

namespace cue {

// The results file's format: 8-bit ASCII, one TAB after every field (the last one of a line
// included), CR LF after that TAB. Line 1 is "#" and the 13 column names; every other line is
// one answered trial. The file is never held open between writes.

// A value of a row: a whole number, a single-precision number (twips) or a text.
using FieldValue = std::variant<std::int32_t, float, std::string>;

// CR LF.
const std::string& LineEnd();

// A float as its shortest decimal text that reads back as the same single-precision value,
// with at most 7 significant digits, no decimal point when whole, and E notation outside
// 1E-5 .. 1E+7 ("1.5E+07").
std::string FormatSingle(float value);

// The number a whole text spells, locale-free (from_chars): false, value untouched or
// partly set, for an empty text, one with anything after the number, or one out of range.
template <typename T>
bool ReadNumber(std::string_view text, T& value) {
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

// Decimal text of a value, as written into the file.
std::string FieldText(const FieldValue& value);

// The lines of a text, each with its line end (a last line without one as it is).
std::vector<std::string> LinesOf(std::string_view text);

// The 13 column names, in column order.
const std::vector<std::string>& ResultsColumns();

// The header line: "#", each name followed by TAB, CR LF.
std::string HeaderLine(const std::vector<std::string>& names);

// One answered trial as read back from a results file.
struct ResultsRow {
  int line = 0;  // 1-based line number in the file
  std::int32_t trialNumber = 0, blockNumber = 0, blockType = 0, orderCondition = 0, trialType1 = 0,
               targetNumber = 0, targetPosition = 0;
  float targetPositionX = 0, targetPositionY = 0;
  std::int32_t targetNumberCounter = 0, flickerDelay = 0, subjectRes = 0, rt = 0;
};

// A results file read back. Every line must be what the writer writes: the header line, or 13
// fields each followed by a TAB, then CR LF. A line that is not (cut off by a crash, edited by
// hand) is not taken as a row; problems names it and says why.
struct ParsedResults {
  int headers = 0;  // header lines seen: more than one means a second run was appended
  std::vector<ResultsRow> rows;
  std::vector<std::string> problems;  // "line N: ..."
};
ParsedResults ParseResults(std::string_view text);

// Writes the values in order, each followed by a TAB, except LineEnd(), written as it is.
void WriteFields(AppendFile& file, const std::vector<FieldValue>& values);

// Opens, writes the header line, closes.
std::optional<FileError> WriteHeader(FileSystem& files, const std::string& fileName,
                                     const std::vector<std::string>& names);

}  // namespace cue
