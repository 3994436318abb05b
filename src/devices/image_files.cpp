#include "devices/image_files.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/file.h"
#include "platform/files.h"

// libjpeg's header needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

constexpr size_t kDcxHeaderSize = 4 + 4 * kDcxPages;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Get32(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The folder of a path, "." for a bare name.
std::string FolderOf(const String& path) {
  String dir;
  SplitPath(path, nullptr, &dir, nullptr);
  return dir.IsEmpty() ? std::string(".") : dir.str();
}

// The bytes as the named file: written beside it under a temporary name,
// which then replaces it, so that a failed write leaves no half file.
int WriteWholeFile(const String& name, const std::vector<uint8_t>& bytes) {
  const String target = ExpandFileName(name);
  std::string temp;
  const int fd = MakeUniqueFile(FolderOf(target), "KWR", temp);
  if (fd < 0) return kImageFileError;
  bool ok = RawWrite(fd, bytes.data(), bytes.size());
  ok = RawClose(fd) && ok;
  if (ok) {
    MatchPermissions(temp.c_str(), target.c_str());
    ok = RenamePath(temp.c_str(), target.c_str());
  }
  if (!ok) RemovePath(temp.c_str());
  return ok ? kImageSuccess : kImageFileError;
}

// Reads exactly `count` bytes from the start of an open file.
bool ReadAt(int fd, int64_t position, void* buffer, size_t count) {
  if (RawSeek(fd, position) != position) return false;
  char* p = static_cast<char*>(buffer);
  while (count > 0) {
    const int64_t n = RawRead(fd, p, count);
    if (n <= 0) return false;
    p += n;
    count -= size_t(n);
  }
  return true;
}

// A page added to an existing DCX file: its image at the end, then its entry
// in the table, so that an interrupted write leaves the earlier pages whole.
int AppendDcxPage(const String& name, const std::vector<uint8_t>& page, int number) {
  RawOpenMode mode;
  mode.read = mode.write = true;
  const int fd = RawOpen(ExpandFileName(name).c_str(), mode);
  if (fd < 0) return kImageFileError;
  uint8_t magic[4];
  const int64_t end = RawSeek(fd, 0, true);
  bool ok = end >= int64_t(kDcxHeaderSize) && ReadAt(fd, 0, magic, 4) && Get32(magic) == kDcxMagic &&
            end + int64_t(page.size()) <= int64_t(UINT32_MAX) && RawSeek(fd, end) == end &&
            RawWrite(fd, page.data(), page.size());
  if (ok) {
    std::vector<uint8_t> entry;
    Put32(entry, uint32_t(end));
    const int64_t at = 4 + 4 * int64_t(number - 1);
    ok = RawSeek(fd, at) == at && RawWrite(fd, entry.data(), entry.size());
  }
  ok = RawClose(fd) && ok;
  return ok ? kImageSuccess : kImageFileError;
}

// The compressor's state lives in the caller's frame: the function that sets
// the jump point keeps nothing of its own that changes before a jump.
struct JpegErrors {
  jpeg_error_mgr manager;  // first, so that the coder's pointer to it leads here
  jmp_buf jump;
};

struct JpegJob {
  jpeg_compress_struct info;
  JpegErrors errors;
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  const Raster* image = nullptr;
  int quality = 75;
};

[[noreturn]] void JpegFailed(j_common_ptr info) { longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

void JpegSilent(j_common_ptr) {}

bool CompressJpeg(JpegJob* job) {
  job->info.err = jpeg_std_error(&job->errors.manager);
  job->errors.manager.error_exit = JpegFailed;
  job->errors.manager.output_message = JpegSilent;
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_compress(&job->info);
    return false;
  }
  jpeg_create_compress(&job->info);
  jpeg_mem_dest(&job->info, &job->bytes, &job->size);
  job->info.image_width = JDIMENSION(job->image->Width());
  job->info.image_height = JDIMENSION(job->image->Height());
  job->info.input_components = 3;
  job->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&job->info);
  jpeg_set_quality(&job->info, job->quality, TRUE);
  job->info.density_unit = 1;
  job->info.X_density = job->info.Y_density = 96;
  jpeg_start_compress(&job->info, TRUE);
  while (job->info.next_scanline < job->info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(job->image->Row(int(job->info.next_scanline)));
    jpeg_write_scanlines(&job->info, &row, 1);
  }
  jpeg_finish_compress(&job->info);
  jpeg_destroy_compress(&job->info);
  return true;
}

}  // namespace

int CreateImage(Raster& image, int width, int height) {
  if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide ||
      uint64_t(width) * uint64_t(height) * 3 > kImageMaxBytes)
    return kImageNoMemory;
  try {
    image.Resize(width, height);
  } catch (const std::bad_alloc&) {
    image.Resize(0, 0);
    return kImageNoMemory;
  }
  return kImageSuccess;
}

int JpegQuality(int quality) { return std::clamp(100 - (quality - 2) * 99 / 253, 1, 100); }

std::vector<uint8_t> EncodeBmp(const Raster& image) {
  const uint32_t width = uint32_t(image.Width()), height = uint32_t(image.Height());
  const uint32_t rowSize = (width * 3 + 3) & ~3u;
  const uint32_t dataSize = rowSize * height;
  std::vector<uint8_t> out;
  out.reserve(54 + dataSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + dataSize);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);  // positive: the bottom row comes first
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, dataSize);
  Put32(out, 3780);  // 96 pixels per inch
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
  for (uint32_t y = height; y-- > 0;) {
    const uint8_t* row = image.Row(int(y));
    for (uint32_t x = 0; x < width; ++x) {
      out.push_back(row[3 * x + 2]);
      out.push_back(row[3 * x + 1]);
      out.push_back(row[3 * x]);
    }
    out.resize(out.size() + (rowSize - width * 3), 0);
  }
  return out;
}

std::vector<uint8_t> EncodePcx(const Raster& image) {
  const uint32_t width = uint32_t(image.Width()), height = uint32_t(image.Height());
  const uint32_t bytesPerLine = (width + 1) & ~1u;  // even
  std::vector<uint8_t> out(128, 0);
  out[0] = 0x0A;  // manufacturer
  out[1] = 5;     // version
  out[2] = 1;     // run-length coding
  out[3] = 8;     // bits per pixel and plane
  auto set16 = [&out](size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
  };
  set16(8, width - 1);
  set16(10, height - 1);
  set16(12, 96);
  set16(14, 96);
  out[65] = 3;  // planes
  set16(66, bytesPerLine);
  set16(68, 1);  // colour
  out.reserve(128 + size_t(height) * bytesPerLine * 3);
  std::vector<uint8_t> plane(bytesPerLine, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = image.Row(int(y));
    for (int c = 0; c < 3; ++c) {
      for (uint32_t x = 0; x < width; ++x) plane[x] = row[3 * x + uint32_t(c)];
      // Runs of up to 63 equal bytes; a single byte below 0xC0 stands for itself.
      for (uint32_t i = 0; i < bytesPerLine;) {
        const uint8_t v = plane[i];
        uint32_t run = 1;
        while (i + run < bytesPerLine && run < 63 && plane[i + run] == v) ++run;
        if (run > 1 || v >= 0xC0) out.push_back(uint8_t(0xC0 | run));
        out.push_back(v);
        i += run;
      }
    }
  }
  return out;
}

std::vector<uint8_t> EncodeJpeg(const Raster& image, int quality) {
  JpegJob job;
  job.image = &image;
  job.quality = JpegQuality(quality);
  std::vector<uint8_t> out;
  if (CompressJpeg(&job)) out.assign(job.bytes, job.bytes + job.size);
  free(job.bytes);
  return out;
}

int SaveImage(const String& name, const Raster& image, int format, int quality, const ImageSaveOptions* options) {
  if (image.Width() <= 0 || image.Height() <= 0) return kImageNoMemory;
  std::vector<uint8_t> bytes;
  try {
    switch (format) {
      case kImageBmp:
        bytes = EncodeBmp(image);
        break;
      case kImagePcx:
        bytes = EncodePcx(image);
        break;
      case kImageJpeg:
        bytes = EncodeJpeg(image, quality);
        if (bytes.empty()) return kImageCoderError;
        break;
      default:
        return kImageBadFormat;
    }
  } catch (const std::bad_alloc&) {
    return kImageNoMemory;
  }
  const int page = options ? options->page : 0;
  if (page <= 0) return WriteWholeFile(name, bytes);
  if (format != kImagePcx || page > kDcxPages) return kImageBadFormat;
  if (page > 1) return AppendDcxPage(name, bytes, page);
  std::vector<uint8_t> file;
  file.reserve(kDcxHeaderSize + bytes.size());
  Put32(file, kDcxMagic);
  Put32(file, uint32_t(kDcxHeaderSize));
  file.resize(kDcxHeaderSize, 0);
  file.insert(file.end(), bytes.begin(), bytes.end());
  return WriteWholeFile(name, file);
}

bool ImageFilePages(const String& name, int& pages) {
  pages = 0;
  RawOpenMode mode;
  mode.read = true;
  const int fd = RawOpen(ExpandFileName(name).c_str(), mode);
  if (fd < 0) return false;
  std::vector<uint8_t> header(kDcxHeaderSize);
  const bool ok = ReadAt(fd, 0, header.data(), header.size()) && Get32(header.data()) == kDcxMagic;
  RawClose(fd);
  if (!ok) return false;
  while (pages < kDcxPages && Get32(&header[4 + 4 * size_t(pages)]) != 0) ++pages;
  return true;
}
