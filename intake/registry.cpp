#include "intake/registry.h"

#include <memory>
#include <variant>

namespace cue {

SubjectCheck IsNewSubject(const FileSystem& files, std::int16_t subjectId) {
  const auto read = files.ReadAll(RegistryPath(files));
  if (const auto* error = std::get_if<FileError>(&read)) {
    if (error->cause == FileFailure::kNotFound) return SubjectCheck{};
    SubjectCheck check;
    check.result = SubjectCheck::Result::kUnreadable;
    check.error = *error;
    return check;
  }
  return ScanRegistry(std::get<std::string>(read), subjectId);
}

std::string FileErrorText(const std::string& what, const FileError& error,
                          const std::string& consequence) {
  return what + '\r' + "Error " + std::to_string(ErrorNumber(error.cause)) + ": " +
         error.description + "." + '\r' + consequence;
}

Message UnreadableRegistry(const FileError& error) {
  return Message{FileErrorText("The subject registry " + error.path + " cannot be read.", error,
                               "No subject ID can be checked until the file can be read."),
                 "ERROR", Buttons::kOk, Icon::kExclamation};
}

Message MalformedRegistry(const SubjectCheck& check, const std::string& path) {
  std::string text = "Line " + std::to_string(check.line) + " of the subject registry " + path +
                     " " + check.reason + ":";
  text += '\r';
  text += "\"" + check.text + "\"";
  text += '\r';
  text += "No subject ID can be checked until that line is corrected.";
  return Message{std::move(text), "ERROR", Buttons::kOk, Icon::kExclamation};
}

std::optional<FileError> AppendRegistryLine(FileSystem& files, const std::string& path,
                                            std::string_view line) {
  std::string text(line);
  // A registry that cannot be read here is still appended to; the append reports its own
  // error if it cannot be written either.
  const auto read = files.ReadAll(path);
  if (const auto* old = std::get_if<std::string>(&read);
      old != nullptr && !old->empty() && old->back() != '\n' && old->back() != '\r') {
    text.insert(0, "\r\n");
  }
  auto opened = files.OpenForAppend(path);
  if (auto* error = std::get_if<FileError>(&opened)) return *error;
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  file->Write(text);
  return file->Close();
}

std::optional<FileError> MakeFolder(FileSystem& files, const std::string& path) {
  auto error = files.MakeDirectory(path);
  if (error && error->cause == FileFailure::kExists && files.IsDirectory(path)) return {};
  return error;
}

}  // namespace cue
