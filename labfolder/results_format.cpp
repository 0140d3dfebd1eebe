#include "labfolder/results_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cue {

const std::string& LineEnd() {
  static const std::string kCrLf = "\r\n";
  return kCrLf;
}

namespace {

// Every conversion goes through to_chars and from_chars, which know no locale: the text has
// a point as decimal separator whatever locale the user's session sets.
std::string Chars(double value, std::chars_format format, int precision) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision).ptr;
  return std::string(buffer, end);
}

// Significant digits of the shortest text that reads back as the same float.
int ShortestDigits(float value) {
  for (int digits = 1; digits < 7; ++digits) {
    const std::string text = Chars(value, std::chars_format::scientific, digits - 1);
    float back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    if (back == value) return digits;
  }
  return 7;
}

}  // namespace

std::string FormatSingle(float value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  const int digits = ShortestDigits(value);
  const std::string scientific = Chars(value, std::chars_format::scientific, digits - 1);
  const std::size_t e = scientific.find('e');
  const int exponent = std::atoi(scientific.c_str() + e + 1);
  if (exponent >= 7 || exponent < -5) {
    // E notation: mantissa without trailing zeros, then E, sign, two or more digits.
    std::string text = scientific.substr(0, e);
    if (text.find('.') != std::string::npos) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return text + tail;
  }
  const int decimals = digits - 1 - exponent;
  return Chars(value, std::chars_format::fixed, decimals > 0 ? decimals : 0);
}

std::string FieldText(const FieldValue& value) {
  if (const auto* whole = std::get_if<std::int32_t>(&value)) return std::to_string(*whole);
  if (const auto* single = std::get_if<float>(&value)) return FormatSingle(*single);
  return std::get<std::string>(value);
}

std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

const std::vector<std::string>& ResultsColumns() {
  static const std::vector<std::string> kColumns = {"trialNumber",
                                                    "BlockNumber",
                                                    "blockType",
                                                    "orderCondition",
                                                    "trialType1",
                                                    "targetNumber",
                                                    "targetPosition",
                                                    "targetPositionX",
                                                    "targetPositionY",
                                                    "targetNumberCounter",
                                                    "FLICKER_DELAY",
                                                    "subject_res",
                                                    "RT"};
  return kColumns;
}

std::string HeaderLine(const std::vector<std::string>& names) {
  std::string line = "#";
  for (const auto& name : names) line += name + '\t';
  return line + LineEnd();
}

void WriteFields(AppendFile& file, const std::vector<FieldValue>& values) {
  for (const auto& value : values) {
    const auto* text = std::get_if<std::string>(&value);
    if (text != nullptr && *text == LineEnd()) {
      file.Write(*text);
    } else {
      file.Write(FieldText(value) + '\t');
    }
  }
}

std::optional<FileError> WriteHeader(FileSystem& files, const std::string& fileName,
                                     const std::vector<std::string>& names) {
  auto opened = files.OpenForAppend(fileName);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(HeaderLine(names));
  return file->Close();
}

}  // namespace cue

namespace cue {

namespace {

// The row of one line without its CR LF, or why it is not one.
std::variant<ResultsRow, std::string> ParseRow(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
       start = tab + 1, tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
  }
  if (start != line.size()) return std::string("text after the last TAB");
  if (fields.size() != ResultsColumns().size()) {
    return std::to_string(fields.size()) + " fields instead of " +
           std::to_string(ResultsColumns().size());
  }
  ResultsRow row;
  std::int32_t* wholes[] = {
      &row.trialNumber, &row.blockNumber,         &row.blockType,      &row.orderCondition,
      &row.trialType1,  &row.targetNumber,        &row.targetPosition, nullptr,
      nullptr,          &row.targetNumberCounter, &row.flickerDelay,   &row.subjectRes,
      &row.rt};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    float* single = i == 7 ? &row.targetPositionX : i == 8 ? &row.targetPositionY : nullptr;
    const bool ok = single ? ReadNumber(fields[i], *single) : ReadNumber(fields[i], *wholes[i]);
    if (!ok) return ResultsColumns()[i] + " is not a number: \"" + std::string(fields[i]) + "\"";
  }
  return row;
}

}  // namespace

ParsedResults ParseResults(std::string_view text) {
  ParsedResults parsed;
  const std::string headerLine = HeaderLine(ResultsColumns());
  const std::string_view header(headerLine.data(), headerLine.size() - LineEnd().size());
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    ++number;
    const std::size_t end = text.find(LineEnd(), start);
    const std::string where = "line " + std::to_string(number) + ": ";
    if (end == std::string_view::npos) {
      parsed.problems.push_back(where + "cut off (no line end)");
      break;
    }
    const std::string_view line = text.substr(start, end - start);
    start = end + LineEnd().size();
    if (line == header) {
      ++parsed.headers;
      continue;
    }
    auto row = ParseRow(line);
    if (auto* why = std::get_if<std::string>(&row)) {
      parsed.problems.push_back(where + *why);
    } else {
      std::get<ResultsRow>(row).line = number;
      parsed.rows.push_back(std::get<ResultsRow>(row));
    }
  }
  if (parsed.headers == 0) parsed.problems.insert(parsed.problems.begin(), "no header line");
  return parsed;
}

}  // namespace cue
