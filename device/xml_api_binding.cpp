#include "device/xml_api_binding.h"

#include <atomic>

#include "device/box_protocol.h"

namespace tallow {

namespace {
std::atomic<const XmlHttpApi*> g_api{nullptr};
}

bool BindXmlHttpApi(const XmlHttpApi* api) {
  if (api && !IsUsableXmlHttpApi(*api)) api = nullptr;
  g_api.store(api);
  return api != nullptr;
}

const XmlHttpApi* BoundXmlHttpApi() { return g_api.load(); }

}  // namespace tallow
