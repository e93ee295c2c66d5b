// Where the show's pictures and music are found from any working folder: the
// working folder first, then the share folder beside the installed program
// (<prefix>/bin/../share/jubra-demo, so a moved install still finds its own),
// then the build folder the program was built in.
#include <unistd.h>

#include <cstdio>

#include "platform/program_folder.h"
#include "shell/shell.h"

namespace {

const char* const kFolderRoles[kDataFolders] = {"the working folder", "beside the program",
                                                "the build folder"};

bool holds(const std::string& folder, const char* name) {
  return access((folder + "/" + name).c_str(), F_OK) == 0;
}

std::string working_folder() {
  char path[4096];
  return getcwd(path, sizeof path) ? path : ".";
}

}  // namespace

DataFolders data_folders(const std::string& program_folder) {
  return {working_folder(),
          program_folder.empty() ? "" : program_folder + "/" DEMO_SHARE_FROM_BIN,
          DEMO_BUILD_FOLDER};
}

// Any one of the show's files marks its folder: a folder missing a picture
// still costs only that picture, and an unrelated images/ folder is passed by.
int first_data_folder(const DataFolders& folders) {
  for (int i = 0; i < kDataFolders; ++i) {
    if (folders[i].empty()) continue;
    if (holds(folders[i], music_file_name)) return i;
    for (const char* name : image_file_names)
      if (holds(folders[i], name)) return i;
  }
  return -1;
}

std::string data_search_text(const DataFolders& folders) {
  std::string text;
  for (int i = 0; i < kDataFolders; ++i) {
    if (folders[i].empty()) continue;
    text += (text.empty() ? "" : ", ") + folders[i] + " (" + kFolderRoles[i] + ")";
  }
  return text;
}

std::string data_search_report(const DataFolders& folders) {
  const int found = first_data_folder(folders);
  return "pictures and music (images/, music/) are looked for in " + data_search_text(folders) +
         "; found in " + (found < 0 ? std::string("none of them") : folders[found]) + "\n";
}

bool enter_data_folder(const DataFolders& folders, const char* program) {
  const int found = first_data_folder(folders);
  if (found >= 0 && chdir(folders[found].c_str()) == 0) return true;
  std::fprintf(stderr, "%s: the show's pictures and music (images/, music/) are in none of: %s\n",
               program, data_search_text(folders).c_str());
  return false;
}
