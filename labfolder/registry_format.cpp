#include "labfolder/registry_format.h"

#include <memory>
#include <variant>

namespace cue {

namespace {

constexpr std::size_t kZone = 14;  // characters per print zone
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kShownLength = 30;  // characters of a bad line quoted in a message

std::string PrintForm(std::int16_t n) {
  const int value = n;  // widened: -32768 has no 16-bit magnitude
  return (value < 0 ? "-" : " ") + std::to_string(value < 0 ? -value : value) + " ";
}

// Pads with blanks to the start of the next print zone after the text so far.
void NextZone(std::string& line) { line.append(kZone - line.size() % kZone, ' '); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The first field of a line, as the reader sees it.
struct FirstField {
  enum class Kind { kNone, kNumber, kBad } kind = Kind::kNone;
  std::int16_t value = 0;
  std::string reason;  // kBad
};

FirstField ReadFirstField(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return {};
  std::size_t end = i;
  while (end < line.size() && !IsBlank(line[end]) && line[end] != ',') ++end;
  std::string_view field = line.substr(i, end - i);

  const auto bad = [](const char* reason) { return FirstField{FirstField::Kind::kBad, 0, reason}; };
  bool negative = false;
  if (!field.empty() && (field[0] == '+' || field[0] == '-')) {
    negative = field[0] == '-';
    field.remove_prefix(1);
  }
  if (field.empty()) return bad("does not begin with a subject ID");
  for (const char c : field) {
    if (c < '0' || c > '9') return bad("does not begin with a subject ID");
  }
  while (field.size() > 1 && field[0] == '0') field.remove_prefix(1);
  // Five significant digits at most; the value then fits an int without overflow.
  if (field.size() > 5) return bad("begins with a number too large for a subject ID");
  int value = 0;
  for (const char c : field) value = value * 10 + (c - '0');
  if (negative) value = -value;
  if (value < INT16_MIN || value > INT16_MAX) {
    return bad("begins with a number too large for a subject ID");
  }
  return FirstField{FirstField::Kind::kNumber, static_cast<std::int16_t>(value), {}};
}

// The start of a line for a message: without leading blanks, control bytes as "?", shortened.
std::string Shown(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  std::string shown;
  for (const char c : line.substr(0, kShownLength)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 32 || byte == 127 ? '?' : c;
  }
  if (line.size() > kShownLength) shown += "...";
  return shown;
}

SubjectCheck CheckOf(SubjectCheck::Result result) {
  SubjectCheck check;
  check.result = result;
  return check;
}

// Calls take(number, line) for each line of registry text until it returns false.
template <typename Take>
void ForEachLine(std::string_view text, Take take) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  int number = 0;
  while (!text.empty()) {
    ++number;
    std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(0, end);
    if (end < text.size()) end += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    text.remove_prefix(end);
    if (!take(number, line)) return;
  }
}

}  // namespace

std::string RegistryLine(std::int16_t subjectId, std::string_view initials,
                         std::int16_t orderCondition) {
  std::string line = PrintForm(subjectId);
  NextZone(line);
  line += initials;
  NextZone(line);
  line += PrintForm(orderCondition);
  line += "\r\n";
  return line;
}

SubjectCheck ScanRegistry(std::string_view text, std::int16_t subjectId) {
  const RegistryRead read = ReadRegistry(text);
  for (const RegistryEntry& entry : read.entries) {
    if (entry.subjectId == subjectId) return CheckOf(SubjectCheck::Result::kRegistered);
  }
  if (read.unreadable.empty()) return SubjectCheck{};
  SubjectCheck firstBad = CheckOf(SubjectCheck::Result::kMalformed);
  firstBad.line = read.unreadable.front().line;
  firstBad.text = read.unreadable.front().text;
  firstBad.reason = read.unreadable.front().reason;
  return firstBad;
}

std::string Describe(const UnreadableRegistryLine& bad) {
  return "line " + std::to_string(bad.line) + " " + bad.reason + ": \"" + bad.text + "\"";
}

// After the ID, the fields are told apart by their letters: initials are letters only, the
// order condition a number; so a hand-edited line with other spacing reads the same.
RegistryRead ReadRegistry(std::string_view text) {
  RegistryRead read;
  ForEachLine(text, [&](int number, std::string_view line) {
    const FirstField field = ReadFirstField(line);
    if (field.kind == FirstField::Kind::kBad) {
      read.unreadable.push_back({number, Shown(line), field.reason});
    }
    if (field.kind != FirstField::Kind::kNumber) return true;
    RegistryEntry entry{field.value, {}, {}, number};
    std::size_t i = line.find_first_not_of(" \t");
    i = line.find_first_of(" \t,", i);
    while (i != std::string_view::npos && i < line.size()) {
      const std::size_t start = line.find_first_not_of(" \t,", i);
      if (start == std::string_view::npos) break;
      i = line.find_first_of(" \t,", start);
      const std::string_view token =
          line.substr(start, i == std::string_view::npos ? i : i - start);
      const FirstField number16 = ReadFirstField(token);
      if (number16.kind == FirstField::Kind::kNumber) {
        entry.orderCondition = number16.value;
      } else if (entry.initials.empty()) {
        entry.initials = token;
      }
    }
    read.entries.push_back(std::move(entry));
    return true;
  });
  return read;
}

}  // namespace cue
