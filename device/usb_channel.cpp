#include "device/usb_channel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>

#include "device/box_protocol.h"
#include "device/page_picture.h"
#include "device/stall_limit.h"
#include "device/usb_transport.h"
#include "device/xml_api_binding.h"
#include "platform/cursor.h"
#include "platform/path.h"

namespace tallow {

namespace {

constexpr const char16_t* kUsbRootName = u"USB";
// A page larger than this is refused, as over the network.
constexpr std::uint64_t kMaxPageBytes = std::uint64_t{256} << 20;
// A device may answer without data while it prepares a page; it is asked
// again after a pause that grows from the first to the longest, and given up
// once it has sent less than kMinBytesPerStall within the stall limit.
constexpr std::chrono::milliseconds kFirstPollPause{1};
constexpr std::chrono::milliseconds kLongestPollPause{50};

// The USB channel's own copy of the tag table.
const BoxTagTable kUsbTagTable = kBoxTagNames;

BoxTables g_usbTables;

// The frame of every command: wait cursor, request document with the packet
// code, open and lock the device, |exchange|, unlock and release.
template <class Build, class Exchange>
int RunCommand(const XmlHttpApi& api, WStringView deviceName, bool unlockFirst,
               std::uint32_t packetCode, Build build, Exchange exchange) {
  WaitCursorScope cursor;
  XhDocument doc = BeginBoxRequest(api, kUsbTagTable.data());
  if (!doc) return 0;
  api.SetPacketCode(doc, packetCode);
  build(doc);
  if (!HeldStiDevice() && !OpenStiDevice(deviceName)) {
    api.FreeDocument(doc);
    return 0;
  }
  IStiDevice* device = HeldStiDevice();
  if (unlockFirst) device->UnLockDevice();
  // A device that another user holds past the time-out is not talked to:
  // our requests would land in the middle of that user's exchange.
  int result = 0;
  if (SUCCEEDED(device->LockDevice(kUsbLockTimeoutMs))) result = exchange(doc);
  device->UnLockDevice();
  ReleaseStiDevice();
  api.FreeDocument(doc);
  return result;
}

// The page file under construction: written under a temporary name and
// renamed only when the page is complete and begins as a picture of the
// document's kind, so that a failed transfer leaves no page file that looks
// whole.
class PageFileWriter {
 public:
  PageFileWriter(WStringView pageFile, std::int32_t imageFormat)
      : final_(NativePath(pageFile)), temp_(final_ + ".part"), imageFormat_(imageFormat) {}
  ~PageFileWriter() {
    if (file_) std::fclose(file_);
    if (!finished_ && file_opened_) std::remove(temp_.c_str());
  }
  bool Open() {
    file_ = std::fopen(temp_.c_str(), "wb");
    file_opened_ = file_ != nullptr;
    return file_opened_;
  }
  bool Write(const std::uint8_t* data, std::size_t size) {
    const std::size_t toHead = std::min(size, kPageSignatureSize - headSize_);
    std::copy(data, data + toHead, head_ + headSize_);
    headSize_ += toHead;
    return std::fwrite(data, 1, size, file_) == size;
  }
  bool Finish() {
    if (!BeginsAsPage(imageFormat_, head_, headSize_)) return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed || std::rename(temp_.c_str(), final_.c_str()) != 0) return false;
    finished_ = true;
    return true;
  }

 private:
  std::string final_;
  std::string temp_;
  std::int32_t imageFormat_;
  std::uint8_t head_[kPageSignatureSize] = {};
  std::size_t headSize_ = 0;
  std::FILE* file_ = nullptr;
  bool file_opened_ = false;
  bool finished_ = false;
};

// Reads one page block of |size| bytes, announced by the last "GETDATA"
// reply, into |out|.
bool ReadBlock(std::uint32_t size, PageFileWriter& out) {
  if (size > kMaxUsbTransfer) return false;
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[size]);
  if (!block) return false;
  DWORD count = size;
  if (FAILED(HeldStiDevice()->RawReadData(block.get(), &count, nullptr))) return false;
  if (count > size) count = size;
  if (!out.Write(block.get(), count)) return false;
  // A block that came short leaves a hole in the page.
  return count == size;
}

}  // namespace

BoxTables& UsbBoxTables() { return g_usbTables; }

int UsbListFolders(WStringView deviceName) {
  PresetBoxListing(g_usbTables, kUsbRootName);
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  return RunCommand(
      *api, deviceName, true, kUsbPacketList,
      [&](XhDocument doc) { BuildListBoxesRequest(*api, doc); },
      [&](XhDocument doc) {
        return UsbTransact(doc, *api) ? WalkBoxListing(*api, doc, g_usbTables) : 0;
      });
}

void GetUsbFolderNames(WStringList& names) { AppendFolderNames(g_usbTables, names); }

int UsbListFiles(int boxIndex, WStringView deviceName, WStringView password, int* errorCode) {
  g_usbTables.fileCount = -1;
  StoreBoxPassword(g_usbTables, password);
  const BoxFolderRecord* box = FindBoxRecord(g_usbTables, boxIndex);
  if (!box || box->FOLDERID == 0) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  return RunCommand(
      *api, deviceName, true, kUsbPacketList,
      [&](XhDocument doc) { BuildListFilesRequest(*api, doc, *box, g_usbTables.password); },
      [&](XhDocument doc) {
        return UsbTransact(doc, *api) ? WalkFileListing(*api, doc, g_usbTables, errorCode) : 0;
      });
}

void GetUsbFileNames(WStringList& names) { AppendFileNames(g_usbTables, names); }
void GetUsbFileTimeStamps(WStringList& stamps) { AppendFileTimeStamps(g_usbTables, stamps); }
void GetUsbFilePageCounts(WStringList& counts) { AppendFilePageCounts(g_usbTables, counts); }

int UsbGetImageInfo(int fileIndex, int page, ImageInfo* info, WStringView deviceName) {
  const BoxFileRecord* file = FindFileRecord(g_usbTables, fileIndex);
  if (!file || file->FILEID == 0 || !info) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  const std::uint32_t fileId = file->FILEID;
  return RunCommand(
      *api, deviceName, false, kUsbPacketImageInfo,
      [&](XhDocument doc) { BuildImageInfoRequest(*api, doc, fileId, page); },
      [&](XhDocument doc) { return UsbTransact(doc, *api) ? WalkImageInfo(*api, doc, *info) : 0; });
}

int UsbDownloadPage(WStringView folder, int fileIndex, int page, WStringView deviceName) {
  const BoxFileRecord* file = FindFileRecord(g_usbTables, fileIndex);
  if (!file || file->FILEID == 0) return 0;
  // Empty for an unknown image format: the transfer then fails at the file.
  const WString pageFile = PageFileName(folder, file->FILEID, page, file->IMAGEFORMAT);
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  const std::uint32_t fileId = file->FILEID;
  const std::int32_t imageFormat = file->IMAGEFORMAT;
  return RunCommand(
      *api, deviceName, false, kUsbPacketGetFile,
      [&](XhDocument doc) { BuildGetFileRequest(*api, doc, fileId, page); },
      [&](XhDocument doc) { return UsbReceiveFileData(doc, pageFile, imageFormat, *api); });
}

int UsbReceiveFileData(XhDocument doc, WStringView pageFile, std::int32_t imageFormat,
                       const XmlHttpApi& api) {
  if (!HeldStiDevice()) return 0;
  if (!UsbSendRequest(doc, api) || !UsbReceiveResponse(doc, api)) return 0;
  if (!WalkTransferReply(api, doc).ok) return 0;
  if (pageFile.empty()) return 0;
  PageFileWriter out(pageFile, imageFormat);
  if (!out.Open()) return 0;

  TransferWatch watch;
  std::chrono::milliseconds pause = kFirstPollPause;
  std::uint64_t written = 0;
  for (;;) {
    api.ResetDocument(doc);
    api.SetParameter(doc, kVersionParam, kVersionValue);
    api.SetPacketCode(doc, kUsbPacketGetData);
    BuildGetDataRequest(api, doc);
    if (!UsbSendRequest(doc, api) || !UsbReceiveResponse(doc, api)) return 0;
    const TransferReply reply = WalkTransferReply(api, doc);
    if (!reply.ok) return 0;
    if (reply.dataSize != 0) {
      written += reply.dataSize;
      if (written > kMaxPageBytes || !ReadBlock(reply.dataSize, out)) return 0;
      watch.Received(reply.dataSize);
    }
    // The last block ends the page however long the device took.
    if (reply.lastCode == kCodeLastBlock) break;
    // Tiny blocks now and then are no better than none.
    if (watch.Stalled()) return 0;
    if (reply.dataSize != 0) {
      pause = kFirstPollPause;
      continue;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, kLongestPollPause);
  }
  return out.Finish() ? 1 : 0;
}

int UsbDeleteFile(int fileIndex, WStringView deviceName, int* errorCode) {
  const BoxFileRecord* file = FindFileRecord(g_usbTables, fileIndex);
  if (!file || file->FILEID == 0) return 0;
  const XmlHttpApi* api = BoundXmlHttpApi();
  if (!api) return 0;
  const std::uint32_t fileId = file->FILEID;
  return RunCommand(
      *api, deviceName, false, kUsbPacketDelete,
      [&](XhDocument doc) { BuildDeleteRequest(*api, doc, fileId); },
      [&](XhDocument doc) {
        return UsbTransact(doc, *api) ? WalkDeleteReply(*api, doc, errorCode) : 0;
      });
}

}  // namespace tallow
