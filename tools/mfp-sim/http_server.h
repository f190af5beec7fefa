// The simulator's HTTP front end: the box service, the page downloads and the
// control endpoints under /_sim/.
#pragma once

#include <memory>
#include <string>

#include "box_service.h"
#include "faults.h"
#include "pages.h"
#include "store.h"

namespace tallow::mfpsim {

class HttpServer {
 public:
  HttpServer(Store& store, PageCache& pages, FaultSet& faults, RequestLog& log);
  ~HttpServer();

  // Binds to |host| (a numeric address) and |port| (0: any free port).
  // Returns false with a message when that is not possible.
  bool Bind(const std::string& host, int port, std::string& error);
  int Port() const { return port_; }

  // Serves until Stop. Returns false when serving failed.
  bool Run();
  // Ends Run and every wait of a stall fault; callable from any thread.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

}  // namespace tallow::mfpsim
