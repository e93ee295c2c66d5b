// Where the programs find their pictures and music: the working folder, then
// the share folder beside the program, then the build folder; a folder counts
// only when it holds one of the show's files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "shell/shell.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}

}  // namespace

TEST(DataFolder, LooksInTheWorkingFolderThenBesideTheProgramThenTheBuild) {
  const fs::path saved = fs::current_path();
  const fs::path base = fs::temp_directory_path() / ("data_folder_test_" + std::to_string(getpid()));
  fs::remove_all(base);
  const fs::path work = base / "work";
  const fs::path share = base / "prefix/share/jubra-demo";
  fs::create_directories(work);
  fs::create_directories(base / "prefix/bin");
  fs::current_path(work);

  DataFolders folders = data_folders((base / "prefix/bin").string());
  EXPECT_EQ(folders[0], work.string());
  EXPECT_EQ(fs::path(folders[1]).lexically_normal(), share.lexically_normal());
  EXPECT_EQ(folders[2], DATA_DIR);
  EXPECT_TRUE(data_folders("")[1].empty());  // the program's folder unknown
  EXPECT_EQ(first_data_folder(folders), 2);  // the build's own pictures

  folders[2] = (base / "build").string();
  touch(work / "images/holiday.png");  // not one of the show's files
  EXPECT_EQ(first_data_folder(folders), -1);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(enter_data_folder(folders, "demo"));
  const std::string message = testing::internal::GetCapturedStderr();
  for (const std::string& folder : folders) EXPECT_NE(message.find(folder), std::string::npos) << message;
  EXPECT_NE(message.find("demo: "), std::string::npos) << message;

  touch(folders[2] + "/images/duck.png");
  EXPECT_EQ(first_data_folder(folders), 2);
  touch(share / "music/vondsorvane2.wav");
  EXPECT_EQ(first_data_folder(folders), 1);
  touch(work / "images/fish.png");  // a partial set still wins: its gaps cost only their slots
  EXPECT_EQ(first_data_folder(folders), 0);

  fs::remove(work / "images/fish.png");
  EXPECT_TRUE(enter_data_folder(folders, "demo"));
  EXPECT_EQ(fs::current_path(), fs::path(folders[1]).lexically_normal());
  EXPECT_NE(data_search_report(folders).find("found in " + folders[1]), std::string::npos);

  fs::current_path(saved);
  fs::remove_all(base);
}
