/* The one export of the XML and HTTP library. Tests and the fuzzer that link
 * the library's code directly call it as the program does after loading. */
#ifndef TALLOWMERE_KIVOR_H
#define TALLOWMERE_KIVOR_H

#include "contracts/xml_http_api.h"

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) int32_t GetHTTPXML(XmlHttpApi* table,
                                                          uint32_t size);

#ifdef __cplusplus
}
#endif

#endif
