#pragma once

// What every FileSystem promises its callers (platform/files.h), run against the real one and
// the in-memory one of the engine's and the intake's tests, so that the two cannot drift
// apart. What only a disk has (modes, links, FIFOs, the lock's holder) is platform_test's.
// A backend type B offers:
//   FileSystem& Get();
//   std::string Root();  // an existing, empty folder
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "platform/files.h"

namespace cue::testing {

template <typename T>
std::optional<FileError> Failure(const Result<T>& result) {
  if (const auto* error = std::get_if<FileError>(&result)) return *error;
  return std::nullopt;
}
template <typename T>
T Value(Result<T> result) {
  EXPECT_FALSE(Failure(result)) << Describe(*Failure(result));
  return result.index() == 0 ? std::get<T>(std::move(result)) : T{};
}

template <typename Backend>
class FileSystemContract : public ::testing::Test {
 protected:
  std::string P(const std::string& name) { return backend.Root() + "/" + name; }
  std::vector<std::string> List(const std::string& folder) {
    auto names = Value(fs.List(folder));
    std::sort(names.begin(), names.end());
    return names;
  }

  Backend backend;
  FileSystem& fs = backend.Get();
};

TYPED_TEST_SUITE_P(FileSystemContract);

// A file is there from its opening; appends keep every byte (CR LF, a lone CR, UTF-8) in order;
// a replacement leaves the new text whole and nothing beside it; a file of the read limit is
// read whole; folders and files are told apart, listed and removed.
TYPED_TEST_P(FileSystemContract, WhatIsWrittenIsReadListedAndRemovedWhole) {
  FileSystem& fs = this->fs;
  const std::string r1 = this->P("R-1.txt"), json = this->P("s.json"), res = this->P("Res_Data");
  for (const char* text : {"one\t", "\r\xC3\xA4two\t"}) {  // created, then appended
    auto opened = fs.OpenForAppend(r1);
    ASSERT_FALSE(Failure(opened));
    EXPECT_TRUE(fs.Exists(r1));
    std::get<0>(opened)->Write(text);
    std::get<0>(opened)->Write("\r\n");
    EXPECT_FALSE(std::get<0>(opened)->Close());
  }
  EXPECT_EQ(Value(fs.ReadAll(r1)), "one\t\r\n\r\xC3\xA4two\t\r\n");
  EXPECT_FALSE(fs.Replace(json, std::string(kMaxReadBytes, 'x')));
  EXPECT_EQ(Value(fs.ReadAll(json)).size(), kMaxReadBytes);
  EXPECT_FALSE(fs.Replace(json, "{}"));
  EXPECT_EQ(Value(fs.ReadAll(json)), "{}");
  EXPECT_FALSE(fs.MakeDirectory(res));
  EXPECT_TRUE(fs.Exists(res) && fs.IsDirectory(res));
  EXPECT_TRUE(fs.Exists(r1) && !fs.IsDirectory(r1));
  EXPECT_FALSE(fs.Exists(this->P("no")) || fs.IsDirectory(this->P("no")));
  using Names = std::vector<std::string>;
  EXPECT_EQ(this->List(this->backend.Root()), (Names{"R-1.txt", "Res_Data", "s.json"}));
  EXPECT_FALSE(fs.Remove(r1));
  EXPECT_FALSE(fs.Exists(r1));
  EXPECT_EQ(this->List(this->backend.Root()), (Names{"Res_Data", "s.json"}));
  EXPECT_EQ(this->List(res), Names{});
}

// Every failure gives its cause and the path, and changes nothing: a missing file kNotFound, a
// missing folder on the way kPathNotFound, what is there already kExists, a folder in a file's
// place kRefused, a file over the read limit kNotReadable, a lock held kInUse.
TYPED_TEST_P(FileSystemContract, EachFailureGivesItsCauseAndPath) {
  FileSystem& fs = this->fs;
  const std::string folder = this->P("Res_Data"), file = this->P("list.txt"),
                    no = this->P("no.txt"), deep = this->P("gone/R-1.txt"), big = this->P("big");
  ASSERT_FALSE(fs.MakeDirectory(folder) || fs.Replace(file, "7\r\n"));
  ASSERT_FALSE(fs.Replace(big, std::string(kMaxReadBytes + 1, 'x')));
  auto lock = fs.Lock(file + ".lock");
  using F = FileFailure;
  const std::tuple<F, std::string, std::vector<std::optional<FileError>>> rows[] = {
      {F::kExists, folder, {fs.MakeDirectory(folder)}},
      {F::kExists, file, {fs.MakeDirectory(file)}},
      {F::kNotFound, no, {Failure(fs.ReadAll(no)), Failure(fs.List(no)), fs.Remove(no)}},
      {F::kPathNotFound,
       deep,
       {fs.MakeDirectory(deep), Failure(fs.OpenForAppend(deep)), Failure(fs.ReadAll(deep)),
        Failure(fs.List(deep)), fs.Replace(deep, "{}"), fs.Remove(deep), Failure(fs.Lock(deep))}},
      {F::kRefused,
       folder,
       {Failure(fs.OpenForAppend(folder)), Failure(fs.ReadAll(folder)), fs.Replace(folder, "{}"),
        fs.Remove(folder)}},
      {F::kNotReadable, big, {Failure(fs.ReadAll(big))}},
      {F::kInUse, file + ".lock", {Failure(fs.Lock(file + ".lock"))}},
  };
  for (const auto& [cause, path, errors] : rows) {
    for (const auto& error : errors) {
      SCOPED_TRACE(path + " #" + std::to_string(&error - errors.data()));
      ASSERT_TRUE(error);
      EXPECT_EQ(error->cause, cause);
      EXPECT_EQ(error->path, path);
      EXPECT_FALSE(error->description.empty());
    }
  }
  EXPECT_EQ(Value(fs.ReadAll(file)), "7\r\n");
  EXPECT_TRUE(fs.IsDirectory(folder) && !fs.Exists(this->P("gone")));
  lock = FileError{};  // released, the lock can be taken again
  EXPECT_FALSE(Failure(fs.Lock(file + ".lock")));
}

REGISTER_TYPED_TEST_SUITE_P(FileSystemContract, WhatIsWrittenIsReadListedAndRemovedWhole,
                            EachFailureGivesItsCauseAndPath);

}  // namespace cue::testing
