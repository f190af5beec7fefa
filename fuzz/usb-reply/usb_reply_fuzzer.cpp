// Input: one byte that picks the command and how the device behaves, then
// the device's replies, each as a flags byte, the XML (2-byte length first),
// the bytes that follow it (2-byte length first) and, as the flags say, a
// reply length other than the XML's and reads that give less than asked.
// Whatever the replies, the command must end with the device released, the
// tables within their bounds, and a page file only for a page that came
// whole as a picture of its kind.
#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/box_protocol.h"
#include "device/box_tables.h"
#include "device/page_picture.h"
#include "device/usb_channel.h"
#include "device/usb_transport.h"
#include "device/xml_api_binding.h"
#include "fake_sti.h"
#include "input_reader.h"
#include "kivor_table.h"
#include "scratch_folder.h"

namespace {

using tallow::test::FakeReply;
using tallow::test::FakeSti;

FakeReply NextReply(fuzz::InputReader& in) {
  const std::uint32_t flags = in.Take(1);
  FakeReply r{in.Bytes(), in.Bytes()};
  // Lengths that the transport refuses unread, or that the reads do not give.
  if (flags & 1) r.announcedLength = (flags & 2) ? (std::int64_t{64} << 20) + 1 + in.Take(1) : in.Take(2);
  if (flags & 4) r.bodyGiven = in.Take(2);
  if (flags & 8) r.dataGiven = in.Take(2);
  return r;
}

constexpr const char16_t* kDevice = u"fuzz-usb-0";

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
  }
  return names;
}

std::string Head(const std::string& path) {
  std::string head(tallow::kPageSignatureSize, '\0');
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  return head;
}

void OneDocument(std::int32_t format) {
  tallow::BoxTables& t = tallow::UsbBoxTables();
  t.fileCount = 1;
  t.files[0] = tallow::BoxFileRecord{};
  t.files[0].FILEID = 0xABCD;
  t.files[0].PAGES = 1;
  t.files[0].IMAGEFORMAT = format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    // A device that sends no data is given up at once instead of after 30 s.
    ::setenv("KIVOR_STALL_TIMEOUT_MS", "1", 1);
    return tallow::BindXmlHttpApi(&fuzz::KivorTable());
  }();
  if (!ready) __builtin_trap();
  static const std::string& folder = fuzz::ScratchFolder("usb-reply");

  fuzz::InputReader in(data, size);
  const std::uint32_t setup = in.Take(1);
  FakeSti device;
  device.escapeResult = (setup & 0x10) ? tallow::E_NOTIMPL : tallow::S_OK;
  device.lockResult = (setup & 0x20) ? STIERR_DEVICE_LOCKED : tallow::S_OK;
  while (!in.empty() && device.replies.size() < 64) device.replies.push_back(NextReply(in));
  device.Bind();

  tallow::BoxTables& tables = tallow::UsbBoxTables();
  tables = tallow::BoxTables{};
  switch (setup & 0x7) {
    case 0:
      tallow::UsbListFolders(kDevice);
      if (tables.folderCount < 0 || tables.folderCount > tallow::kMaxBoxRecords) __builtin_trap();
      break;
    case 1: {
      tables.folderCount = 2;
      tables.folders[1].FOLDERID = 7;
      tables.folders[1].ATTRIBUTE = tallow::kBoxNeedsPassword;
      int error = 0;
      tallow::UsbListFiles(1, kDevice, u"1234", &error);
      if (tables.fileCount < -1 || tables.fileCount > tallow::kMaxFileRecords) __builtin_trap();
      break;
    }
    case 2: {
      OneDocument(tallow::kImageFormatColor);
      tallow::ImageInfo info{};
      tallow::UsbGetImageInfo(0, 1, &info, kDevice);
      break;
    }
    default: {
      const std::int32_t format = (setup & 1) ? tallow::kImageFormatColor : tallow::kImageFormatMono;
      OneDocument(format);
      const std::string name = (setup & 1) ? "0000ABCD_1.jpg" : "0000ABCD_1.tif";
      const int stored = tallow::UsbDownloadPage(tallow::FromAnsi(folder), 0, 1, kDevice);
      // The page file of a picture, or nothing: no part of a failed transfer.
      const std::vector<std::string> left = FilesIn(folder);
      if (stored != 0 && stored != 1) __builtin_trap();
      if (left != (stored ? std::vector<std::string>{name} : std::vector<std::string>{})) __builtin_trap();
      if (stored) {
        const std::string head = Head(folder + "/" + name);
        if (!tallow::BeginsAsPage(format, reinterpret_cast<const std::uint8_t*>(head.data()), head.size())) {
          __builtin_trap();
        }
        std::remove((folder + "/" + name).c_str());
      }
      break;
    }
  }
  if (tallow::HeldStiDevice() || tallow::HeldStillImage()) __builtin_trap();
  if (device.serviceRefs != 0 || device.deviceRefs != 0) __builtin_trap();
  return 0;
}
