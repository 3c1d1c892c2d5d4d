// Each Windows deliverable carries a version resource as Windows reads it (GetFileVersionInfo):
// file and product version numbers of the runtime release, its whole text as the version strings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zerin_version.h"

namespace {

struct VersionResource {
  VS_FIXEDFILEINFO fixed{};
  std::string fileVersion;
  std::string productVersion;
  std::string originalFilename;
};

// The DLL beside this program, read as Explorer's properties page reads it.
bool readVersionResource(const std::string& dll, VersionResource& out) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file(path, length);
  file = file.substr(0, file.find_last_of("\\/") + 1) + dll;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return false;
  void* value = nullptr;
  UINT valueSize = 0;
  if (!VerQueryValueA(block.data(), "\\", &value, &valueSize) || valueSize != sizeof(VS_FIXEDFILEINFO)) return false;
  out.fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
  const auto text = [&](const char* name) {
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    return VerQueryValueA(block.data(), query.c_str(), &value, &valueSize) && valueSize > 0
               ? std::string(static_cast<const char*>(value))
               : std::string("(none)");
  };
  out.fileVersion = text("FileVersion");
  out.productVersion = text("ProductVersion");
  out.originalFilename = text("OriginalFilename");
  return true;
}

TEST(VersionResource, EveryDeliverableCarriesTheRuntimeVersion) {
  unsigned major = 0, minor = 0, patch = 0, build = 0;
  ASSERT_EQ(std::sscanf(ZERIN_RUNTIME_VERSION, "%u.%u.%u.%u", &major, &minor, &patch, &build), 4);
  const DWORD high = MAKELONG(minor, major), low = MAKELONG(build, patch);

  for (const std::string dll : {"ZerinEngineBridge.dll", "ZerinTrackerLink.dll"}) {
    SCOPED_TRACE(dll);
    VersionResource resource;
    ASSERT_TRUE(readVersionResource(dll, resource)) << "no version resource, error " << GetLastError();
    EXPECT_EQ(resource.fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(resource.fixed.dwFileVersionMS, high);
    EXPECT_EQ(resource.fixed.dwFileVersionLS, low);
    EXPECT_EQ(resource.fixed.dwProductVersionMS, high);
    EXPECT_EQ(resource.fixed.dwProductVersionLS, low);
    EXPECT_EQ(resource.fixed.dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(resource.fileVersion, ZERIN_RUNTIME_VERSION);
    EXPECT_EQ(resource.productVersion, ZERIN_RUNTIME_VERSION);
    EXPECT_EQ(resource.originalFilename, dll);
  }
}

}  // namespace
