#include "engine/results_file.h"

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

// Significant digits of the shortest text that reads back as the same float.
int ShortestDigits(float value) {
  char buffer[32];
  for (int digits = 1; digits < 7; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, static_cast<double>(value));
    if (std::strtof(buffer, nullptr) == value) return digits;
  }
  return 7;
}

}  // namespace

std::string FormatSingle(float value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  const int digits = ShortestDigits(value);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, static_cast<double>(value));
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  if (exponent >= 7 || exponent < -5) {
    // E notation: mantissa without trailing zeros, then E, sign, two or more digits.
    std::string text(buffer, std::strchr(buffer, 'e'));
    if (text.find('.') != std::string::npos) {
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return text + tail;
  }
  const int decimals = digits - 1 - exponent;
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals > 0 ? decimals : 0, static_cast<double>(value));
  return buffer;
}

std::string FieldText(const FieldValue& value) {
  if (const auto* whole = std::get_if<std::int32_t>(&value)) return std::to_string(*whole);
  if (const auto* single = std::get_if<float>(&value)) return FormatSingle(*single);
  return std::get<std::string>(value);
}

std::string ResultsFileName(const FileSystem& files, std::int16_t subjectId) {
  return JoinPath(JoinPath(files.CurrentDirectory(), "Res_Data"),
                  "R-" + std::to_string(subjectId) + ".txt");
}

std::string TimingFileName(const FileSystem& files, std::int16_t subjectId) {
  return JoinPath(JoinPath(files.CurrentDirectory(), "Res_Data"),
                  "R-" + std::to_string(subjectId) + "-timing.txt");
}

const std::vector<std::string>& ResultsColumns() {
  static const std::vector<std::string> kColumns = {
      "trialNumber",  "BlockNumber",     "blockType",       "orderCondition",
      "trialType1",   "targetNumber",    "targetPosition",  "targetPositionX",
      "targetPositionY", "targetNumberCounter", "FLICKER_DELAY", "subject_res", "RT"};
  return kColumns;
}

std::string HeaderLine(const std::vector<std::string>& names) {
  std::string line = "#";
  for (const auto& name : names) line += name + '\t';
  return line + LineEnd();
}

std::variant<std::unique_ptr<AppendFile>, FileError> OpenForAppend(FileSystem& files,
                                                                   const std::string& fileName) {
  return files.OpenForAppend(fileName);
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
  auto opened = OpenForAppend(files, fileName);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(HeaderLine(names));
  return file->Close();
}

}  // namespace cue
