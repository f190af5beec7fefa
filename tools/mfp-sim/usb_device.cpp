#include "usb_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

#include "box_service.h"
#include "contracts/still_image.h"
#include "sti_wire.h"
#include "usb_registry.h"
#include "utf.h"
#include "wire.h"

namespace tallow::mfpsim {
namespace {

using namespace standin::wire;

// Calls out of order; the other answers are the service's own results.
constexpr std::int32_t kInvalidData = static_cast<std::int32_t>(0x8007000Du);

// A length that the client must refuse without allocating it.
constexpr std::uint32_t kOversizeLength = (std::uint32_t{64} << 20) + 1;

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t GetU32(const char* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool RecvAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The packet code that each command must arrive with.
std::optional<std::uint32_t> PacketCodeOf(const BoxRequest& r) {
  if (!r.wellFormed || !r.command) return std::nullopt;
  const std::string& c = *r.command;
  if (c == "LIST") return 0x60;
  if (c == "GETDATA") return 0x62;
  if (c == "DELETE") return 0x64;
  if (c == "GETIMAGEINFO") return 0x65;
  if (c == "GETFILE") return 0x68;
  return std::nullopt;
}

bool EqualsCaseBlind(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct HttpMessage {
  std::string target;
  std::string_view body;
};

// The request message that the client's XML library prepares: a POST to
// /ScanBox.cgi with its headers, an empty line and the XML body.
std::optional<HttpMessage> ParseHttpMessage(std::string_view msg) {
  std::size_t headEnd = msg.find("\r\n\r\n");
  if (headEnd == std::string_view::npos) return std::nullopt;
  std::string_view head = msg.substr(0, headEnd);
  HttpMessage m;
  m.body = msg.substr(headEnd + 4);
  std::size_t lineEnd = head.find("\r\n");
  std::string_view line = head.substr(0, lineEnd);
  constexpr std::string_view kPost = "POST ", kVersion = " HTTP/1.1";
  if (line.size() <= kPost.size() + kVersion.size() || line.substr(0, kPost.size()) != kPost ||
      line.substr(line.size() - kVersion.size()) != kVersion) {
    return std::nullopt;
  }
  m.target = std::string(line.substr(kPost.size(), line.size() - kPost.size() - kVersion.size()));
  if (m.target.substr(0, m.target.find('?')) != "/ScanBox.cgi") return std::nullopt;
  std::string_view rest = lineEnd == std::string_view::npos ? std::string_view{} : head.substr(lineEnd + 2);
  while (!rest.empty()) {
    std::size_t e = rest.find("\r\n");
    std::string_view h = rest.substr(0, e);
    rest = e == std::string_view::npos ? std::string_view{} : rest.substr(e + 2);
    std::size_t colon = h.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    if (EqualsCaseBlind(h.substr(0, colon), "Content-Length")) {
      std::optional<std::int32_t> n = ParseNumber(h.substr(colon + 1));
      if (!n || *n < 0 || static_cast<std::size_t>(*n) != m.body.size()) return std::nullopt;
    }
  }
  return m;
}

std::string MalformedXml(std::string reply) {
  std::size_t end = reply.rfind("</JOB>");
  if (end == std::string::npos) return reply + "</BOJ>";
  return reply.replace(end, 6, "</BOJ>");
}

std::string DataReply(int code, std::uint32_t size) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<JOB><CODE>" + std::to_string(code) +
         "</CODE><DATASIZE>" + FormatId(size) + "</DATASIZE></JOB>";
}

}  // namespace

bool ParseUsbDeviceSpec(const std::string& spec, UsbDeviceConfig& config, std::string& error) {
  config = UsbDeviceConfig{};
  config.hardwareId = kDefaultUsbHardwareId;
  std::size_t start = 0;
  bool first = true;
  while (start <= spec.size()) {
    std::size_t comma = spec.find(',', start);
    std::string part = spec.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    start = comma == std::string::npos ? spec.size() + 1 : comma + 1;
    if (first) {
      config.name = part;
      first = false;
      continue;
    }
    std::size_t eq = part.find('=');
    std::string key = part.substr(0, eq), value = eq == std::string::npos ? "" : part.substr(eq + 1);
    if (eq == std::string::npos) {
      error = "--usb " + LogSafe(spec, 80) + ": \"" + LogSafe(part, 80) + "\" is not key=value";
      return false;
    }
    if (key == "id") {
      config.hardwareId = value;
    } else if (key == "desc") {
      config.description = value;
    } else if (key == "escape" && (value == "notimpl" || value == "ok")) {
      config.escapeNotImpl = value == "notimpl";
    } else {
      error = "--usb " + LogSafe(spec, 80) + ": unknown key \"" + LogSafe(key, 40) +
              "\" (id=, desc=, escape=notimpl|ok)";
      return false;
    }
  }
  std::optional<std::size_t> units = standin::Utf16Length(config.name);
  bool nameOk = units && *units >= 1 && *units <= USB_REGISTRY_MAX_NAME_UNITS &&
                !standin::HasControl(config.name) && config.name.find(' ') == std::string::npos;
  if (!nameOk) {
    error = "--usb " + LogSafe(spec, 80) + ": the name must be 1 to 127 characters without blanks";
    return false;
  }
  if (!standin::IsCleanUtf8(config.hardwareId) || !standin::IsCleanUtf8(config.description)) {
    error = "--usb " + LogSafe(spec, 80) + ": id and desc must be UTF-8 without control characters";
    return false;
  }
  return true;
}

bool UsbOptions::Take(int argc, char** argv, int& i, std::string& error) {
  std::string arg = argv[i];
  if (arg != "--usb" && arg != "--usb-block-size") return false;
  if (i + 1 >= argc) {
    error = arg + " needs a value";
    return true;
  }
  std::string v = argv[++i];
  if (arg == "--usb") {
    UsbDeviceConfig config;
    if (!ParseUsbDeviceSpec(v, config, error)) return true;
    for (const UsbDeviceConfig& d : devices) {
      if (d.name == config.name) {
        error = "--usb " + LogSafe(v, 80) + ": the name is given twice";
        return true;
      }
    }
    devices.push_back(std::move(config));
  } else {
    std::optional<std::int32_t> n = ParseNumber(v);
    if (!n || *n < 1 || static_cast<std::size_t>(*n) > kMaxUsbBlockSize) {
      error = "bad --usb-block-size " + LogSafe(v, 40) + " (1 to 67108864)";
      return true;
    }
    blockSize = static_cast<std::size_t>(*n);
  }
  return true;
}

namespace {

// One client connection (one device object of the stand-in).
struct Connection {
  enum class Mode { kNone, kDirect, kBlock };
  Mode mode = Mode::kNone;  // how the next command is expected after the escape
  std::uint32_t code = 0;   // packet code of the escape

  // Reply bytes waiting for reads.
  Body queue;
  std::size_t queueOffset = 0;
  bool closeWhenDrained = false;
  int stallMs = -1;      // before the next read
  int stallBodyMs = -1;  // before the read that follows the length

  // The page of the running GETFILE transfer.
  std::shared_ptr<const std::string> page;
  std::size_t pageOffset = 0;
};

}  // namespace

struct UsbDevices::Impl {
  Impl(Store& s, PageCache& p, FaultSet& f, RequestLog& l)
      : store(s), pages(p), faults(f), log(l), service(s) {}

  struct Device {
    UsbDeviceConfig config;
    standin::UsbRegistryEntry entry;
    std::string entryPath;
    int listenFd = -1;
    std::thread acceptor;
  };
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  Store& store;
  PageCache& pages;
  FaultSet& faults;
  RequestLog& log;
  BoxService service;
  std::size_t blockSize = kDefaultUsbBlockSize;

  std::list<Device> devices;
  int wake[2] = {-1, -1};

  std::mutex mutex;  // guards workers, openFds, stopping
  std::condition_variable cv;
  bool stopping = false;
  bool stopped = false;
  std::list<Worker> workers;
  std::vector<int> openFds;

  // Waits |ms|; false when the simulator is stopping.
  bool Wait(int ms) {
    std::unique_lock lock(mutex);
    return !cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
  }

  void Accept(Device& device);
  void Serve(const Device& device, int fd);
  // Handles one command; false when the connection is to be closed at once.
  bool Command(const Device& device, Connection& c, std::string_view request, std::uint32_t code,
               bool viaBlock, std::int32_t& result);
  std::string GetFile(const BoxRequest& r, Connection& c);
};

void UsbDevices::Impl::Accept(Device& device) {
  for (;;) {
    pollfd p[2] = {{device.listenFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
    int n = ::poll(p, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (p[1].revents & POLLIN)) return;
    int fd = ::accept4(device.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex);
    if (stopping) {
      ::close(fd);
      return;
    }
    // Reap the workers of connections that ended.
    for (auto it = workers.begin(); it != workers.end();) {
      if (it->done->load()) {
        it->thread.join();
        it = workers.erase(it);
      } else {
        ++it;
      }
    }
    openFds.push_back(fd);
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers.push_back(Worker{std::thread([this, &device, fd, done] {
                               Serve(device, fd);
                               {
                                 std::lock_guard inner(mutex);
                                 openFds.erase(std::find(openFds.begin(), openFds.end(), fd));
                               }
                               ::close(fd);
                               done->store(true);
                             }),
                             done});
  }
}

std::string UsbDevices::Impl::GetFile(const BoxRequest& r, Connection& c) {
  c.page.reset();
  c.pageOffset = 0;
  const std::string* fileText = r.Param("FILEID");
  const std::string* pageText = r.Param("PAGENUMBER");
  if (!fileText || !pageText) return CodeReply(kCodeUnreadable);
  std::optional<std::uint32_t> fileId = ParseId(*fileText);
  std::optional<std::int32_t> page = ParseNumber(*pageText);
  if (!fileId || !page) return CodeReply(kCodeUnreadable);
  std::optional<Doc> doc = store.FindDoc(*fileId);
  if (!doc) return CodeReply(kCodeUnknownDoc);
  std::optional<PageImage> image = pages.Page(*doc, *page);
  if (!image) return CodeReply(kCodePageOutside);
  c.page = std::make_shared<const std::string>(image->body.Flatten());
  return CodeReply(kCodeOk);
}

bool UsbDevices::Impl::Command(const Device& device, Connection& c, std::string_view request,
                               std::uint32_t code, bool viaBlock, std::int32_t& result) {
  result = STI_OK;
  c.queue = Body();
  c.queueOffset = 0;
  c.closeWhenDrained = false;
  c.stallMs = c.stallBodyMs = -1;

  std::string prefix = "usb " + device.config.name + (viaBlock ? " block " : " escape ") +
                       (viaBlock ? FormatId(code) : FormatId(code).substr(4)) + " ";
  std::optional<HttpMessage> msg = ParseHttpMessage(request);
  if (!msg) {
    log.Add(prefix + "(unreadable message)");
    std::string reply = CodeReply(kCodeUnreadable);
    std::string framed;
    PutU32(framed, static_cast<std::uint32_t>(reply.size()));
    c.queue.Append(framed + reply);
    return true;
  }
  BoxExchange ex = service.Read(ParseQuery(msg->target), msg->body);
  log.Add(prefix + ex.logLine);
  std::optional<Fault> fault = faults.Match(ex.target);
  FaultKind kind = fault ? fault->kind : FaultKind::kCode;

  if (fault && kind == FaultKind::kDrop) return false;
  if (fault && kind == FaultKind::kStatus) {
    result = STIERR_GENERIC;
    return true;
  }
  std::string framed;
  if (fault && kind == FaultKind::kEmpty) {
    PutU32(framed, 0);
    c.queue.Append(std::move(framed));
    return true;
  }

  const bool codeOk = PacketCodeOf(ex.request) == code;
  bool getData = false;
  std::uint32_t block = 0;
  if (fault && kind == FaultKind::kCode) {
    ex.reply = CodeReply(fault->arg);
  } else if (!codeOk || !ex.versionOk || !ex.request.type || *ex.request.type != "STORAGE") {
    ex.reply = CodeReply(kCodeUnreadable);
  } else if (ex.target == FaultTarget::kGetFile) {
    ex.reply = GetFile(ex.request, c);
  } else if (ex.target == FaultTarget::kGetData) {
    if (!c.page) {
      ex.reply = CodeReply(kCodeUnreadable);
    } else {
      getData = true;
      std::size_t most = blockSize;
      // A trickling device hands the page out in many small blocks.
      if (fault && kind == FaultKind::kTrickle) most = std::min(most, TrickleSlice(fault->arg));
      block = static_cast<std::uint32_t>(std::min(most, c.page->size() - c.pageOffset));
      bool last = c.pageOffset + block == c.page->size();
      std::uint32_t announced = fault && kind == FaultKind::kOversize ? kOversizeLength : block;
      ex.reply = DataReply(last ? 603 : 601, announced);
    }
  } else {
    service.Answer(ex);
  }
  if (fault && kind == FaultKind::kMalformed) ex.reply = MalformedXml(std::move(ex.reply));

  const bool cut = fault && kind == FaultKind::kCut;
  if (fault && kind == FaultKind::kOversize && !getData) {
    PutU32(framed, kOversizeLength);
    c.queue.Append(std::move(framed));
    c.closeWhenDrained = true;
    return true;
  }
  PutU32(framed, static_cast<std::uint32_t>(ex.reply.size()));
  if (cut && !getData) {
    framed.append(ex.reply, 0, ex.reply.size() / 2);
    c.closeWhenDrained = true;
  } else {
    framed += ex.reply;
  }
  c.queue.Append(std::move(framed));
  if (getData) {
    if (!(fault && kind == FaultKind::kOversize)) {
      std::size_t give = cut ? block / 2 : block;
      if (give > 0) c.queue.Append(c.page, c.pageOffset, give);
    }
    if (cut || (fault && kind == FaultKind::kOversize)) c.closeWhenDrained = true;
    c.pageOffset += block;
    if (c.pageOffset == c.page->size()) c.page.reset(), c.pageOffset = 0;
  }
  if (fault && kind == FaultKind::kStall) c.stallMs = fault->arg;
  if (fault && kind == FaultKind::kStallMid) c.stallBodyMs = fault->arg;
  // As long as the reply's payload takes at the trickle's rate: the block's
  // bytes for GETDATA, else the XML.
  if (fault && kind == FaultKind::kTrickle) {
    c.stallMs = TricklePauseMs(getData ? block : ex.reply.size(), fault->arg);
  }
  return true;
}

void UsbDevices::Impl::Serve(const Device& device, int fd) {
  Connection c;
  auto answer = [fd](std::int32_t result, const Body* data, std::size_t from, std::size_t to) {
    std::string head;
    PutU32(head, static_cast<std::uint32_t>(result));
    PutU32(head, static_cast<std::uint32_t>(to - from));
    if (!SendAll(fd, head.data(), head.size())) return false;
    if (!data || from == to) return true;
    return data->Write(from, to, [fd](const char* d, std::size_t n) { return SendAll(fd, d, n); });
  };
  std::string payload;
  for (;;) {
    char head[8];
    if (!RecvAll(fd, head, sizeof head)) return;
    const std::uint32_t op = GetU32(head), length = GetU32(head + 4);
    if (length > kMaxMessageBytes) return;
    payload.resize(length);
    if (length > 0 && !RecvAll(fd, payload.data(), length)) return;

    switch (op) {
      case kOpEscape: {
        std::int32_t result = STI_OK;
        if (length < 4) {
          result = STIERR_INVALID_PARAM;
        } else if (GetU32(payload.data()) != STI_MFP_ESCAPE_REQUEST ||
                   length - 4 != STI_MFP_ESCAPE_HEADER_SIZE) {
          result = STIERR_INVALID_PARAM;
        } else if (device.config.escapeNotImpl) {
          c.mode = Connection::Mode::kBlock;
          result = STIERR_UNSUPPORTED;
        } else {
          c.mode = Connection::Mode::kDirect;
          c.code = static_cast<unsigned char>(payload[4]) |
                   (static_cast<std::uint32_t>(static_cast<unsigned char>(payload[5])) << 8);
        }
        if (!answer(result, nullptr, 0, 0)) return;
        break;
      }
      case kOpCommand:
      case kOpCommandBlock: {
        const bool block = op == kOpCommandBlock;
        std::int32_t result = kInvalidData;
        const Connection::Mode wanted = block ? Connection::Mode::kBlock : Connection::Mode::kDirect;
        if (c.mode == wanted && (!block || length >= 4)) {
          std::uint32_t code = block ? GetU32(payload.data()) : c.code;
          std::string_view request(payload);
          if (block) request.remove_prefix(4);
          if (!Command(device, c, request, code, block, result)) return;
        }
        c.mode = Connection::Mode::kNone;
        if (!answer(result, nullptr, 0, 0)) return;
        break;
      }
      case kOpRead: {
        if (length != 4) return;
        const std::size_t wantedBytes = GetU32(payload.data());
        if (c.stallMs >= 0) {
          if (!Wait(c.stallMs)) return;
          c.stallMs = -1;
        }
        if (c.stallBodyMs >= 0 && c.queueOffset >= 4) {
          if (!Wait(c.stallBodyMs)) return;
          c.stallBodyMs = -1;
        }
        const std::size_t available = c.queue.Size() - c.queueOffset;
        if (available == 0) {
          if (c.closeWhenDrained) return;
          if (!answer(STIERR_TIMEOUT, nullptr, 0, 0)) return;
          break;
        }
        const std::size_t n = std::min(wantedBytes, available);
        if (!answer(STI_OK, &c.queue, c.queueOffset, c.queueOffset + n)) return;
        c.queueOffset += n;
        if (c.closeWhenDrained && c.queueOffset == c.queue.Size()) return;
        break;
      }
      default:
        return;
    }
  }
}

UsbDevices::UsbDevices(Store& store, PageCache& pages, FaultSet& faults, RequestLog& log)
    : impl_(std::make_unique<Impl>(store, pages, faults, log)) {}

UsbDevices::~UsbDevices() { Stop(); }

bool UsbDevices::Start(const UsbOptions& options, std::string& error) {
  Impl& m = *impl_;
  m.blockSize = options.blockSize;
  if (options.devices.empty()) return true;
  if (::pipe2(m.wake, O_CLOEXEC) != 0) {
    error = "cannot make a pipe";
    return false;
  }
  const std::string folder = standin::UsbRegistryFolder();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create the USB registry folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  int index = 0;
  for (const UsbDeviceConfig& config : options.devices) {
    Impl::Device& d = m.devices.emplace_back();
    d.config = config;
    const std::string tag = folder + "/mfp-sim-" + std::to_string(::getpid()) + "-" + std::to_string(index++);
    d.entry.name = config.name;
    d.entry.description = config.description.empty() ? m.store.Name() : config.description;
    d.entry.hardwareId = config.hardwareId;
    d.entry.socketPath = tag + ".sock";
    d.entry.lockPath = tag + ".lock";
    if (d.entry.socketPath.size() > USB_REGISTRY_MAX_PATH_BYTES) {
      error = "the USB registry folder " + folder + " is too deep for a socket path";
      return false;
    }
    if (!standin::ParseUsbRegistryEntry(standin::FormatUsbRegistryEntry(d.entry))) {
      error = "--usb " + config.name + ": the description cannot be stored";
      return false;
    }
    d.listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, d.entry.socketPath.c_str(), d.entry.socketPath.size() + 1);
    ::unlink(d.entry.socketPath.c_str());
    if (d.listenFd < 0 || ::bind(d.listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(d.listenFd, 16) != 0) {
      error = "cannot listen on " + d.entry.socketPath + ": " + std::strerror(errno);
      return false;
    }
    // The entry appears whole or not at all.
    const std::string temp = tag + ".tmp";
    const std::string text = standin::FormatUsbRegistryEntry(d.entry);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
    d.entryPath = tag + USB_REGISTRY_ENTRY_SUFFIX;
    if (!written || ::rename(temp.c_str(), d.entryPath.c_str()) != 0) {
      ::unlink(temp.c_str());
      d.entryPath.clear();
      error = "cannot write the USB registry entry " + tag + USB_REGISTRY_ENTRY_SUFFIX;
      return false;
    }
    d.acceptor = std::thread([&m, &d] { m.Accept(d); });
  }
  return true;
}

void UsbDevices::PrintReadyLines(std::ostream& out) const {
  for (const Impl::Device& d : impl_->devices) out << "mfp-sim usb " << d.config.name << "\n";
  out.flush();
}

void UsbDevices::Stop() {
  Impl& m = *impl_;
  {
    std::lock_guard lock(m.mutex);
    if (m.stopped) return;
    m.stopped = true;
    m.stopping = true;
  }
  m.cv.notify_all();
  // First out of the registry, so that nobody opens a device that is going.
  for (Impl::Device& d : m.devices) {
    if (!d.entryPath.empty()) ::unlink(d.entryPath.c_str());
  }
  if (m.wake[1] >= 0) {
    char b = 1;
    (void)!::write(m.wake[1], &b, 1);
  }
  for (Impl::Device& d : m.devices) {
    if (d.acceptor.joinable()) d.acceptor.join();
  }
  std::list<Impl::Worker> workers;
  {
    std::lock_guard lock(m.mutex);
    for (int fd : m.openFds) ::shutdown(fd, SHUT_RDWR);
    workers.swap(m.workers);
  }
  for (Impl::Worker& w : workers) w.thread.join();
  for (Impl::Device& d : m.devices) {
    if (d.listenFd >= 0) ::close(d.listenFd);
    ::unlink(d.entry.socketPath.c_str());
    ::unlink(d.entry.lockPath.c_str());
  }
  for (int& fd : m.wake) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace tallow::mfpsim
