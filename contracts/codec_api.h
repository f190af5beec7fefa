/* The exports of the two codec libraries that the output writers call: the
 * PDF library ("pdfdumel") and the multi-page TIFF library ("tiffdumel").
 * Both read the page files of one document from a work folder, named
 * "%08X_%d.jpg" (colour pages) or "%08X_%d.tif" (black-and-white pages) from
 * the document id and the page number, and write one output file. Paths are
 * NUL-terminated UTF-16 in writable buffers; the libraries do not change
 * them. Both run synchronously and have written the whole output file when
 * they report success; on failure no output file is left behind and a file
 * that already had the output's name is untouched. */
#ifndef TALLOWMERE_CONTRACTS_CODEC_API_H
#define TALLOWMERE_CONTRACTS_CODEC_API_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* What the device reported for one page; 0 in a field means "not known",
 * the library then takes the value from the page file itself. The layout is
 * that of the system's page-information record. */
typedef struct CodecPageInfo {
  int32_t XPIXEL;      /* width in pixels */
  int32_t YPIXEL;      /* height in pixels */
  int32_t XRESOLUTION; /* horizontal resolution, dots per inch */
  int32_t YRESOLUTION; /* vertical resolution, dots per inch */
} CodecPageInfo;

/* Colour flag of PDF_Encode. */
#define CODEC_PDF_COLOR 0
#define CODEC_PDF_MONO 1

/* Writes the pages firstPage..lastPage (1-based, inclusive) as one PDF.
 * pages is indexed by page number: pages[n] describes page n, so it holds at
 * least lastPage + 1 entries; it may be NULL, then everything comes from the
 * files. colorFlag picks the page files: CODEC_PDF_COLOR ".jpg",
 * CODEC_PDF_MONO ".tif". Negative = failure, zero or more = success. */
typedef int32_t (*PdfEncodeFn)(char16_t* outputPath, const CodecPageInfo* pages,
                               uint32_t documentId, int32_t firstPage, int32_t lastPage,
                               int32_t colorFlag, char16_t* workFolder);

/* Writes the ".tif" pages firstPage..lastPage as one multi-page TIFF, one
 * directory per page, each page's compressed data copied as it is.
 * 0 = failure, anything else = success. */
typedef int32_t (*MultiTiffEncodeFn)(char16_t* outputPath, uint32_t documentId,
                                     int32_t firstPage, int32_t lastPage, char16_t* workFolder);

/* The exports themselves, as the libraries define them. */
int32_t PDF_Encode(char16_t* outputPath, const CodecPageInfo* pages, uint32_t documentId,
                   int32_t firstPage, int32_t lastPage, int32_t colorFlag, char16_t* workFolder);
int32_t MultiTiffEncode(char16_t* outputPath, uint32_t documentId, int32_t firstPage,
                        int32_t lastPage, char16_t* workFolder);

#ifdef __cplusplus
}
#endif

#endif /* TALLOWMERE_CONTRACTS_CODEC_API_H */
