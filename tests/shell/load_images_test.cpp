// Picture loading from a working directory whose images/ holds good pictures
// and bad files: each bad one costs its slot and one line on standard
// output, and the show still starts and runs.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/image_table.h"
#include "platform/clock.h"
#include "png/image.h"
#include "png/image_fail.h"
#include "raycast/camera.h"
#include "shell/shell.h"
#include "sprites/sprites.h"
#include "testkit/testkit.h"

namespace {

namespace fs = std::filesystem;

// Slots whose files are bad, in slot order, and what is wrong with each.
constexpr int kTruncatedSlot = 2;   // images/plomet.png, cut inside its IDAT
constexpr int kCorruptSlot = 5;     // images/windrake.png, a broken zlib header
constexpr int kMissingSlot = 9;     // images/fish.png
constexpr int kEmptySlot = 11;      // images/octopus.png, zero bytes
constexpr int kDirectorySlot = 13;  // images/donut.png is a directory
constexpr int kPipeSlot = 14;       // images/deutschprachig.png is a named pipe

const std::string kExpectedOutput =
    "Error decoding texture file images/plomet.png \n"
    "Error decoding texture file images/windrake.png \n"
    "Error decoding texture file images/fish.png \n"
    "Error decoding texture file images/octopus.png \n"
    "Error decoding texture file images/donut.png \n"
    "Error decoding texture file images/deutschprachig.png \n";

bool is_bad_slot(int slot) {
  return slot == kTruncatedSlot || slot == kCorruptSlot || slot == kMissingSlot ||
         slot == kEmptySlot || slot == kDirectorySlot || slot == kPipeSlot;
}

// Works in a fresh temporary directory holding images/ for its lifetime.
struct ImageDirectory {
  ImageDirectory() {
    char name[] = "/tmp/demo-images-XXXXXX";
    root = mkdtemp(name);
    saved = fs::current_path();
    fs::create_directory(root / "images");
    std::vector<uint32_t> words(8 * 8);
    for (int slot = 0; slot < kImageSlots; ++slot) {
      for (uint32_t i = 0; i < words.size(); ++i) words[i] = 0xFF000000u | uint32_t(slot) << 16 | i;
      std::vector<uint8_t> file = encode_rgba_png(8, 8, words);
      // The stream starts right after IHDR; byte 41 is its first.
      EXPECT_EQ(std::string(file.begin() + 37, file.begin() + 41), "IDAT");
      const fs::path path = root / image_file_names[slot];
      if (slot == kTruncatedSlot) file.resize(50);
      if (slot == kCorruptSlot) file[41] = 0x77;  // first byte of the zlib stream
      if (slot == kEmptySlot) file.clear();
      if (slot == kMissingSlot) continue;
      if (slot == kDirectorySlot) {
        fs::create_directory(path);
        continue;
      }
      if (slot == kPipeSlot) {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        continue;
      }
      write_file(path.string(), file);
    }
    fs::current_path(root);
  }
  ~ImageDirectory() {
    fs::current_path(saved);
    fs::remove_all(root);
  }
  fs::path root;
  fs::path saved;
};

// Opening a named pipe for reading would wait for a writer for ever.
constexpr unsigned kHangSeconds = 20;

TEST(LoadImages, BadFilesCostTheirSlotAndOneLineEach) {
  ImageDirectory directory;
  alarm(kHangSeconds);
  StdoutCapture capture;
  capture.start();
  load_images();
  EXPECT_EQ(capture.stop(), kExpectedOutput);
  for (int slot = 0; slot < kImageSlots; ++slot) {
    if (is_bad_slot(slot)) {
      EXPECT_EQ(image_table[slot], nullptr) << slot;
      continue;
    }
    ASSERT_NE(image_table[slot], nullptr) << slot;
    const Image* image = image_table[slot];
    EXPECT_EQ(image->error, IMAGE_OK);
    EXPECT_EQ(image->format, IMAGE_FMT_RGBA8);
    EXPECT_EQ(image->width, 8u);
    EXPECT_EQ(image->height, 8u);
    const uint32_t* pixels = reinterpret_cast<const uint32_t*>(image->pixels);
    EXPECT_EQ(pixels[9], 0xFF000009u | uint32_t(slot) << 16) << slot;
  }
  free_images();
  for (Image* image : image_table) EXPECT_EQ(image, nullptr);
  alarm(0);
}

// Only regular files are read, a file that is no picture only up to its
// header, and the loader's failures lie at sites no decoder check uses.
TEST(LoadImages, ReadsOnlyRegularFilesAndRefusesANonPictureByItsHeader) {
  ImageDirectory directory;
  alarm(kHangSeconds);
  for (const char* name : {"images/fish.png", "images/donut.png", "images/deutschprachig.png",
                           "/dev/null"}) {
    Image* image = image_create();
    read_image_file(image, name);
    EXPECT_EQ(image->error, IMAGE_ERR_FILE_OPEN) << name;
    EXPECT_GE(image->error_site, kSitesLoader) << name;
    EXPECT_EQ(image->source, nullptr) << name;
    image_free(image);
  }
  alarm(0);
  std::vector<uint8_t> junk(1 << 20, 'x');
  write_file("junk.png", junk);
  Image* loaded = image_create();
  read_image_file(loaded, "junk.png");
  image_decode(loaded);
  Image* whole = image_create();
  whole->source = junk.data();
  whole->source_size = uint32_t(junk.size());
  image_decode(whole);
  EXPECT_EQ(loaded->source_size, kImageHeaderBytes);
  EXPECT_EQ(loaded->error, IMAGE_ERR_SIGNATURE);
  EXPECT_EQ(loaded->error_site, whole->error_site);
  image_free(loaded);
  image_free(whole);
}

// An 8 x 8 picture can need some 8 MiB at most: one followed by 64 MiB is
// refused after its header, unread; one followed by a few KiB still decodes.
TEST(LoadImages, RefusesAFileLargerThanItsPictureCanNeed) {
  ImageDirectory directory;
  std::vector<uint8_t> file = encode_rgba_png(8, 8, std::vector<uint32_t>(8 * 8, 0xFF0000FFu));
  file.resize(file.size() + 4096);
  write_file("padded.png", file);
  write_file("huge.png", file);
  ASSERT_EQ(truncate("huge.png", 64 << 20), 0);
  Image* padded = image_create();
  read_image_file(padded, "padded.png");
  image_decode(padded);
  EXPECT_EQ(padded->error, IMAGE_OK);
  Image* huge = image_create();
  read_image_file(huge, "huge.png");
  EXPECT_EQ(huge->error, IMAGE_ERR_CORRUPT);
  EXPECT_GE(huge->error_site, kSitesLoader);
  EXPECT_EQ(huge->source_size, kImageHeaderBytes);
  image_free(padded);
  image_free(huge);
}

TEST(LoadImages, TheShowStartsAndRunsWithBadFiles) {
  ImageDirectory directory;
  alarm(kHangSeconds);
  camera_reset();
  sprites_reset();
  clock_use_virtual(0, 50);
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  StdoutCapture capture;
  capture.start();
  EXPECT_EQ(demo_main(0, nullptr), 0);
  EXPECT_EQ(capture.stop(), kExpectedOutput);
  clock_use_real();
  alarm(0);
}

}  // namespace
