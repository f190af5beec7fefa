#include "http_server.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace tallow::mfpsim {
namespace {

constexpr const char* kXmlType = "text/xml; charset=UTF-8";
constexpr std::size_t kOversizeXml = std::size_t{5} << 20;         // above the client's 4 MiB
constexpr std::size_t kOversizePage = (std::size_t{256} << 20) + 1;  // above its 256 MiB
constexpr std::size_t kMaxControlBody = 64 * 1024;

std::string SockAddrText(const sockaddr_storage& ss, int& port) {
  char buf[INET6_ADDRSTRLEN] = {};
  if (ss.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&ss);
    inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf);
    port = ntohs(in->sin_port);
  } else if (ss.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&ss);
    inet_ntop(AF_INET6, &in6->sin6_addr, buf, sizeof buf);
    port = ntohs(in6->sin6_port);
  } else {
    port = -1;
  }
  return buf;
}

// cpp-httplib never hands the accepted sockets to us, but it does tell a
// handler both ends' addresses. So to close connections behind its back we
// look through our own descriptors for connected sockets and shut down those
// that |match| picks: the library's next read or write on them fails and it
// closes them as after any broken peer. A pair of addresses names exactly
// one open TCP connection, so the search cannot hit another.
template <typename Match>
int ShutdownSockets(Match match) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return 0;
  int count = 0;
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    long fd = std::strtol(e->d_name, &end, 10);
    if (end == e->d_name || *end != '\0' || fd == dirfd(dir)) continue;
    struct stat st;
    if (fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLen = sizeof local, peerLen = sizeof peer;
    if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLen) != 0 ||
        getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0) {
      continue;  // not connected: the listening socket, for one
    }
    int localPort = -1, peerPort = -1;
    std::string localAddr = SockAddrText(local, localPort);
    std::string peerAddr = SockAddrText(peer, peerPort);
    if (match(localAddr, localPort, peerAddr, peerPort)) {
      shutdown(static_cast<int>(fd), SHUT_RDWR);
      ++count;
    }
  }
  closedir(dir);
  return count;
}

// Drops the connection of |req| without any answer.
void ShutdownConnection(const httplib::Request& req) {
  ShutdownSockets([&](const std::string& la, int lp, const std::string& pa, int pp) {
    return la == req.local_addr && lp == req.local_port && pa == req.remote_addr &&
           pp == req.remote_port;
  });
}

std::string Malformed(std::string reply) {
  // A mismatched end tag: any XML reader must refuse the whole reply, even
  // after it has seen a good CODE and records.
  std::size_t end = reply.rfind("</JOB>");
  if (end == std::string::npos) return reply + "</BOJ>";
  return reply.replace(end, 6, "</BOJ>");
}

std::string Oversize(std::string reply) {
  std::size_t end = reply.rfind("</JOB>");
  std::string pad = "<PAD>" + std::string(kOversizeXml, 'x') + "</PAD>";
  if (end == std::string::npos) return reply + pad;
  return reply.insert(end, pad);
}

}  // namespace

struct HttpServer::Impl {
  Impl(Store& s, PageCache& p, FaultSet& f, RequestLog& l)
      : store(s), pages(p), faults(f), log(l), service(s) {}

  Store& store;
  PageCache& pages;
  FaultSet& faults;
  RequestLog& log;
  BoxService service;
  httplib::Server server;

  std::mutex waitMutex;
  std::condition_variable waitCv;
  bool stopping = false;

  // Waits |ms| milliseconds; false when the server is stopping.
  bool Wait(int ms) {
    std::unique_lock lock(waitMutex);
    return !waitCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
  }

  void Routes();
  void ScanBox(const httplib::Request& req, httplib::Response& res);
  void Loadimg(const httplib::Request& req, httplib::Response& res);
  // Sends |body| as the reply, through |fault| when there is one.
  void Deliver(const httplib::Request& req, httplib::Response& res,
               std::shared_ptr<const Body> body, const char* type, std::optional<Fault> fault);
  // Faults that answer instead of the service; true when one did.
  bool AnswerInstead(const httplib::Request& req, httplib::Response& res,
                     const std::optional<Fault>& fault, const char* type);
};

bool HttpServer::Impl::AnswerInstead(const httplib::Request& req, httplib::Response& res,
                                     const std::optional<Fault>& fault, const char* type) {
  if (!fault) return false;
  switch (fault->kind) {
    case FaultKind::kStatus:
      res.status = fault->arg;
      return true;
    case FaultKind::kDrop:
      ShutdownConnection(req);
      res.status = 500;  // never arrives
      return true;
    case FaultKind::kEmpty:
      res.status = 200;
      res.set_content("", type);
      return true;
    default:
      return false;
  }
}

void HttpServer::Impl::Deliver(const httplib::Request&, httplib::Response& res,
                               std::shared_ptr<const Body> body, const char* type,
                               std::optional<Fault> fault) {
  FaultKind kind = fault ? fault->kind : FaultKind::kCode;
  if (fault && kind == FaultKind::kStall && !Wait(fault->arg)) {
    res.status = 503;
    return;
  }
  res.status = 200;
  if (body->Size() == 0) {
    res.set_content("", type);
    return;
  }
  if (fault && kind == FaultKind::kTrickle) {
    const int rate = fault->arg;
    const std::size_t slice = TrickleSlice(rate);
    const int pauseMs = TricklePauseMs(slice, rate);
    res.set_content_provider(
        body->Size(), type,
        [this, body, slice, pauseMs](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          // One slice a call; the first goes out with the headers.
          if (offset > 0 && !Wait(pauseMs)) return false;
          return body->Write(offset, offset + std::min(slice, length),
                             [&sink](const char* d, std::size_t n) { return sink.write(d, n); });
        });
    return;
  }
  bool cut = fault && kind == FaultKind::kCut;
  int midMs = fault && kind == FaultKind::kStallMid ? fault->arg : -1;
  std::size_t half = body->Size() / 2;
  res.set_content_provider(
      body->Size(), type,
      [this, body, cut, midMs, half](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        auto write = [&sink](const char* d, std::size_t n) { return sink.write(d, n); };
        std::size_t end = offset + length;
        if (cut) {
          // Returning false makes the library close the connection.
          if (offset < half) body->Write(offset, half, write);
          return false;
        }
        if (midMs >= 0 && offset < half) {
          if (!body->Write(offset, half, write) || !Wait(midMs)) return false;
          offset = half;
        }
        return body->Write(offset, end, write);
      });
}

void HttpServer::Impl::ScanBox(const httplib::Request& req, httplib::Response& res) {
  QueryParams query = ParseQuery(req.target);
  BoxExchange ex = service.Read(query, req.body);
  log.Add(ex.logLine);
  std::optional<Fault> fault = faults.Match(ex.target);
  if (AnswerInstead(req, res, fault, kXmlType)) return;
  if (fault && fault->kind == FaultKind::kCode) {
    ex.reply = CodeReply(fault->arg);
  } else {
    service.Answer(ex);
    if (fault && fault->kind == FaultKind::kMalformed) ex.reply = Malformed(std::move(ex.reply));
    if (fault && fault->kind == FaultKind::kOversize) ex.reply = Oversize(std::move(ex.reply));
  }
  auto body = std::make_shared<Body>();
  body->Append(std::move(ex.reply));
  Deliver(req, res, std::move(body), kXmlType, fault);
}

void HttpServer::Impl::Loadimg(const httplib::Request& req, httplib::Response& res) {
  QueryParams query = ParseQuery(req.target);
  std::string line = "loadimg";
  for (const auto& [n, v] : query) line += " " + LogSafe(n) + "=" + LogSafe(v);
  log.Add(std::move(line));

  std::optional<Fault> fault = faults.Match(FaultTarget::kLoadimg);
  if (AnswerInstead(req, res, fault, "image/jpeg")) return;
  if (fault && fault->kind == FaultKind::kCode) {
    res.status = 404;
    return;
  }
  std::optional<std::string> fileText = QueryValue(query, "FileID");
  std::optional<std::string> pageText = QueryValue(query, "PageNumber");
  std::optional<std::uint32_t> fileId = fileText ? ParseId(*fileText) : std::nullopt;
  std::optional<std::int32_t> page = pageText ? ParseNumber(*pageText) : std::nullopt;
  if (!fileId || !page) {
    res.status = 400;
    return;
  }
  std::optional<Doc> doc = store.FindDoc(*fileId);
  std::optional<PageImage> image = doc ? pages.Page(*doc, *page) : std::nullopt;
  if (!image) {
    res.status = 404;
    return;
  }
  auto body = std::make_shared<Body>();
  if (fault && fault->kind == FaultKind::kMalformed) {
    static constexpr char kGarbage[] = "\x00\x01garbage\xFF\xFE not an image";
    body->Append(std::string(kGarbage, sizeof kGarbage - 1));
  } else {
    *body = std::move(image->body);
    if (fault && fault->kind == FaultKind::kOversize) {
      static const auto zeros = std::make_shared<const std::string>(std::size_t{1} << 20, '\0');
      while (body->Size() < kOversizePage) body->Append(zeros, 0, kOversizePage - body->Size());
    }
  }
  Deliver(req, res, std::move(body), image->contentType, fault);
}

void HttpServer::Impl::Routes() {
  server.Post("/ScanBox.cgi", [this](const httplib::Request& q, httplib::Response& r) { ScanBox(q, r); });
  server.Get("/loadimg.cgi", [this](const httplib::Request& q, httplib::Response& r) { Loadimg(q, r); });

  server.Post("/_sim/faults", [this](const httplib::Request& q, httplib::Response& r) {
    std::string error;
    std::optional<std::vector<Fault>> parsed =
        q.body.size() > kMaxControlBody ? std::nullopt : ParseFaults(q.body, error);
    if (!parsed) {
      r.status = 400;
      r.set_content((error.empty() ? std::string("body too large") : error) + "\n", "text/plain");
      return;
    }
    faults.Replace(std::move(*parsed));
    r.set_content("ok\n", "text/plain");
  });
  server.Get("/_sim/faults", [this](const httplib::Request&, httplib::Response& r) {
    std::string text;
    for (const Fault& f : faults.All()) text += FormatFault(f) + "\n";
    r.set_content(text, "text/plain");
  });
  server.Get("/_sim/log", [this](const httplib::Request&, httplib::Response& r) {
    r.set_content(log.Text(), "text/plain");
  });
  server.Post("/_sim/log/clear", [this](const httplib::Request&, httplib::Response& r) {
    log.Clear();
    r.set_content("ok\n", "text/plain");
  });
}

HttpServer::HttpServer(Store& store, PageCache& pages, FaultSet& faults, RequestLog& log)
    : impl_(std::make_unique<Impl>(store, pages, faults, log)) {
  httplib::Server& s = impl_->server;
  // Stalled replies hold a worker each; leave room for the client's other
  // connections meanwhile.
  s.new_task_queue = [] { return new httplib::ThreadPool(32); };
  s.set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, which would let a second
  // simulator listen on a port already taken; a busy port must be an error.
  s.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  s.set_keep_alive_max_count(100);
  s.set_keep_alive_timeout(5);
  s.set_payload_max_length(2 * kMaxRequestBytes);
  impl_->Routes();
}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(const std::string& host, int port, std::string& error) {
  httplib::Server& s = impl_->server;
  if (port == 0) {
    port_ = s.bind_to_any_port(host);
    if (port_ > 0) return true;
  } else if (s.bind_to_port(host, port)) {
    port_ = port;
    return true;
  }
  error = "cannot listen on " + host + ":" + std::to_string(port) + " (in use, or not allowed)";
  return false;
}

bool HttpServer::Run() { return impl_->server.listen_after_bind(); }

void HttpServer::Stop() {
  {
    std::lock_guard lock(impl_->waitMutex);
    impl_->stopping = true;
  }
  impl_->waitCv.notify_all();
  impl_->server.stop();
  // Idle keep-alive connections would hold the library's workers, and so
  // the end of Run, for up to the keep-alive time: close them now.
  int port = port_;
  ShutdownSockets([port](const std::string&, int localPort, const std::string&, int) {
    return localPort == port;
  });
}

}  // namespace tallow::mfpsim
