#include "connection.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

namespace kivor {

struct Connection {
  std::string host;  // URL form
  long connectTimeoutMs = kDefaultConnectTimeoutMs;
  long stallTimeoutMs = kDefaultStallTimeoutMs;
  CURL* easy = nullptr;
  // Drives the transfers of |easy|, so that the stall limit is checked on our
  // own clock rather than only when curl calls back.
  CURLM* multi = nullptr;
  curl_slist* postHeaders = nullptr;
  curl_slist* getHeaders = nullptr;
  char error[CURL_ERROR_SIZE] = {};

  ~Connection() {
    if (multi != nullptr) curl_multi_cleanup(multi);
    if (easy != nullptr) curl_easy_cleanup(easy);
    curl_slist_free_all(postHeaders);
    curl_slist_free_all(getHeaders);
  }
};

namespace {

// Every page download opens a connection object of its own, so TCP
// connections and resolved names are kept in one process-wide pool; the user
// interface thread and the save worker may both reach it.
struct SharedPool {
  CURLSH* share = nullptr;
  std::mutex locks[CURL_LOCK_DATA_LAST];
};

SharedPool* g_pool = nullptr;  // set up with the first connection, torn down at unload
bool g_curlReady = false;
std::once_flag g_curlOnce;

void LockPool(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  auto* pool = static_cast<SharedPool*>(user);
  if (data >= 0 && data < CURL_LOCK_DATA_LAST) pool->locks[data].lock();
}

void UnlockPool(CURL*, curl_lock_data data, void* user) {
  auto* pool = static_cast<SharedPool*>(user);
  if (data >= 0 && data < CURL_LOCK_DATA_LAST) pool->locks[data].unlock();
}

void InitCurl() {
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return;
  auto pool = std::make_unique<SharedPool>();
  pool->share = curl_share_init();
  if (pool->share == nullptr) return;
  bool ok = curl_share_setopt(pool->share, CURLSHOPT_LOCKFUNC, LockPool) == CURLSHE_OK &&
            curl_share_setopt(pool->share, CURLSHOPT_UNLOCKFUNC, UnlockPool) == CURLSHE_OK &&
            curl_share_setopt(pool->share, CURLSHOPT_USERDATA, pool.get()) == CURLSHE_OK &&
            curl_share_setopt(pool->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT) ==
                CURLSHE_OK &&
            curl_share_setopt(pool->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK;
  if (!ok) {
    curl_share_cleanup(pool->share);
    return;
  }
  g_pool = pool.release();
  g_curlReady = true;
}

// The program unloads the library only after its last connection closed;
// whatever curl still holds goes with it, so that nothing is left behind in
// a process that goes on without the library.
__attribute__((destructor)) void ReleaseCurl() {
  if (!g_curlReady) return;
  if (g_pool != nullptr && curl_share_cleanup(g_pool->share) == CURLSHE_OK) {
    delete g_pool;
    g_pool = nullptr;
  }
  curl_global_cleanup();
  g_curlReady = false;
}

// A positive number of milliseconds from the environment, else |fallback|.
long TimeoutFromEnv(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  long value = 0;
  const char* end = text + std::strlen(text);
  auto [p, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || p != end || value <= 0 || value > 24L * 3600 * 1000) return fallback;
  return value;
}

bool IsNameChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c >= 0x80;
}

// "addr" or "addr%zone" as an IPv6 literal in URL form, or "".
std::string Ipv6UrlHost(std::string_view text) {
  std::string_view addr = text;
  std::string_view zone;
  if (auto pct = text.find('%'); pct != std::string_view::npos) {
    addr = text.substr(0, pct);
    zone = text.substr(pct + 1);
    if (zone.empty()) return {};
    for (unsigned char c : zone) {
      if (!IsNameChar(c) || c >= 0x80) return {};
    }
  }
  std::string plain(addr);
  in6_addr parsed;
  if (inet_pton(AF_INET6, plain.c_str(), &parsed) != 1) return {};
  std::string out = "[" + plain;
  if (!zone.empty()) {
    out += "%25";
    out += zone;
  }
  out += "]";
  return out;
}

std::string BuildUrl(const std::string& host, uint16_t port, const char* path,
                     const std::string& query) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
  if (!url) return {};
  char portText[8];
  auto [end, ec] = std::to_chars(portText, portText + sizeof portText - 1, port);
  (void)ec;
  *end = '\0';
  if (curl_url_set(url.get(), CURLUPART_SCHEME, "http", 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_HOST, host.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_PORT, portText, 0) != CURLUE_OK ||
      (path != nullptr && curl_url_set(url.get(), CURLUPART_PATH, path, 0) != CURLUE_OK) ||
      (!query.empty() &&
       curl_url_set(url.get(), CURLUPART_QUERY, query.c_str(), 0) != CURLUE_OK)) {
    return {};
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK || text == nullptr) {
    return {};
  }
  std::string out(text);
  curl_free(text);
  return out;
}

// Abandons a transfer that receives less than kMinBytesPerStall within the
// stall time: one that stops, and one that trickles a few bytes now and
// then. Each time another kMinBytesPerStall bytes are in, a new stall period
// begins. curl's own low-speed check counts whole seconds and averages over
// several, and its progress callback comes only about once a second on an
// idle transfer, so the transfer is driven here and the clock read between
// its steps: curl is asked to wake up no later than the moment the period
// runs out.
struct StallWatch {
  using Clock = std::chrono::steady_clock;
  long limitMs = kDefaultStallTimeoutMs;
  Clock::time_point periodStart = Clock::now();
  curl_off_t receivedAtStart = 0;

  // Milliseconds left in the current stall period, after a look at the
  // bytes received; 0 once it has run out short of kMinBytesPerStall.
  long Left(CURL* e) {
    const auto now = Clock::now();
    curl_off_t received = 0;
    curl_easy_getinfo(e, CURLINFO_SIZE_DOWNLOAD_T, &received);
    if (received - receivedAtStart >= kMinBytesPerStall) {
      receivedAtStart = received;
      periodStart = now;
    }
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - periodStart).count();
    return spent >= limitMs ? 0 : static_cast<long>(limitMs - spent);
  }
};

// Runs the transfer set up on |c.easy| to its end; true when curl finished
// it without error. A stall or a trickle ends it as a failure.
bool Perform(Connection& c) {
  if (c.multi == nullptr) c.multi = curl_multi_init();
  if (c.multi == nullptr || curl_multi_add_handle(c.multi, c.easy) != CURLM_OK) return false;
  StallWatch watch;
  watch.limitMs = c.stallTimeoutMs;
  bool ok = false;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(c.multi, &running) != CURLM_OK) break;
    if (running == 0) {
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(c.multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == c.easy) {
          ok = message->data.result == CURLE_OK;
        }
      }
      break;
    }
    const long left = watch.Left(c.easy);
    if (left == 0) break;
    if (curl_multi_poll(c.multi, nullptr, 0, static_cast<int>(left), nullptr) != CURLM_OK) break;
  }
  curl_multi_remove_handle(c.multi, c.easy);
  return ok;
}

// The process's file-creation mask, read without changing it (umask() would
// change it for every thread for a moment).
mode_t ProcessUmask() {
  static const mode_t mask = [] {
    mode_t m = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
      char line[256];
      while (std::fgets(line, sizeof line, f)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
          m = static_cast<mode_t>(value & 0777);
          break;
        }
      }
      std::fclose(f);
    }
    return m;
  }();
  return mask;
}

// Body sinks refuse anything but a 200 answer at its first byte, so an error
// page is neither stored nor read to its end.
struct SinkState {
  CURL* easy = nullptr;
  bool statusChecked = false;
  bool failed = false;

  bool StatusIsOk() {
    if (!statusChecked) {
      statusChecked = true;
      long status = 0;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
      if (status != 200) failed = true;
    }
    return !failed;
  }
};

struct MemorySink : SinkState {
  std::string data;
};

size_t WriteToMemory(char* bytes, size_t size, size_t count, void* user) {
  auto* sink = static_cast<MemorySink*>(user);
  const size_t length = size * count;
  if (!sink->StatusIsOk()) return 0;
  if (length > kMaxReplyBytes - sink->data.size()) {
    sink->failed = true;
    return 0;
  }
  try {
    sink->data.append(bytes, length);
  } catch (...) {
    sink->failed = true;
    return 0;
  }
  return length;
}

struct FileSink : SinkState {
  int fd = -1;
  size_t written = 0;
};

size_t WriteToFile(char* bytes, size_t size, size_t count, void* user) {
  auto* sink = static_cast<FileSink*>(user);
  const size_t length = size * count;
  if (!sink->StatusIsOk()) return 0;
  // A body of unknown size is not stopped by CURLOPT_MAXFILESIZE_LARGE.
  if (length > kMaxPageBytes - sink->written) {
    sink->failed = true;
    return 0;
  }
  size_t left = length;
  while (left > 0) {
    const ssize_t n = ::write(sink->fd, bytes, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      sink->failed = true;
      return 0;
    }
    bytes += n;
    left -= static_cast<size_t>(n);
  }
  sink->written += length;
  return length;
}

bool SetCommonOptions(Connection& c) {
  CURL* e = c.easy;
  bool ok = true;
  auto set = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };
  set(curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(e, CURLOPT_SHARE, g_pool->share));
  set(curl_easy_setopt(e, CURLOPT_ERRORBUFFER, c.error));
  set(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http"));
  set(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http"));
  set(curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L));
  // The MFP is on the local network: proxy settings of the environment would
  // only send the traffic astray.
  set(curl_easy_setopt(e, CURLOPT_PROXY, ""));
  set(curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)));
  set(curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, c.connectTimeoutMs));
  set(curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes));
  set(curl_easy_setopt(e, CURLOPT_TCP_NODELAY, 1L));
  return ok;
}

}  // namespace

bool EnsureCurl() {
  std::call_once(g_curlOnce, InitCurl);
  return g_curlReady;
}

std::string UrlHost(const char* host) {
  if (host == nullptr) return {};
  const size_t length = strnlen(host, 256);
  if (length == 0 || length > 255) return {};
  std::string_view text(host, length);
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7F || c == '/' || c == '?' || c == '#' || c == '@' || c == '\\') {
      return {};
    }
  }
  if (text.front() == '[') {
    if (text.size() < 3 || text.back() != ']') return {};
    return Ipv6UrlHost(text.substr(1, text.size() - 2));
  }
  if (text.find(':') != std::string_view::npos) return Ipv6UrlHost(text);
  for (unsigned char c : text) {
    if (!IsNameChar(c)) return {};
  }
  return std::string(text);
}

Connection* NewConnection(const char* host) {
  if (!EnsureCurl()) return nullptr;
  std::string urlHost = UrlHost(host);
  if (urlHost.empty() || BuildUrl(urlHost, 80, "/", {}).empty()) return nullptr;

  auto c = std::make_unique<Connection>();
  c->host = std::move(urlHost);
  c->connectTimeoutMs = TimeoutFromEnv("KIVOR_CONNECT_TIMEOUT_MS", kDefaultConnectTimeoutMs);
  c->stallTimeoutMs = TimeoutFromEnv("KIVOR_STALL_TIMEOUT_MS", kDefaultStallTimeoutMs);

  c->easy = curl_easy_init();
  if (c->easy == nullptr) return nullptr;
  // No "Accept" and no "Expect: 100-continue": the box service wants neither.
  for (const char* h : {"Content-Type: text/xml; charset=UTF-8", "Expect:", "Accept:"}) {
    curl_slist* next = curl_slist_append(c->postHeaders, h);
    if (next == nullptr) return nullptr;
    c->postHeaders = next;
  }
  c->getHeaders = curl_slist_append(nullptr, "Accept:");
  if (c->getHeaders == nullptr) return nullptr;
  if (!SetCommonOptions(*c)) return nullptr;
  return c.release();
}

void DeleteConnection(Connection* conn) { delete conn; }

bool Post(Connection& c, uint16_t port, const char* path, Document& doc) {
  doc.ClearReply();
  if (port == 0 || !IsValidRequestPath(path)) return false;
  const std::string url = BuildUrl(c.host, port, path, RequestQuery(doc));
  if (url.empty()) return false;
  const std::string body = RequestBody(doc);

  MemorySink sink;
  sink.easy = c.easy;
  CURL* e = c.easy;
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_POST, 1L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size())) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, c.postHeaders) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_TIMEOUT, kPostTimeoutSeconds) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE,
                             static_cast<curl_off_t>(kMaxReplyBytes)) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteToMemory) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
  long status = 0;
  if (ok) {
    ok = Perform(c);
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  }
  // The handle is reused: drop pointers to this call's locals.
  curl_easy_setopt(e, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, nullptr);
  if (!ok || status != 200 || sink.failed) return false;
  return ParseReplyInto(doc, sink.data.data(), sink.data.size());
}

bool GetToFile(Connection& c, uint16_t port, const char* path, const Document& doc,
               const char* localFile) {
  if (port == 0 || !IsValidRequestPath(path) || localFile == nullptr) return false;
  const std::string target(localFile);
  const size_t slash = target.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (nameStart >= target.size()) return false;
  const std::string url = BuildUrl(c.host, port, path, RequestQuery(doc));
  if (url.empty()) return false;

  // A leading dot keeps the partial file out of every page-file pattern; it
  // becomes the page file only once the whole body is in.
  std::string temp = target.substr(0, nameStart) + ".kivor-XXXXXX";
  FileSink sink;
  sink.easy = c.easy;
  sink.fd = mkostemp(temp.data(), O_CLOEXEC);
  if (sink.fd < 0) return false;

  CURL* e = c.easy;
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, c.getHeaders) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_TIMEOUT, 0L) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE,
                             static_cast<curl_off_t>(kMaxPageBytes)) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, WriteToFile) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
  long status = 0;
  if (ok) {
    ok = Perform(c);
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  }
  curl_easy_setopt(e, CURLOPT_WRITEDATA, nullptr);
  ok = ok && status == 200 && !sink.failed && sink.written > 0;
  // mkostemp makes the file owner-only; a page file gets the usual mode.
  if (ok && ::fchmod(sink.fd, 0666 & ~ProcessUmask()) != 0) ok = false;
  if (::close(sink.fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace kivor
