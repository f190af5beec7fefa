// What the outside PDF tools (qpdf, poppler's pdfimages, pdfinfo and
// pdftoppm) say about a file.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "page_maker.h"

namespace tallow::test {

inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

inline ::testing::AssertionResult QpdfChecks(const std::string& pdf) {
  int status = -1;
  const std::string out = RunCommand("qpdf --check " + Quote(pdf) + " 2>&1", &status);
  if (status == 0 && out.find("No syntax or stream encoding errors found") != std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "qpdf --check (" << status << "): " << out;
}

struct ListedImage {
  int page = 0;
  int width = 0;
  int height = 0;
  std::string color;  // gray, rgb, cmyk
  int bpc = 0;
  std::string encoding;  // jpeg, ccitt, image
  int xPpi = 0;
  int yPpi = 0;
};

inline std::vector<ListedImage> ListImages(const std::string& pdf) {
  int status = -1;
  const std::string out = RunCommand("pdfimages -list " + Quote(pdf) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<ListedImage> images;
  std::istringstream lines(out);
  std::string line;
  int row = 0;
  while (std::getline(lines, line)) {
    if (row++ < 2) continue;  // the heading and its rule
    std::istringstream f(line);
    ListedImage image;
    std::string num, type, comp, interp, object, id;
    f >> image.page >> num >> type >> image.width >> image.height >> image.color >> comp >>
        image.bpc >> image.encoding >> interp >> object >> id >> image.xPpi >> image.yPpi;
    if (f) images.push_back(image);
  }
  return images;
}

// Page sizes in points, as "W x H" with two decimals.
inline std::vector<std::string> PageSizes(const std::string& pdf, int pages) {
  int status = -1;
  const std::string out = RunCommand("pdfinfo -f 1 -l " + std::to_string(pages) + " " + Quote(pdf) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> sizes;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    double w = 0, h = 0;
    int n = 0;
    if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf", &n, &w, &h) == 3) {
      char text[64];
      std::snprintf(text, sizeof text, "%.2f x %.2f", w, h);
      sizes.push_back(text);
    }
  }
  return sizes;
}

// Page |page| as poppler draws it, one sample per image pixel at |dpi|.
// Drawn four times as large and sampled at the pixels' centres: below four
// times, poppler smooths images, so no pixel could be checked exactly.
inline PnmImage Render(const std::string& pdf, int page, int dpi, bool color, const std::string& prefix) {
  int status = -1;
  const std::string command = "pdftoppm -aa no -aaVector no -r " + std::to_string(4 * dpi) +
                              (color ? "" : " -gray") + " -f " + std::to_string(page) + " -l " +
                              std::to_string(page) + " -singlefile " + Quote(pdf) + " " + Quote(prefix) + " 2>&1";
  const std::string out = RunCommand(command, &status);
  EXPECT_EQ(status, 0) << out;
  const PnmImage large = ReadPnm(prefix + (color ? ".ppm" : ".pgm"));
  PnmImage image;
  image.width = large.width / 4;
  image.height = large.height / 4;
  image.channels = large.channels;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      for (int c = 0; c < image.channels; ++c) image.samples.push_back(large.At(4 * x + 2, 4 * y + 2, c));
    }
  }
  return image;
}

// Writes every image as pdfimages extracts it (JPEG and CCITT data as they
// are in the file) and returns the names, in image order.
inline std::vector<std::string> ExtractImages(const std::string& pdf, const std::string& prefix) {
  int status = -1;
  const std::string out = RunCommand("pdfimages -all " + Quote(pdf) + " " + Quote(prefix) + " 2>&1 && ls -1 " +
                                         Quote(prefix) + "-*",
                                     &status);
  EXPECT_EQ(status, 0) << out;
  std::vector<std::string> files;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.size() > 7 && line.compare(line.size() - 7, 7, ".params") == 0) continue;
    files.push_back(line);
  }
  return files;
}

}  // namespace tallow::test
