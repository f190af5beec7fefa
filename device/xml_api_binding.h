// The XML and HTTP table that the channels use. Whoever loads the library
// binds its table here; until then, and for a table with empty slots, every
// channel command fails without a request.
#pragma once

#include "contracts/xml_http_api.h"

namespace tallow {

// The table must outlive its binding; nullptr unbinds. False (and unbound)
// when a slot the channels call is empty.
bool BindXmlHttpApi(const XmlHttpApi* api);
const XmlHttpApi* BoundXmlHttpApi();

}  // namespace tallow
