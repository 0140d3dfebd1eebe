#include "labfolder/session_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <variant>

namespace cue {

namespace {

constexpr const char* kEndings[] = {"running", "completed", "quit", "recovered"};

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;  // UTF-8 passes as it is
    }
  }
  return out + '"';
}

std::string Number(const std::optional<double>& value) {
  if (!value) return "null";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *value).ptr;  // locale-free
  return std::string(text, end);
}

// The values a session file holds: flat, so a scalar or a list of texts.
using Json = std::variant<std::nullptr_t, bool, double, std::string, std::vector<std::string>>;

// A reader for the flat objects this file holds: no nested objects, arrays of texts only.
class FlatReader {
 public:
  explicit FlatReader(std::string_view text) : t_(text) {}

  std::optional<std::map<std::string, Json>> Object() {
    std::map<std::string, Json> object;
    if (!Take('{')) return Fail("no object");
    if (Take('}')) return object;
    do {
      auto key = Text();
      if (!key || !Take(':')) return Fail("a key without a value");
      auto value = Value();
      if (!value) return std::nullopt;
      object[*key] = std::move(*value);
    } while (Take(','));
    if (!Take('}')) return Fail("no closing brace");
    Skip();
    if (i_ != t_.size()) return Fail("text after the object");
    return object;
  }
  std::string why;

 private:
  std::nullopt_t Fail(const char* reason) {
    if (why.empty()) why = std::string(reason) + " at byte " + std::to_string(i_);
    return std::nullopt;
  }
  void Skip() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\r' || t_[i_] == '\n'))
      ++i_;
  }
  bool Take(char c) {
    Skip();
    if (i_ < t_.size() && t_[i_] == c) return ++i_, true;
    return false;
  }
  bool Word(std::string_view word) {
    Skip();
    if (t_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  std::optional<std::string> Text() {
    if (!Take('"')) return Fail("a text expected");
    std::string out;
    while (i_ < t_.size() && t_[i_] != '"') {
      char c = t_[i_++];
      if (c == '\\' && i_ < t_.size()) {
        c = t_[i_++];
        if (c == 'u' && i_ + 4 <= t_.size()) {  // the writer escapes control bytes only
          unsigned code = 0;
          std::from_chars(t_.data() + i_, t_.data() + i_ + 4, code, 16);
          i_ += 4;
          c = static_cast<char>(code);
        } else if (c == 'n') {
          c = '\n';
        } else if (c == 't') {
          c = '\t';
        }
      }
      out += c;
    }
    if (!Take('"')) return Fail("an unterminated text");
    return out;
  }
  std::optional<Json> Value() {
    Skip();
    if (i_ < t_.size() && t_[i_] == '"') {
      auto text = Text();
      if (!text) return std::nullopt;
      return Json{*text};
    }
    if (Take('[')) {
      std::vector<std::string> list;
      if (Take(']')) return Json{list};
      do {
        auto text = Text();
        if (!text) return std::nullopt;
        list.push_back(*text);
      } while (Take(','));
      if (!Take(']')) return Fail("no closing bracket");
      return Json{list};
    }
    if (Word("null")) return Json{nullptr};
    if (Word("true")) return Json{true};
    if (Word("false")) return Json{false};
    double number = 0;
    const auto [end, ec] = std::from_chars(t_.data() + i_, t_.data() + t_.size(), number);
    if (ec != std::errc()) return Fail("a value expected");
    i_ = static_cast<std::size_t>(end - t_.data());
    return Json{number};
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

}  // namespace

std::string JsonQuoted(std::string_view text) { return Quoted(text); }

const char* EndingName(SessionInfo::Ending ending) { return kEndings[static_cast<int>(ending)]; }

std::string SessionJson(const SessionInfo& s) {
  const auto whole = [](std::optional<std::int32_t> n) {
    return n ? Number(static_cast<double>(*n)) : std::string("null");
  };
  std::string missing = "[";
  for (const auto& path : s.missingSounds)
    missing += (missing.size() > 1 ? ", " : "") + Quoted(path);
  missing += "]";
  const std::pair<const char*, std::string> fields[] = {
      {"program_version", Quoted(s.programVersion)},
      {"subject_id", whole(s.subjectId)},
      {"order_condition", whole(s.orderCondition)},
      {"pilot", s.pilot ? "true" : "false"},
      {"start", Quoted(s.start)},
      {"end", s.end.empty() ? "null" : Quoted(s.end)},
      {"ended", Quoted(EndingName(s.ended))},
      {"trials_answered", whole(s.trialsAnswered)},
      {"quit_at_trial", whole(s.quitAtTrial)},
      {"host", Quoted(s.host)},
      {"screen_width_px", Number(s.screenWidthPx)},
      {"screen_height_px", Number(s.screenHeightPx)},
      {"screen_width_twips", Number(s.screenWidthTwips)},
      {"screen_height_twips", Number(s.screenHeightTwips)},
      {"dpi", Number(s.dpi)},
      {"refresh_hz", Number(s.refreshHz)},
      {"font", Quoted(s.font)},
      {"sound_server", Quoted(s.soundServer)},
      {"sound_sink", Quoted(s.soundSink)},
      {"sound_latency_ms", Number(s.soundLatencyMs)},
      {"sound_error", Quoted(s.soundError)},
      {"missing_sounds", missing},
  };
  std::string json = "{\n";
  for (const auto& [key, value] : fields) {
    json += std::string(json.size() > 2 ? ",\n" : "") + "  " + Quoted(key) + ": " + value;
  }
  // The verdicts only once the run has judged them.
  const auto flag = [](std::optional<bool> b) { return std::string(*b ? "true" : "false"); };
  if (s.timingOk) json += ",\n  \"timing_ok\": " + flag(s.timingOk);
  if (s.soundOk) json += ",\n  \"sound_ok\": " + flag(s.soundOk);
  if (s.timingOk || s.soundOk || !s.verdictReasons.empty()) {
    std::string reasons = "[";
    for (const auto& r : s.verdictReasons) reasons += (reasons.size() > 1 ? ", " : "") + Quoted(r);
    json += ",\n  \"verdict_reasons\": " + reasons + "]";
  }
  const std::pair<const char*, std::optional<std::int32_t>> counts[] = {
      {"missed_refreshes", s.missedRefreshes},
      {"cues_lost", s.cuesLost},
      {"ignored_letter_keys", s.ignoredLetterKeys}};
  for (const auto& [key, n] : counts) {
    if (n) json += ",\n  " + Quoted(key) + ": " + whole(n);
  }
  return json + "\n}\n";
}

Result<SessionInfo> ParseSessionJson(std::string_view text) {
  FlatReader reader(text);
  const auto object = reader.Object();
  if (!object) return FileError{FileFailure::kMalformed, 0, "", reader.why};
  const auto get = [&](const char* key) -> const Json* {
    const auto it = object->find(key);
    return it == object->end() ? nullptr : &it->second;
  };
  const auto text_ = [&](const char* key) {
    const auto* v = get(key);
    return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : std::string();
  };
  const auto number = [&](const char* key) -> std::optional<double> {
    const auto* v = get(key);
    if (v && std::holds_alternative<double>(*v)) return std::get<double>(*v);
    return std::nullopt;
  };
  // A whole number that fits; a hand-edited 1e300 is not known, never undefined.
  const auto count = [&](const char* key) -> std::optional<std::int32_t> {
    const auto n = number(key);
    if (n && std::abs(*n) < 2e9) return static_cast<std::int32_t>(*n);
    return std::nullopt;
  };
  SessionInfo s;
  s.programVersion = text_("program_version");
  s.subjectId = count("subject_id").value_or(0);
  s.orderCondition = count("order_condition").value_or(0);
  const auto* pilot = get("pilot");
  s.pilot = pilot && std::holds_alternative<bool>(*pilot) && std::get<bool>(*pilot);
  s.start = text_("start");
  s.end = text_("end");
  const std::string ended = text_("ended");
  for (int e = 0; e < 4; ++e) {
    if (ended == kEndings[e]) s.ended = static_cast<SessionInfo::Ending>(e);
  }
  s.trialsAnswered = count("trials_answered").value_or(0);
  s.quitAtTrial = count("quit_at_trial");
  s.host = text_("host");
  s.screenWidthPx = number("screen_width_px");
  s.screenHeightPx = number("screen_height_px");
  s.screenWidthTwips = number("screen_width_twips");
  s.screenHeightTwips = number("screen_height_twips");
  s.dpi = number("dpi");
  s.refreshHz = number("refresh_hz");
  s.font = text_("font");
  s.soundServer = text_("sound_server");
  s.soundSink = text_("sound_sink");
  s.soundLatencyMs = number("sound_latency_ms");
  s.soundError = text_("sound_error");
  if (const auto* m = get("missing_sounds");
      m && std::holds_alternative<std::vector<std::string>>(*m)) {
    s.missingSounds = std::get<std::vector<std::string>>(*m);
  }
  const auto flag = [&](const char* key) -> std::optional<bool> {
    const auto* v = get(key);
    if (v && std::holds_alternative<bool>(*v)) return std::get<bool>(*v);
    return std::nullopt;
  };
  s.timingOk = flag("timing_ok");
  s.soundOk = flag("sound_ok");
  if (const auto* r = get("verdict_reasons");
      r && std::holds_alternative<std::vector<std::string>>(*r)) {
    s.verdictReasons = std::get<std::vector<std::string>>(*r);
  }
  s.missedRefreshes = count("missed_refreshes");
  s.cuesLost = count("cues_lost");
  s.ignoredLetterKeys = count("ignored_letter_keys");
  return s;
}

std::string IsoTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
  char zone[32];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return std::string(text) + zone;
}

}  // namespace cue
