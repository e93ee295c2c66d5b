// How the decoder's stages record a failure in the image record. The first
// failure stays: a later check never overwrites the code or site of an earlier
// one. Sites are source line numbers, offset per source file so that every
// check site in the decoder and in the picture loader has a value of its own.
#pragma once
#include <cstdint>

#include "png/image.h"

constexpr uint32_t kSitesDriver = 0;       // png/image.cpp
constexpr uint32_t kSitesInflate = 10000;  // png/inflate.cpp
constexpr uint32_t kSitesUnfilter = 20000; // png/unfilter.cpp
constexpr uint32_t kSitesLoader = 30000;   // shell/loader.cpp

inline ImageError image_fail(Image* image, ImageError code, uint32_t site) {
  if (image->error == IMAGE_OK) {
    image->error = code;
    image->error_site = site;
  }
  return image->error;
}
