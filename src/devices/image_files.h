// The imaging library of the bitmap devices: a drawable bitmap, and image
// files written from it: Windows BMP (24 bits per pixel, rows bottom-up, each
// padded to 4 bytes), PCX (version 5, three 8-bit planes, run-length coded),
// DCX (a table of up to 1024 PCX pages) and JPEG (through libjpeg).
//
// Calls answer kImageSuccess or a negative error code; the devices report the
// codes in their messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/string.h"
#include "platform/raster.h"

constexpr int kImageSuccess = 1;
// The bitmap's memory could not be had (or exceeds what the formats hold).
constexpr int kImageNoMemory = -1;
// The file could not be made or written whole.
constexpr int kImageFileError = -2;
// The format number is not one of the library's.
constexpr int kImageBadFormat = -3;
// The JPEG coder refused the image.
constexpr int kImageCoderError = -4;

// Format numbers of SaveImage: a DCX page is a PCX image saved with a page number.
constexpr int kImagePcx = 1;
constexpr int kImageJpeg = 23;
constexpr int kImageBmp = 84;

// The largest width or height of a bitmap, and the most bytes one may take.
constexpr int kImageMaxSide = 65500;
constexpr uint64_t kImageMaxBytes = uint64_t(1) << 30;

// Gives the raster the size, white; kImageNoMemory when it cannot.
int CreateImage(Raster& image, int width, int height);

// Where a DCX page goes: 0 for a single image, else its page number (1 makes a new file).
struct ImageSaveOptions {
  int page = 0;
};

// Writes the raster as a file of the format. A still image is written under a
// temporary name in its folder and takes the name when complete; a DCX page
// is added in place. Quality (2 best to 255 smallest) applies to JPEG.
int SaveImage(const String& name, const Raster& image, int format, int quality,
              const ImageSaveOptions* options = nullptr);

// The pages of a DCX file; false when the file cannot be read or is no DCX file.
bool ImageFilePages(const String& name, int& pages);

// The JPEG quality (1 to 100) for a bitmap quality of 2 (best) to 255.
int JpegQuality(int quality);

// The encoded bytes of each format.
std::vector<uint8_t> EncodeBmp(const Raster& image);
std::vector<uint8_t> EncodePcx(const Raster& image);
// Empty when the coder failed.
std::vector<uint8_t> EncodeJpeg(const Raster& image, int quality);

// DCX: the magic number and the page table.
constexpr uint32_t kDcxMagic = 987654321;
constexpr int kDcxPages = 1024;
