#include "support/sim_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tallow::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeout = std::chrono::seconds(10);
constexpr auto kStopTimeout = std::chrono::seconds(5);

// Waits for |pid| until |deadline|; true when it has ended (and is reaped).
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
  for (;;) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ExitText(int status) {
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

}  // namespace

std::uint16_t FreeLoopbackUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 0;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) == 0) {
    port = ntohs(at.sin_port);
  }
  ::close(fd);
  return port;
}

SimProcess::SimProcess() : SimProcess(SimOptions{}) {}

SimProcess::SimProcess(const SimOptions& options) {
  std::vector<std::string> args = {MFP_SIM_PATH, "--port", "0", "--bind", options.bind,
                                   "--search-port", std::to_string(options.searchPort)};
  if (!options.config.empty()) {
    args.push_back("--config");
    args.push_back(dir_.Write("mfp-sim.xml", options.config));
  }
  for (const std::string& f : options.faults) {
    args.push_back("--fault");
    args.push_back(f);
  }
  for (const std::string& u : options.usb) {
    args.push_back("--usb");
    args.push_back(u);
  }
  args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
  usbRegistry_ = options.usbRegistry.empty() ? dir_.File("usb") : options.usbRegistry;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "TALLOWMERE_USB_REGISTRY=", 24) != 0) env.emplace_back(*e);
  }
  env.push_back("TALLOWMERE_USB_REGISTRY=" + usbRegistry_);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  int rc = ::posix_spawn(&pid_, MFP_SIM_PATH, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  stdoutFd_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    ::close(stdoutFd_);
    throw std::runtime_error(std::string("cannot start " MFP_SIM_PATH ": ") + std::strerror(rc));
  }

  // The ready line: "mfp-sim http <address> <port>", then, after it, one
  // "mfp-sim usb <name>" per USB device (other lines are passed over).
  std::string line;
  const Clock::time_point deadline = Clock::now() + kStartTimeout;
  auto haveReadyLines = [&] {
    std::size_t first = line.find('\n');
    if (first == std::string::npos) return false;
    std::size_t usbLines = 0;
    for (std::size_t at = first + 1, nl; (nl = line.find('\n', at)) != std::string::npos; at = nl + 1) {
      if (line.compare(at, 12, "mfp-sim usb ") == 0) ++usbLines;
    }
    return usbLines >= options.usb.size();
  };
  while (!haveReadyLines() && line.size() < 256 + 160 * options.usb.size()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{stdoutFd_, POLLIN, 0};
    int ready = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0 && errno == EINTR) continue;
    char buf[256];
    ssize_t n = ready > 0 ? ::read(stdoutFd_, buf, sizeof buf) : -1;
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string why = ready == 0 ? "no ready line within 10 s" : "it ended before it was ready";
      int status = 0;
      if (WaitUntil(pid_, Clock::now() + std::chrono::milliseconds(200), status)) {
        pid_ = -1;
        why += " (" + ExitText(status) + ")";
      }
      Terminate();
      throw std::runtime_error("mfp-sim did not start: " + why);
    }
    line.append(buf, static_cast<std::size_t>(n));
  }
  std::istringstream words(line.substr(0, line.find('\n')));
  std::string name, proto;
  int port = 0;
  words >> name >> proto >> address_ >> port;
  if (name != "mfp-sim" || proto != "http" || port <= 0 || port > 65535) {
    Terminate();
    throw std::runtime_error("mfp-sim: unexpected ready line \"" + line + "\"");
  }
  port_ = static_cast<std::uint16_t>(port);
  for (std::size_t at = line.find('\n') + 1, nl; (nl = line.find('\n', at)) != std::string::npos; at = nl + 1) {
    if (line.compare(at, 12, "mfp-sim usb ") == 0) usbDevices_.push_back(line.substr(at + 12, nl - at - 12));
  }
}

SimProcess::~SimProcess() {
  bool running = pid_ > 0;
  if (Terminate() != 0 && running) std::fprintf(stderr, "SimProcess: mfp-sim did not end cleanly\n");
}

int SimProcess::Terminate() {
  int code = -1;
  if (pid_ > 0) {
    int status = 0;
    ::kill(pid_, SIGTERM);
    if (WaitUntil(pid_, Clock::now() + kStopTimeout, status)) {
      if (WIFEXITED(status)) code = WEXITSTATUS(status);
    } else {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
  }
  if (stdoutFd_ >= 0) {
    ::close(stdoutFd_);
    stdoutFd_ = -1;
  }
  return code;
}

HttpReply SimProcess::Get(std::string_view target, int timeoutMs) const {
  HttpRequestOptions o;
  o.host = address_;
  o.timeoutMs = timeoutMs;
  return HttpExchange(port_, "GET", target, {}, o);
}

HttpReply SimProcess::Post(std::string_view target, std::string_view body, int timeoutMs) const {
  HttpRequestOptions o;
  o.host = address_;
  o.timeoutMs = timeoutMs;
  o.contentType = "text/xml; charset=UTF-8";
  return HttpExchange(port_, "POST", target, body, o);
}

void SimProcess::SetFaults(const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& l : lines) body += l + "\n";
  HttpReply r = Post("/_sim/faults", body);
  if (r.status != 200) throw std::runtime_error("mfp-sim refused the faults: " + r.body);
}

std::vector<std::string> SimProcess::Log() {
  HttpReply r = Get("/_sim/log");
  if (r.status != 200 || !r.complete) throw std::runtime_error("mfp-sim: no request log");
  std::vector<std::string> lines;
  std::istringstream in(r.body);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

void SimProcess::ClearLog() {
  if (Post("/_sim/log/clear", "").status != 200) throw std::runtime_error("mfp-sim: log not cleared");
}

}  // namespace tallow::test
