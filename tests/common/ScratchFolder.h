#pragma once
// A fixture with an empty folder of its own under the temporary folder,
// removed with everything in it afterwards. Portable (the file tests also run
// under wine); the name is random, as other builds run the same tests at once.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>
#include <string>

namespace apdesk::test {

class ScratchFolder : public ::testing::Test {
 public:
  explicit ScratchFolder(const std::string& prefix) : prefix_(prefix) {}
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / (prefix_ + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string At(const std::string& name) const { return (dir_ / name).string(); }
  // The entries in the folder (a writer that leaves no temporary file behind
  // leaves just the named ones).
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  std::filesystem::path dir_;

 private:
  std::string prefix_;
};

}  // namespace apdesk::test
