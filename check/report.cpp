#include "check/report.h"

#include <algorithm>
#include <cstdio>

namespace cue::check {

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + '"';
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

const char* VerdictName(Verdict verdict) {
  constexpr const char* kNames[] = {"PASS", "CONCERN", "FAIL"};
  return kNames[static_cast<int>(verdict)];
}

Verdict Worst(const std::vector<Line>& lines) {
  Verdict worst = Verdict::kPass;
  for (const Line& line : lines) worst = std::max(worst, line.verdict);
  return worst;
}

std::string Text(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& l : lines) {
    out += Padded(VerdictName(l.verdict), 9) + Padded(l.section, 10) + l.what + ": " + l.figure;
    if (!l.todo.empty()) out += "\n" + std::string(19, ' ') + "-> " + l.todo;
    out += '\n';
  }
  return out + "overall: " + VerdictName(Worst(lines)) + "\n";
}

std::string Json(const std::vector<Line>& lines) {
  std::string out = "{\n  \"verdict\": " + Quoted(VerdictName(Worst(lines))) + ",\n  \"lines\": [";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    out += std::string(i ? "," : "") + "\n    {\"section\": " + Quoted(l.section) +
           ", \"verdict\": " + Quoted(VerdictName(l.verdict)) + ", \"what\": " + Quoted(l.what) +
           ", \"figure\": " + Quoted(l.figure) + ", \"todo\": " + Quoted(l.todo) + "}";
  }
  return out + "\n  ]\n}\n";
}

}  // namespace cue::check
