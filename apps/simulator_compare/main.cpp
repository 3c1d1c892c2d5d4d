// zerin-simulator-compare GOLDEN CAPTURED [--tolerance N] [--diff DIR]: compares pictures the
// headset simulator captured with golden ones, file against file or folder against folder
// (PNG files paired by name). Exit status 0 only when every picture is within the tolerance.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "command_line.h"

#include <stb_image.h>
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace {

// Pixels as RGBA, whatever the file stores (grey g becomes g, g, g, 255).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
};

bool readPicture(const fs::path& path, Picture& picture, std::string& error) {
  int channels = 0;
  unsigned char* pixels = stbi_load(path.string().c_str(), &picture.width, &picture.height, &channels, 4);
  if (!pixels) {
    error = "cannot read " + path.string() + ": " + (stbi_failure_reason() ? stbi_failure_reason() : "unknown");
    return false;
  }
  picture.rgba.assign(pixels, pixels + size_t(picture.width) * picture.height * 4);
  stbi_image_free(pixels);
  return true;
}

bool isPng(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return extension == ".png";
}

// One pair: true when within the tolerance; prints what it found.
bool comparePair(const std::string& name, const fs::path& golden, const fs::path& captured, int tolerance,
                 const std::string& diffFolder) {
  Picture a, b;
  std::string error;
  if (!readPicture(golden, a, error) || !readPicture(captured, b, error)) {
    std::printf("%s: MISMATCH, %s\n", name.c_str(), error.c_str());
    return false;
  }
  if (a.width != b.width || a.height != b.height) {
    std::printf("%s: MISMATCH, sizes differ: %dx%d golden, %dx%d captured\n", name.c_str(), a.width, a.height, b.width,
                b.height);
    return false;
  }
  int largest = 0;
  double sum = 0.0;
  std::vector<unsigned char> difference(a.rgba.size());
  for (size_t i = 0; i < a.rgba.size(); ++i) {
    const int d = std::abs(int(a.rgba[i]) - int(b.rgba[i]));
    largest = std::max(largest, d);
    sum += d;
    difference[i] = static_cast<unsigned char>(d);
  }
  const double mean = a.rgba.empty() ? 0.0 : sum / double(a.rgba.size());
  const bool within = largest <= tolerance;
  std::printf("%s: %s, largest difference %d, mean %.4f\n", name.c_str(), within ? "ok" : "MISMATCH", largest, mean);
  if (!within && !diffFolder.empty()) {
    // The difference of each channel; alpha made opaque so that the picture shows it.
    for (size_t i = 3; i < difference.size(); i += 4) difference[i] = 255;
    const fs::path out = fs::path(diffFolder) / (fs::path(name).stem().string() + "-difference.png");
    std::error_code ignored;
    fs::create_directories(diffFolder, ignored);
    if (!stbi_write_png(out.string().c_str(), a.width, a.height, 4, difference.data(), a.width * 4))
      std::printf("%s: cannot write %s\n", name.c_str(), out.string().c_str());
  }
  return within;
}

std::set<std::string> pngsIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.is_regular_file() && isPng(entry.path())) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  std::string golden, captured, diffFolder;
  int tolerance = 0;
  ZerinCommandLine::App app(
      "Compares the headset simulator's captured pictures with golden ones: two PNG files, or two folders "
      "whose PNG files are paired by name (a file on one side only is a mismatch). Prints the largest and mean "
      "absolute channel difference of each picture; exit status 0 only when every one is within the tolerance.",
      "zerin-simulator-compare");
  app.add_option("GOLDEN", golden, "the golden picture or folder")->required();
  app.add_option("CAPTURED", captured, "the captured picture or folder")->required();
  app.add_option("--tolerance", tolerance, "the largest channel difference allowed, 0 to 255 (default 0)")
      ->check(CLI::Range(0, 255));
  app.add_option("--diff", diffFolder, "a folder for a difference picture of each mismatch");
  if (const auto exit = app.parseOrExit(argc, argv)) return *exit;

  std::error_code error;
  const bool goldenFolder = fs::is_directory(golden, error);
  const bool capturedFolder = fs::is_directory(captured, error);
  for (const std::string& path : {golden, captured}) {
    if (!fs::exists(path, error)) {
      std::fprintf(stderr, "zerin-simulator-compare: %s does not exist\n", path.c_str());
      return 2;
    }
  }
  if (goldenFolder != capturedFolder) {
    std::fprintf(stderr, "zerin-simulator-compare: %s and %s must both be files or both be folders\n", golden.c_str(),
                 captured.c_str());
    return 2;
  }
  if (!goldenFolder) {
    const bool within = comparePair(fs::path(captured).filename().string(), golden, captured, tolerance, diffFolder);
    return within ? 0 : 1;
  }

  const std::set<std::string> goldenNames = pngsIn(golden);
  const std::set<std::string> capturedNames = pngsIn(captured);
  std::set<std::string> names = goldenNames;
  names.insert(capturedNames.begin(), capturedNames.end());
  if (names.empty()) {
    std::fprintf(stderr, "zerin-simulator-compare: no PNG files in %s or %s\n", golden.c_str(), captured.c_str());
    return 2;
  }
  size_t mismatches = 0;
  for (const std::string& name : names) {
    if (!goldenNames.count(name) || !capturedNames.count(name)) {
      std::printf("%s: MISMATCH, missing from %s\n", name.c_str(), goldenNames.count(name) ? "captured" : "golden");
      ++mismatches;
      continue;
    }
    if (!comparePair(name, fs::path(golden) / name, fs::path(captured) / name, tolerance, diffFolder)) ++mismatches;
  }
  std::printf("%zu of %zu pictures within tolerance %d\n", names.size() - mismatches, names.size(), tolerance);
  return mismatches == 0 ? 0 : 1;
}
