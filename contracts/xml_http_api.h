/* The function table that the XML and HTTP library ("kivor") fills through its
 * export GetHTTPXML. Both channels build, send and read every box-protocol
 * request through it. Slots are positions: the layout is shared with the
 * library and must never be reordered. Every slot is pointer-sized, so the
 * table is 56 pointers (448 bytes on a 64-bit build). Text is 8-bit,
 * NUL-terminated, in the ANSI encoding (UTF-8). */
#ifndef TALLOWMERE_CONTRACTS_XML_HTTP_API_H
#define TALLOWMERE_CONTRACTS_XML_HTTP_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* XhDocument;
typedef void* XhNode;
typedef void* XhConnection;

/* A slot the system never calls; the library fills it with a function that
 * does nothing and returns 0. */
typedef intptr_t (*XhReservedFn)(void);

typedef struct XmlHttpApi {
  XhDocument (*CreateDocument)(const char* const* tagTable);          /* 0 */
  void (*FreeDocument)(XhDocument doc);                               /* 1 */
  void (*ResetDocument)(XhDocument doc);                              /* 2 */
  XhReservedFn reserved3;                                             /* 3 */
  uint32_t (*GetRequestSize)(XhDocument doc);                         /* 4 */
  XhReservedFn reserved5;                                             /* 5 */
  XhReservedFn reserved6;                                             /* 6 */
  int32_t (*PrepareRequest)(XhDocument doc, int32_t reserved, const char* path,
                            int32_t flags);                           /* 7 */
  XhReservedFn reserved8;                                             /* 8 */
  int32_t (*CopyRequest)(XhDocument doc, void* buffer, uint32_t size,
                         uint32_t* copied);                           /* 9 */
  int32_t (*ParseReply)(XhDocument doc, const void* bytes, uint32_t length); /* 10 */
  XhReservedFn reserved11;                                            /* 11 */
  XhReservedFn reserved12;                                            /* 12 */
  int32_t (*SetParameter)(XhDocument doc, const char* name, const char* value); /* 13 */
  int32_t (*OpenElement)(XhDocument doc, int32_t tag);                /* 14 */
  int32_t (*CloseElement)(XhDocument doc);                            /* 15 */
  int32_t (*AddTextElement)(XhDocument doc, int32_t tag, const char* text); /* 16 */
  int32_t (*AddNumberElement)(XhDocument doc, int32_t tag, int32_t value);  /* 17 */
  int32_t (*AddIdElement)(XhDocument doc, int32_t tag, uint32_t value,
                          int32_t width);                             /* 18 */
  XhNode (*FirstNode)(XhDocument doc, int32_t scope);                 /* 19 */
  XhNode (*NextNode)(XhDocument doc, int32_t scope);                  /* 20 */
  XhReservedFn reserved21;                                            /* 21 */
  XhReservedFn reserved22;                                            /* 22 */
  XhReservedFn reserved23;                                            /* 23 */
  int32_t (*GetNodeTag)(XhNode node);                                 /* 24 */
  XhReservedFn reserved25;                                            /* 25 */
  const char* (*GetNodeText)(XhNode node);                            /* 26 */
  int32_t (*GetNodeNumber)(XhNode node, int32_t* value);              /* 27 */
  int32_t (*GetNodeId)(XhNode node, uint32_t* value);                 /* 28 */
  XhReservedFn reserved29;                                            /* 29 */
  XhReservedFn reserved30;                                            /* 30 */
  XhReservedFn reserved31;                                            /* 31 */
  void (*SetPacketCode)(XhDocument doc, uint32_t code);               /* 32 */
  uint32_t (*GetPacketCode)(XhDocument doc);                          /* 33 */
  XhReservedFn reserved34;                                            /* 34 */
  XhConnection (*OpenConnection)(const char* host);                   /* 35 */
  void (*CloseConnection)(XhConnection conn);                         /* 36 */
  XhReservedFn reserved37;                                            /* 37 */
  XhReservedFn reserved38;                                            /* 38 */
  int32_t (*HttpGetToFile)(XhConnection conn, uint16_t port, const char* path,
                           XhDocument doc, const char* localFile,
                           int32_t flags);                            /* 39 */
  int32_t (*HttpPost)(XhConnection conn, uint16_t port, const char* path,
                      XhDocument doc);                                /* 40 */
  XhReservedFn reserved41[15];                                        /* 41-55 */
} XmlHttpApi;

#define XML_HTTP_API_SLOTS 56

/* Export of the library: fills |table| (|size| bytes, at least
 * sizeof(XmlHttpApi)) and returns nonzero; returns 0 and leaves the table
 * alone when |size| is too small. */
typedef int32_t (*GetHTTPXMLFn)(XmlHttpApi* table, uint32_t size);

#ifdef __cplusplus
}
static_assert(sizeof(XmlHttpApi) == XML_HTTP_API_SLOTS * sizeof(void*),
              "one pointer per slot");
#endif

#endif
