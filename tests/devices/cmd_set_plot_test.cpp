#include <gtest/gtest.h>

#include <string>

#include "base/stream.h"
#include "devices/output_devices.h"
#include "devices/plot_file_fixture.h"
#include "support/interp_fixture.h"

namespace {

class SetPlotTest : public PlotFileTest {
 protected:
  OutputDevices devices;

  // The rest of a SET PLOT or SET MOVIE line, after its first two words.
  CommandType& Rest(const char* line) {
    Line((std::string("set plot ") + line).c_str());
    interp.TokenIndex() = 2;
    return interp;
  }
  void Plot(const char* rest) { devices.SetPlot(Rest(rest)); }
  void Movie(const char* rest) { devices.SetMovie(Rest(rest)); }
};

TEST_F(SetPlotTest, TheFirstKeywordTheWordLeadsChoosesTheDevice) {
  EXPECT_EQ(&devices.Hardcopy(), &devices.PrinterCanvas()) << "the printer at start";
  struct Case {
    const char* rest;
    Canvas* canvas;
    const char* extension;
  } cases[] = {
      {"b", &devices.BitmapCanvas(BitmapDevice::kBmp), "bmp"},  // bitmap before bmp
      {"p", &devices.PostScriptCanvas(), "ps"},                 // postscript before pcx
      {"pc", &devices.BitmapCanvas(BitmapDevice::kPcx), "pcx"},
      {"bm", &devices.BitmapCanvas(BitmapDevice::kBmp), "bmp"},
      {"j", &devices.BitmapCanvas(BitmapDevice::kJpeg), "jpg"},
      {"d", &devices.BitmapCanvas(BitmapDevice::kDcx), "dcx"},
      {"w", &devices.PrinterCanvas(), "prn"},
      {"POST color", &devices.PostScriptCanvas(), "ps"},
  };
  for (const Case& c : cases) {
    Plot(c.rest);
    EXPECT_EQ(&devices.Hardcopy(), c.canvas) << c.rest;
    EXPECT_EQ(devices.Extension().str(), c.extension) << c.rest;
  }
  EXPECT_TRUE(devices.PostScript().IsColor());

  // Without a device word the current device reads the words.
  Plot("jpg");
  Plot("size 600 400");
  Plot("");
  EXPECT_EQ(&devices.Hardcopy(), &devices.BitmapCanvas(BitmapDevice::kJpeg));
  EXPECT_EQ(devices.Bitmap(BitmapDevice::kJpeg).Width(), 600);
  EXPECT_EQ(devices.Bitmap(BitmapDevice::kJpeg).Height(), 400);
  EXPECT_EQ(devices.Bitmap(BitmapDevice::kBmp).Width(), 1024);
}

TEST_F(SetPlotTest, MovieTypeAndDevicesNotYetAvailable) {
  Movie("dcx step 5");
  EXPECT_EQ(devices.Movie(), OutputDevices::kDcxMovie);
  EXPECT_EQ(&devices.Hardcopy(), &devices.BitmapCanvas(BitmapDevice::kDcx));
  EXPECT_EQ(devices.HardcopyDevice().GetStep(), 5);

  // Devices this program does not have yet change nothing.
  EXPECT_EQ(Failure([&] { Movie("avi size 640 480"); }), "SET MOVIE AVI is not available in this version");
  EXPECT_EQ(Failure([&] { Plot("metafile"); }), "SET PLOT METAFILE is not available in this version");
  EXPECT_EQ(Failure([&] { Plot("avi"); }), "SET PLOT AVI is not available in this version");
  EXPECT_EQ(devices.Movie(), OutputDevices::kDcxMovie);
  EXPECT_EQ(&devices.Hardcopy(), &devices.BitmapCanvas(BitmapDevice::kDcx));

  for (const char* rest : {"jpg", ""}) {
    devices.SetMovieType(OutputDevices::kDcxMovie);
    Plot("postscript");
    EXPECT_EQ(Failure([&] { Movie(rest); }), "set movie dcx or avi must be specified!") << rest;
    EXPECT_EQ(devices.Movie(), OutputDevices::kNoMovie);
    EXPECT_EQ(&devices.Hardcopy(), &devices.PostScriptCanvas());
  }
}

TEST_F(SetPlotTest, PrinterKeepsItsLayoutAndPassesOverOtherWords) {
  Plot("windows size 5 4 position 1 2 bogus words");
  EXPECT_FALSE(interp.HasToken());
  StringOStream out;
  devices.Hardcopy().List(out);
  EXPECT_EQ(out.str(), "        Name: Win32 Printer Drivers\n        Size: (5,4)\n    Position: (1,2)\n");
  Plot("size automatic");
  EXPECT_TRUE(devices.Printer().SizeAutomatic());
  EXPECT_FALSE(devices.Printer().PositionAutomatic());
  EXPECT_EQ(Failure([&] { devices.Hardcopy().BeginOutput(Line("file page")); }), "Unable to select default printer");
  EXPECT_EQ(devices.Hardcopy().Name().str(), "Windows Printer");
}

// The general SET hands PLOT, MOVIE and OUTPUT's extension to the devices of the program.
TEST_F(SetPlotTest, GeneralSetReachesTheProgramsDevices) {
  InstallOutputDevices();
  RunLines(interp, console,
           {"set plot postscript bogus", "set plot postscript portrait size x 1", "set movie jpg", "set plot metafile",
            "set plot bmp", "set output pic", "set plot windows echo off", "set plot p"});
  EXPECT_EQ(console.Take(),
            "Terrax>set plot postscript bogus\n*** Unrecognized parameter 3 (bogus)\n"
            "Terrax>set plot postscript portrait size x 1\n*** Bad conversion parameter 5 (x)\n"
            "Terrax>set movie jpg\n*** set movie dcx or avi must be specified!\n"
            "Terrax>set plot metafile\n*** SET PLOT METAFILE is not available in this version\n"
            "Terrax>set plot bmp\nTerrax>set output pic\nTerrax>set plot windows echo off\nTerrax>set plot p\n");
  OutputDevices& global = TheOutputDevices();
  EXPECT_TRUE(global.PostScript().Portrait()) << "words before the bad one are kept";
  EXPECT_EQ(PlotOutputName().str(), "pic.bmp");
  EXPECT_EQ(&global.Hardcopy(), &global.PostScriptCanvas());
  EXPECT_EQ(global.Movie(), OutputDevices::kNoMovie);
  EXPECT_TRUE(interp.Echo()) << "words after SET PLOT WINDOWS are passed over";
}

}  // namespace
