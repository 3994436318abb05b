#include "devices/bitmap_device.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "base/stream.h"
#include "devices/image_files.h"
#include "devices/plot_file_fixture.h"
#include "devices/test_devices.h"

namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kWhite = 0xFFFFFF;

uint32_t Get16(const std::string& b, size_t at) { return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8; }
uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

// A BMP file read back by the layout Windows readers expect; false when a
// header field is not what a 24-bit bottom-up image has.
bool DecodeBmp(const std::string& b, Raster& image) {
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || Get32(b, 2) != b.size() || Get32(b, 10) != 54 ||
      Get32(b, 14) != 40 || Get16(b, 26) != 1 || Get16(b, 28) != 24 || Get32(b, 30) != 0)
    return false;
  const int width = int(Get32(b, 18)), height = int(Get32(b, 22));
  const size_t row = (size_t(width) * 3 + 3) / 4 * 4;
  if (b.size() != 54 + row * size_t(height)) return false;
  image.Resize(width, height);
  for (int y = 0; y < height; ++y) {
    const size_t at = 54 + size_t(height - 1 - y) * row;
    for (int x = 0; x < width; ++x)
      image.SetPixel(x, y, PackColor(uint8_t(b[at + 3 * x + 2]), uint8_t(b[at + 3 * x + 1]), uint8_t(b[at + 3 * x])));
  }
  return true;
}

// A PCX image at `at`: version 5, three planes of 8 bits, run-length coded.
// The longest run met is reported.
bool DecodePcx(const std::string& b, size_t at, Raster& image, int* longestRun = nullptr) {
  if (b.size() < at + 128 || uint8_t(b[at]) != 0x0A || b[at + 1] != 5 || b[at + 2] != 1 || b[at + 3] != 8 ||
      b[at + 65] != 3)
    return false;
  const int width = int(Get16(b, at + 8) - Get16(b, at + 4) + 1);
  const int height = int(Get16(b, at + 10) - Get16(b, at + 6) + 1);
  const size_t perLine = Get16(b, at + 66);
  if (perLine % 2 != 0 || perLine < size_t(width)) return false;
  std::vector<uint8_t> plain;
  const size_t want = perLine * 3 * size_t(height);
  size_t p = at + 128;
  int longest = 0;
  while (plain.size() < want) {
    if (p >= b.size()) return false;
    uint8_t v = uint8_t(b[p++]);
    int count = 1;
    if (v >= 0xC0) {
      count = v & 0x3F;
      if (p >= b.size()) return false;
      v = uint8_t(b[p++]);
    }
    longest = std::max(longest, count);
    plain.insert(plain.end(), size_t(count), v);
  }
  if (plain.size() != want) return false;  // a run crossed the end of the image
  image.Resize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t line = size_t(y) * perLine * 3;
      image.SetPixel(x, y, PackColor(plain[line + x], plain[line + perLine + x], plain[line + 2 * perLine + x]));
    }
  if (longestRun) *longestRun = longest;
  return true;
}

struct JpegDecodeErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
};
[[noreturn]] void JpegDecodeFailed(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegDecodeErrors*>(info->err)->jump, 1);
}

// Width, height and the colour of one pixel of a JPEG file.
bool DecodeJpeg(const std::string& b, int& width, int& height, int px, int py, uint32_t& colour) {
  jpeg_decompress_struct info;
  JpegDecodeErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegDecodeFailed;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(b.data()), b.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  width = int(info.output_width);
  height = int(info.output_height);
  std::vector<unsigned char> row(size_t(width) * 3);
  while (info.output_scanline < info.output_height) {
    const int y = int(info.output_scanline);
    unsigned char* rows[1] = {row.data()};
    jpeg_read_scanlines(&info, rows, 1);
    if (y == py) colour = PackColor(row[3 * px], row[3 * px + 1], row[3 * px + 2]);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

// A picture with long runs, lone bytes of 0xC0 and above, and odd widths.
Raster Pattern(int width, int height) {
  Raster r(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (x > width / 2) continue;  // a run longer than 63 on wide rasters
      const uint8_t v = uint8_t(0xBE + (x * 7 + y * 3) % 5);
      r.SetPixel(x, y, PackColor(v, uint8_t(x * 13 + y), uint8_t(0xC0 + (x % 3 == 0))));
    }
  return r;
}

std::string Str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(ImageFilesTest, BmpAndPcxHoldThePicture) {
  const int sizes[][2] = {{1, 1}, {5, 3}, {200, 7}, {64, 40}};
  for (const auto& s : sizes) {
    const Raster original = Pattern(s[0], s[1]);
    Raster back;
    EXPECT_TRUE(DecodeBmp(Str(EncodeBmp(original)), back)) << s[0] << "x" << s[1];
    EXPECT_TRUE(back == original) << "BMP " << s[0] << "x" << s[1];
    int longest = 0;
    EXPECT_TRUE(DecodePcx(Str(EncodePcx(original)), 0, back, &longest)) << s[0] << "x" << s[1];
    EXPECT_TRUE(back == original) << "PCX " << s[0] << "x" << s[1];
    EXPECT_LE(longest, 63);
  }
  EXPECT_EQ(JpegQuality(2), 100);
  EXPECT_EQ(JpegQuality(50), 82);
  EXPECT_EQ(JpegQuality(255), 1);
}

TEST(ImageFilesTest, JpegQualityTwoIsTheBest) {
  const Raster picture = Pattern(120, 80);
  const std::vector<uint8_t> best = EncodeJpeg(picture, 2), smallest = EncodeJpeg(picture, 255);
  ASSERT_FALSE(best.empty());
  ASSERT_FALSE(smallest.empty());
  EXPECT_GT(best.size(), 2 * smallest.size());
  int width = 0, height = 0;
  uint32_t colour = 0;
  ASSERT_TRUE(DecodeJpeg(Str(best), width, height, 110, 10, colour));
  EXPECT_EQ(width, 120);
  EXPECT_EQ(height, 80);
  EXPECT_EQ(colour, 0xFFFFFFu);
}

class BitmapTest : public PlotFileTest {};

// Each still kind: the default file name, the message, the size set and a
// red rectangle drawn where it was asked for.
TEST_F(BitmapTest, StillImagesAreWrittenAtTheirSize) {
  struct Case {
    BitmapDevice::Kind kind;
    const char* file;
  } cases[] = {
      {BitmapDevice::kBmp, "terrax.BMP"}, {BitmapDevice::kPcx, "terrax.PCX"}, {BitmapDevice::kJpeg, "terrax.JPG"}};
  for (const Case& c : cases) {
    BitmapDevice device(c.kind);
    device.ParseKeywords(Line("size 600 400"), 0);
    device.BeginOutput(Line(""));
    EXPECT_EQ(console.Take(), std::string("--- Sending ") + (c.file + 7) + " format plot to file " + c.file + "\n");
    device.SetBackColor(kWhite);
    device.Clear();
    device.SetColor(kRed);
    device.FillRect({100, 50, 300, 150});
    device.EndOutput();
    EXPECT_EQ(device.Image(), nullptr);
    const std::string bytes = TempDir::Read(c.file);
    Raster back;
    if (c.kind == BitmapDevice::kJpeg) {
      int width = 0, height = 0;
      uint32_t colour = 0;
      ASSERT_TRUE(DecodeJpeg(bytes, width, height, 200, 100, colour));
      EXPECT_EQ(width, 600);
      EXPECT_EQ(height, 400);
      EXPECT_GT(RedOf(colour), 240);
      EXPECT_LT(GreenOf(colour), 16);
      continue;
    }
    ASSERT_TRUE(c.kind == BitmapDevice::kBmp ? DecodeBmp(bytes, back) : DecodePcx(bytes, 0, back)) << c.file;
    EXPECT_EQ(back.Width(), 600);
    EXPECT_EQ(back.Height(), 400);
    EXPECT_EQ(back.Pixel(100, 50), kRed);
    EXPECT_EQ(back.Pixel(299, 149), kRed);
    EXPECT_EQ(back.Pixel(300, 150), kWhite);
    EXPECT_EQ(CountInk(back), 200 * 100);
  }

  // SET OUTPUT names the file, and a file phrase of the command takes its place.
  BitmapDevice bmp(BitmapDevice::kBmp);
  PlotOutputName() = "out.bmp";
  bmp.BeginOutput(Line(""));
  bmp.EndOutput();
  bmp.BeginOutput(Line("file pic"));
  bmp.EndOutput();
  EXPECT_EQ(console.Take(),
            "--- Sending BMP format plot to file out.bmp\n--- Sending BMP format plot to file pic.bmp\n");
  Raster back;
  EXPECT_TRUE(DecodeBmp(TempDir::Read("pic.bmp"), back));
  EXPECT_EQ(back.Width(), 1024);
  EXPECT_EQ(back.Height(), 768);
}

TEST_F(BitmapTest, SettingsListingAndFailures) {
  BitmapDevice jpg(BitmapDevice::kJpeg);
  jpg.ParseKeywords(Line("size 600 400 quality 1"), 0);
  EXPECT_EQ(jpg.Quality(), 2);
  jpg.ParseKeywords(Line("quality 300 step 5"), 0);
  EXPECT_EQ(jpg.Quality(), 255);
  EXPECT_EQ(jpg.GetStep(), 5);
  StringOStream out;
  jpg.List(out);
  EXPECT_EQ(out.str(),
            "        Name: Bitmap file output\n"
            "        Size: (600,400)\n"
            "        Type: JPG\n"
            "     Quality: 255\n");
  EXPECT_EQ(Failure([&] { jpg.ParseKeywords(Line("size 0 5"), 0); }), "Bad conversion parameter 1 (0)");
  EXPECT_EQ(Failure([&] { jpg.ParseKeywords(Line("size 5 -2"), 0); }), "Bad conversion parameter 2 (-2)");
  EXPECT_EQ(Failure([&] { jpg.ParseKeywords(Line("step -1"), 0); }), "Bad conversion parameter 1 (-1)");
  EXPECT_EQ(Failure([&] { jpg.ParseKeywords(Line("file x.jpg"), 0); }), "Unrecognized parameter 0 (file)");
  EXPECT_EQ(jpg.Width(), 600);
  EXPECT_EQ(jpg.Height(), 400);

  BitmapDevice bmp(BitmapDevice::kBmp);
  bmp.ParseKeywords(Line("size 60000 60000"), 0);
  EXPECT_EQ(Failure([&] { bmp.BeginOutput(Line("")); }), "Imaging library error code -1");
  EXPECT_EQ(bmp.Image(), nullptr);
  bmp.ParseKeywords(Line("size 8 8"), 0);
  bmp.BeginOutput(Line("file nodir/x.bmp"));
  EXPECT_EQ(Failure([&] { bmp.EndOutput(); }), "Imaging library error creating file (nodir/x.bmp)");
  EXPECT_EQ(bmp.Image(), nullptr);
  StringOStream listing;
  bmp.List(listing);
  EXPECT_EQ(listing.str(), "        Name: Bitmap file output\n        Size: (8,8)\n        Type: BMP\n");
}

class DcxTest : public PlotFileTest {
 protected:
  BitmapDevice dcx{BitmapDevice::kDcx};

  void SetUp() override {
    PlotFileTest::SetUp();
    dcx.ParseKeywords(Line("size 9 4"), 0);
  }
  // One frame with a red pixel in column `x`.
  void Frame(int x) {
    dcx.BeginMovieFrame();
    dcx.SetColor(kRed);
    dcx.FillRect({x, 1, x + 1, 2});
    dcx.SaveMovieFrame();
  }
  // The offsets of the file's pages; empty when it is no DCX file.
  static std::vector<uint32_t> Pages(const std::string& bytes) {
    std::vector<uint32_t> pages;
    if (bytes.size() < 4100 || Get32(bytes, 0) != 987654321) return pages;
    for (int i = 0; i < 1024 && Get32(bytes, 4 + 4 * size_t(i)) != 0; ++i)
      pages.push_back(Get32(bytes, 4 + 4 * size_t(i)));
    return pages;
  }
};

TEST_F(DcxTest, FramesBecomePagesOfTheMovieFile) {
  dcx.BeginOutput(Line(""));
  EXPECT_TRUE(TempDir::Read("Terrax.DCX").empty());
  EXPECT_TRUE(dcx.Recording());
  for (int x = 0; x < 3; ++x) Frame(x);
  // A hardcopy while the movie records keeps the pages it has.
  dcx.BeginOutput(Line(""));
  Frame(3);
  const std::string bytes = TempDir::Read("Terrax.DCX");
  const std::vector<uint32_t> pages = Pages(bytes);
  ASSERT_EQ(pages.size(), 4u);
  EXPECT_EQ(pages[0], 4100u);
  for (int i = 0; i < 4; ++i) {
    Raster page;
    ASSERT_TRUE(DecodePcx(bytes, pages[size_t(i)], page)) << i;
    EXPECT_EQ(page.Width(), 9);
    EXPECT_EQ(page.Height(), 4);
    EXPECT_EQ(page.Pixel(i, 1), kRed) << i;
    EXPECT_EQ(CountInk(page), 1);
  }
  dcx.EndMovie();
  EXPECT_FALSE(dcx.Recording());
  dcx.BeginOutput(Line(""));
  EXPECT_TRUE(TempDir::Read("Terrax.DCX").empty()) << "a new movie starts an empty file";
}

TEST_F(DcxTest, FramesPastTheTableAreDrawnButNotStored) {
  dcx.ParseKeywords(Line("file film size 2 2"), 0);
  EXPECT_EQ(dcx.FileName().str(), "film.DCX");
  TempDir::Write("film.DCX", "not a movie file");
  Frame(0);
  EXPECT_EQ(Pages(TempDir::Read("film.DCX")).size(), 1u) << "a file of another kind is begun anew";
  for (int i = 1; i < 1024; ++i) Frame(i % 2);
  const std::string full = TempDir::Read("film.DCX");
  EXPECT_EQ(Pages(full).size(), 1024u);
  Frame(1);
  EXPECT_EQ(TempDir::Read("film.DCX"), full);
  EXPECT_EQ(dcx.Image(), nullptr);
}

// The files open in the standard tools: `file` knows each kind, and
// ImageMagick or Python's imaging library reads its size.
TEST_F(BitmapTest, StandardToolsReadTheFiles) {
  const bool haveFile = HaveTool("file"), haveIdentify = HaveTool("identify");
  // The Python that has PIL: the system's, else the one on the path.
  std::string probe, python;
  for (const char* candidate : {"/usr/bin/python3", "python3"})
    if (python.empty() && RunTool(std::string(candidate) + " -c 'import PIL'", probe) == 0) python = candidate;
  const bool havePil = !python.empty();
  if (!haveFile && !haveIdentify && !havePil) GTEST_SKIP() << "neither file, identify nor PIL is installed";
  struct Case {
    BitmapDevice::Kind kind;
    const char* name;
    const char* type;
  } cases[] = {{BitmapDevice::kBmp, "a.bmp", "PC bitmap"},
               {BitmapDevice::kJpeg, "a.jpg", "JPEG image data"},
               {BitmapDevice::kPcx, "a.pcx", "PCX"},
               {BitmapDevice::kDcx, "a.dcx", "DCX"}};
  for (const Case& c : cases) {
    BitmapDevice device(c.kind);
    device.ParseKeywords(Line("size 60 40"), 0);
    if (c.kind == BitmapDevice::kDcx) {
      device.ParseKeywords(Line("file a.dcx"), 0);
      device.BeginOutput(Line(""));
      for (int i = 0; i < 2; ++i) {
        device.BeginMovieFrame();
        device.SetColor(kRed);
        device.FillRect({i, i, 30, 20});
        device.SaveMovieFrame();
      }
      device.EndMovie();
    } else {
      PlotOutputName() = c.name;
      device.BeginOutput(Line(""));
      device.SetColor(kRed);
      device.FillRect({5, 5, 30, 20});
      device.EndOutput();
    }
    std::string out;
    if (haveFile) {
      EXPECT_EQ(RunTool(std::string("file -b ") + c.name, out), 0);
      EXPECT_TRUE(Has(out, c.type)) << c.name << ": " << out;
    }
    if (haveIdentify) {
      EXPECT_EQ(RunTool(std::string("identify -format '%w %h\\n' ") + c.name, out), 0) << out;
      EXPECT_EQ(out.substr(0, 6), "60 40\n") << c.name << ": " << out;
    }
    if (havePil) {
      EXPECT_EQ(RunTool(python + " -c 'from PIL import Image; print(Image.open(\"" + c.name + "\").size)'", out), 0)
          << out;
      EXPECT_EQ(out, "(60, 40)\n") << c.name;
    }
  }
}

}  // namespace
