// A scripted Still Image service for the tests and the fuzzer that need a
// device to misbehave in ways the simulator cannot: it records every call
// and answers each written request with the next scripted reply.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/sti_binding.h"
#include "platform/still_image.h"

namespace tallow::test {

struct FakeReply {
  FakeReply(std::string x, std::string d = {}) : xml(std::move(x)), data(std::move(d)) {}
  std::string xml;
  std::string data;                 // page bytes that follow the reply
  long long announcedLength = -1;   // the reply length sent; -1: xml's size
  std::size_t bodyGiven = SIZE_MAX;  // bytes of the xml the body read gives at most
  std::size_t dataGiven = SIZE_MAX;  // bytes of data its read gives at most
  int pauseMs = 0;                   // the device's time before the reply can be read
};

struct FakeCall {
  std::string what;  // "escape", "write", "read", "lock", "unlock"
  DWORD number = 0;  // escape function, lock time-out, bytes wanted
  std::string bytes;
};

class FakeSti {
 public:
  // Settings of the script.
  HRESULT createResult = S_OK;
  bool giveDeviceOnFailure = false;
  HRESULT escapeResult = S_OK;
  HRESULT lockResult = S_OK;
  std::deque<FakeReply> replies;
  bool repeatLastReply = false;  // the last reply answers every later request

  // What happened.
  std::vector<FakeCall> calls;
  std::vector<std::string> requests;  // request bytes as the device received them
  int serviceRefs = 0;                // references handed out and not released
  int deviceRefs = 0;

  FakeSti() : service_(*this), device_(*this) { g_current = this; }
  ~FakeSti() {
    g_current = nullptr;
    BindStiCreateInstance(nullptr);
  }
  void Bind() { BindStiCreateInstance(reinterpret_cast<FARPROC>(&Create)); }

  std::vector<std::string> CallNames() const {
    std::vector<std::string> names;
    for (const FakeCall& c : calls) names.push_back(c.what);
    return names;
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (const FakeCall& c : calls) n += c.what == what;
    return n;
  }
  // The packet codes of the escapes, in order.
  std::vector<unsigned> EscapedCodes() const {
    std::vector<unsigned> codes;
    for (const FakeCall& c : calls) {
      if (c.what == "escape" && c.bytes.size() >= 2) {
        codes.push_back(static_cast<unsigned char>(c.bytes[0]) |
                        (static_cast<unsigned char>(c.bytes[1]) << 8));
      }
    }
    return codes;
  }

 private:
  class Service final : public IStillImageW {
   public:
    explicit Service(FakeSti& f) : f_(f) {}
    HRESULT GetDeviceList(DWORD, DWORD, DWORD* count, void** list) override {
      *count = 0;
      *list = nullptr;
      return S_OK;
    }
    HRESULT CreateDevice(const char16_t*, DWORD mode, IStiDevice** device, void*) override {
      f_.calls.push_back({"create", mode, {}});
      *device = nullptr;
      if (f_.createResult == S_OK || f_.giveDeviceOnFailure) {
        ++f_.deviceRefs;
        *device = &f_.device_;
      }
      return f_.createResult;
    }
    ULONG Release() override { return static_cast<ULONG>(--f_.serviceRefs); }

   private:
    FakeSti& f_;
  };

  class Device final : public IStiDevice {
   public:
    explicit Device(FakeSti& f) : f_(f) {}
    HRESULT LockDevice(DWORD timeout) override {
      f_.calls.push_back({"lock", timeout, {}});
      return f_.lockResult;
    }
    HRESULT UnLockDevice() override {
      f_.calls.push_back({"unlock", 0, {}});
      return S_OK;
    }
    HRESULT Escape(DWORD function, const void* in, DWORD size, void*, DWORD, DWORD*) override {
      f_.calls.push_back({"escape", function, std::string(static_cast<const char*>(in), size)});
      blockNext_ = f_.escapeResult == E_NOTIMPL;
      return f_.escapeResult;
    }
    HRESULT RawWriteCommand(const void* data, DWORD size, void*) override {
      std::string bytes(static_cast<const char*>(data), size);
      f_.calls.push_back({"write", size, bytes});
      if (blockNext_) {
        // The block points at the request in the caller's memory, which is
        // alive during the call.
        const void* address = nullptr;
        std::uint32_t length = 0;
        if (size == 4 + sizeof(void*) + 4) {
          std::memcpy(&address, bytes.data() + 4, sizeof address);
          std::memcpy(&length, bytes.data() + 4 + sizeof address, 4);
        }
        bytes = address ? std::string(static_cast<const char*>(address), length) : std::string();
      }
      blockNext_ = false;
      f_.requests.push_back(bytes);
      Queue();
      return S_OK;
    }
    HRESULT RawReadData(void* buffer, DWORD* size, void*) override {
      f_.calls.push_back({"read", *size, {}});
      if (pauseMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs_));
      pauseMs_ = 0;
      if (pending_.empty()) {
        *size = 0;
        return E_FAIL;
      }
      std::string chunk = pending_.front();
      pending_.pop_front();
      if (chunk.size() > *size) chunk.resize(*size);
      std::memcpy(buffer, chunk.data(), chunk.size());
      *size = static_cast<DWORD>(chunk.size());
      return S_OK;
    }
    ULONG Release() override { return static_cast<ULONG>(--f_.deviceRefs); }

   private:
    // Each transfer of the reply is a read of its own: length, body, data.
    void Queue() {
      pending_.clear();
      pauseMs_ = 0;
      if (f_.replies.empty()) return;
      FakeReply r = f_.replies.front();
      if (!f_.repeatLastReply || f_.replies.size() > 1) f_.replies.pop_front();
      pauseMs_ = r.pauseMs;
      std::uint32_t length = r.announcedLength < 0 ? static_cast<std::uint32_t>(r.xml.size())
                                                   : static_cast<std::uint32_t>(r.announcedLength);
      unsigned char prefix[4];
      for (int i = 0; i < 4; ++i) prefix[i] = static_cast<unsigned char>(length >> (8 * i));
      pending_.emplace_back(reinterpret_cast<const char*>(prefix), 4);
      pending_.push_back(r.xml.substr(0, r.bodyGiven));
      if (!r.data.empty()) pending_.push_back(r.data.substr(0, r.dataGiven));
    }

    FakeSti& f_;
    bool blockNext_ = false;
    std::deque<std::string> pending_;
    int pauseMs_ = 0;
  };

  static HRESULT Create(HINSTANCE, DWORD, IStillImageW** object, void*) {
    if (!g_current) return E_FAIL;
    ++g_current->serviceRefs;
    *object = &g_current->service_;
    return S_OK;
  }

  inline static FakeSti* g_current = nullptr;
  Service service_;
  Device device_;
};

}  // namespace tallow::test
