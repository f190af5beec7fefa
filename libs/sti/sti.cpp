// Stand-in for the Still Image service ("sti.dll"). Its devices are the
// simulated MFPs listed in the run-time USB registry; each device object is
// one connection to the device's Unix socket, and the device lock is an
// exclusive file lock on the device's lock file. The wire is described in
// docs/usb-transport.md.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "contracts/still_image.h"
#include "sti_wire.h"
#include "usb_registry.h"
#include "utf.h"

namespace sti {
namespace {

using namespace standin::wire;
using standin::CopyToField;
using standin::FromUtf8;
using standin::ToUtf8;
using standin::UsbRegistryEntry;
using Clock = std::chrono::steady_clock;

// Escape input above this is refused.
constexpr std::uint32_t kMaxEscapeBytes = 64 * 1024;

constexpr const char* kTimeoutEnv = "TALLOWMERE_STI_TIMEOUT_MS";
constexpr int kDefaultTimeoutMs = 30000;
constexpr int kLockPollMs = 5;

// How long one transfer may take before the device counts as gone.
int TransferTimeoutMs() {
  if (const char* env = std::getenv(kTimeoutEnv); env && *env) {
    char* end = nullptr;
    long v = std::strtol(env, &end, 10);
    if (*end == '\0' && v >= 1 && v <= 600000) return static_cast<int>(v);
  }
  return kDefaultTimeoutMs;
}

void PutU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetU32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool Open() const { return fd_ >= 0; }

  // Moves all |size| bytes before |deadline|; false (and closed) otherwise.
  bool Send(const void* data, std::size_t size, Clock::time_point deadline) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      if (!WaitFor(POLLOUT, deadline)) return Fail();
      ssize_t n = ::send(fd_, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return Fail();
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Recv(void* data, std::size_t size, Clock::time_point deadline) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
      if (!WaitFor(POLLIN, deadline)) return Fail();
      ssize_t n = ::recv(fd_, p, size, MSG_DONTWAIT);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return Fail();
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  bool WaitFor(short events, Clock::time_point deadline) {
    if (fd_ < 0) return false;
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      pollfd p{fd_, events, 0};
      int r = ::poll(&p, 1, static_cast<int>(left.count()));
      if (r < 0 && errno == EINTR) continue;
      return r > 0;
    }
  }
  bool Fail() {
    Close();
    return false;
  }
  int fd_;
};

class StiDevice final : public IStiDevice {
 public:
  StiDevice(int socketFd, int lockFd) : socket_(socketFd), lockFd_(lockFd) {}

  HRESULT LockDevice(DWORD timeoutMs) override {
    if (locked_) return STI_OK;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return STI_OK;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) return STIERR_GENERIC;
      if (Clock::now() >= deadline) return STIERR_DEVICE_LOCKED;
      std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMs));
    }
  }

  HRESULT UnLockDevice() override {
    if (!locked_) return STI_NOT_LOCKED;
    ::flock(lockFd_, LOCK_UN);
    locked_ = false;
    return STI_OK;
  }

  HRESULT Escape(DWORD function, const void* inData, DWORD inSize, void*, DWORD, DWORD* outCount) override {
    if (outCount) *outCount = 0;
    if ((inSize > 0 && !inData) || inSize > kMaxEscapeBytes) return STIERR_INVALID_PARAM;
    std::vector<unsigned char> payload(4 + inSize);
    PutU32(payload.data(), function);
    if (inSize > 0) std::memcpy(payload.data() + 4, inData, inSize);
    HRESULT hr = Exchange(kOpEscape, payload.data(), payload.size(), nullptr, nullptr);
    // Without the escape the driver takes the next command as a command block.
    commandBlockNext_ = hr == STIERR_UNSUPPORTED;
    return hr;
  }

  HRESULT RawWriteCommand(const void* data, DWORD size, void* overlapped) override {
    const bool block = commandBlockNext_;
    commandBlockNext_ = false;
    if (overlapped || !data || size == 0) return STIERR_INVALID_PARAM;
    if (!block) {
      if (size > kMaxRequestBytes) return STIERR_INVALID_PARAM;
      return Exchange(kOpCommand, data, size, nullptr, nullptr);
    }
    if (size != STI_MFP_COMMAND_BLOCK_SIZE) return STIERR_INVALID_PARAM;
    const auto* b = static_cast<const unsigned char*>(data);
    const std::uint32_t code = GetU32(b);
    const void* address = nullptr;
    std::memcpy(&address, b + 4, sizeof address);
    const std::uint32_t requestSize = GetU32(b + 4 + sizeof address);
    // A request above the limit is refused before its address is read.
    if (!address || requestSize == 0 || requestSize > kMaxRequestBytes) {
      return STIERR_INVALID_PARAM;
    }
    // This driver runs in the caller's process, so the address is its own.
    std::vector<unsigned char> payload;
    if (!Reserve(payload, 4 + std::size_t{requestSize})) return STIERR_OUTOFMEMORY;
    payload.resize(4);
    PutU32(payload.data(), code);
    const auto* request = static_cast<const unsigned char*>(address);
    payload.insert(payload.end(), request, request + requestSize);
    return Exchange(kOpCommandBlock, payload.data(), payload.size(), nullptr, nullptr);
  }

  HRESULT RawReadData(void* buffer, DWORD* size, void* overlapped) override {
    if (overlapped || !size || (*size > 0 && !buffer)) return STIERR_INVALID_PARAM;
    const DWORD wanted = *size;
    *size = 0;
    unsigned char payload[4];
    PutU32(payload, wanted);
    DWORD got = wanted;
    HRESULT hr = Exchange(kOpRead, payload, sizeof payload, buffer, &got);
    if (hr >= 0) *size = got;
    return hr;
  }

  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~StiDevice() {
    UnLockDevice();
    ::close(lockFd_);
  }

  static bool Reserve(std::vector<unsigned char>& v, std::size_t n) {
    try {
      v.reserve(n);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  // One message and its answer. For a read, |in| takes at most *inSize
  // bytes and *inSize becomes the count; a device that sends more than was
  // asked for breaks the wire and counts as gone.
  HRESULT Exchange(std::uint32_t op, const void* out, std::size_t outSize, void* in, DWORD* inSize) {
    if (!socket_.Open()) return STIERR_NOT_CONNECTED;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(TransferTimeoutMs());
    unsigned char head[8];
    PutU32(head, op);
    PutU32(head + 4, static_cast<std::uint32_t>(outSize));
    if (!socket_.Send(head, sizeof head, deadline) || !socket_.Send(out, outSize, deadline) ||
        !socket_.Recv(head, sizeof head, deadline)) {
      return STIERR_NOT_CONNECTED;
    }
    const HRESULT result = static_cast<HRESULT>(GetU32(head));
    const std::uint32_t length = GetU32(head + 4);
    const std::uint32_t room = inSize ? *inSize : 0;
    if (length > room) {
      socket_.Close();
      return STIERR_NOT_CONNECTED;
    }
    if (length > 0 && !socket_.Recv(in, length, deadline)) return STIERR_NOT_CONNECTED;
    if (inSize) *inSize = length;
    return result;
  }

  std::atomic<ULONG> refs_{1};
  Socket socket_;
  int lockFd_;
  bool locked_ = false;
  bool commandBlockNext_ = false;
};

// Connects to a device's socket; -1 when nobody listens there.
int ConnectTo(const std::string& path) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class StillImage final : public IStillImageW {
 public:
  HRESULT GetDeviceList(DWORD type, DWORD, DWORD* count, void** list) override {
    if (!count || !list) return STIERR_INVALID_PARAM;
    *count = 0;
    *list = nullptr;
    if (type != StiDeviceTypeDefault && type != StiDeviceTypeScanner) return STI_OK;
    // Only devices that are attached now: a registry entry whose device
    // does not answer is left over from a simulator that died.
    std::vector<UsbRegistryEntry> entries;
    for (UsbRegistryEntry& e : standin::ReadUsbRegistry(standin::UsbRegistryFolder())) {
      int fd = ConnectTo(e.socketPath);
      if (fd < 0) continue;
      ::close(fd);
      entries.push_back(std::move(e));
    }
    if (entries.empty()) return STI_OK;

    std::vector<std::u16string> descriptions, names;
    std::size_t textUnits = 0;
    for (const UsbRegistryEntry& e : entries) {
      names.push_back(FromUtf8(e.name));
      descriptions.push_back(FromUtf8(e.description));
      textUnits += descriptions.back().size() + 1 + names.back().size() + 1 + 1;
    }
    const std::size_t recordBytes = entries.size() * sizeof(STI_DEVICE_INFORMATIONW);
    void* block = std::calloc(1, recordBytes + textUnits * sizeof(char16_t));
    if (!block) return STIERR_OUTOFMEMORY;
    auto* records = static_cast<STI_DEVICE_INFORMATIONW*>(block);
    auto* text = reinterpret_cast<char16_t*>(static_cast<char*>(block) + recordBytes);
    auto put = [&text](const std::u16string& s) {
      const char16_t* start = text;
      std::memcpy(text, s.c_str(), (s.size() + 1) * sizeof(char16_t));
      text += s.size() + 1;
      return start;
    };
    const char16_t* empty = put(std::u16string());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      STI_DEVICE_INFORMATIONW& r = records[i];
      r.dwSize = sizeof r;
      r.DeviceType = StiDeviceTypeScanner;
      CopyToField(r.szDeviceInternalName, STI_MAX_INTERNAL_NAME_LENGTH, names[i]);
      r.pszVendorDescription = empty;
      r.pszDeviceDescription = put(descriptions[i]);
      r.pszPortName = empty;
      r.pszPropProvider = empty;
      r.pszLocalName = put(names[i]);
    }
    *count = static_cast<DWORD>(entries.size());
    *list = block;
    return STI_OK;
  }

  HRESULT CreateDevice(const char16_t* name, DWORD mode, IStiDevice** device, void* outer) override {
    if (!device) return STIERR_INVALID_PARAM;
    *device = nullptr;
    if (!name || outer || (mode & ~STI_DEVICE_CREATE_BOTH) != 0 || mode == 0) {
      return STIERR_INVALID_PARAM;
    }
    std::optional<UsbRegistryEntry> entry =
        standin::FindUsbRegistryEntry(standin::UsbRegistryFolder(), ToUtf8(name));
    if (!entry) return STIERR_INVALID_DEVICE_NAME;
    int lockFd = ::open(entry->lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) return STIERR_DEVICE_NOTREADY;
    int fd = ConnectTo(entry->socketPath);
    if (fd < 0) {
      ::close(lockFd);
      return STIERR_NOT_CONNECTED;
    }
    StiDevice* d = new (std::nothrow) StiDevice(fd, lockFd);
    if (!d) {
      ::close(fd);
      ::close(lockFd);
      return STIERR_OUTOFMEMORY;
    }
    *device = d;
    return STI_OK;
  }

  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~StillImage() = default;
  std::atomic<ULONG> refs_{1};
};

}  // namespace
}  // namespace sti

extern "C" __attribute__((visibility("default"))) HRESULT StiCreateInstanceW(
    HINSTANCE, DWORD version, IStillImageW** object, void* outer) {
  if (!object) return STIERR_INVALID_PARAM;
  *object = nullptr;
  if (outer) return STIERR_INVALID_PARAM;
  if ((version & STI_VERSION_FLAG_UNICODE) == 0 || (version & 0xFFFF) < STI_VERSION_REAL) {
    return STIERR_INVALID_PARAM;
  }
  auto* sti = new (std::nothrow) sti::StillImage();
  if (!sti) return STIERR_OUTOFMEMORY;
  *object = sti;
  return STI_OK;
}
