// The contracts with the loaded libraries: one layout in C and in C++, the
// sizes the libraries were built against, and still-image objects written
// in C that the program's C++ view can call.
#include <gtest/gtest.h>

#include <cstddef>

#include "c_view.h"
#include "contracts/codec_api.h"
#include "contracts/discovery_api.h"
#include "contracts/still_image.h"
#include "contracts/string_resources.h"
#include "contracts/xml_http_api.h"

namespace {

TEST(Contracts, CAndCxxShareTheLayoutsOfThisBuild) {
  struct Case {
    const char* what;
    std::size_t cxx;
    std::size_t expected;
  };
  const Case cases[] = {
      {"XmlHttpApi", sizeof(XmlHttpApi), 448},
      {"XmlHttpApi.HttpPost", offsetof(XmlHttpApi, HttpPost), 40 * 8},
      {"VktMfpAddress", sizeof(VktMfpAddress), 276},
      {"VktMfpAddress.name", offsetof(VktMfpAddress, name), 112},
      {"CodecPageInfo", sizeof(CodecPageInfo), 16},
      {"CodecPageInfo.YRESOLUTION", offsetof(CodecPageInfo, YRESOLUTION), 12},
      {"STI_DEVICE_INFORMATIONW", sizeof(STI_DEVICE_INFORMATIONW), 312},
      {"STI_DEVICE_INFORMATIONW.pszVendorDescription",
       offsetof(STI_DEVICE_INFORMATIONW, pszVendorDescription), 272},
      {"STI_MFP_COMMAND_BLOCK_SIZE", STI_MFP_COMMAND_BLOCK_SIZE, 16},
      {"TallowStringResource", sizeof(TallowStringResource), 16},
      {"TallowStringResource.text", offsetof(TallowStringResource, text), 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.cxx, c.expected);
    EXPECT_EQ(LayoutInC(c.what), c.expected);
  }
}

// Every function of both interfaces reaches the C function of the same
// place in its table, with its arguments.
TEST(Contracts, StillImageObjectsWrittenInCAnswerTheCxxView) {
  CViewCalls calls;
  CViewRecordInto(&calls);
  StiCreateInstanceWFn create = CViewCreateInstance;
  IStillImageW* service = nullptr;
  ASSERT_EQ(create(nullptr, STI_VERSION, &service, nullptr), STI_OK);
  ASSERT_NE(service, nullptr);

  DWORD count = 9;
  void* list = &count;
  EXPECT_EQ(service->GetDeviceList(StiDeviceTypeScanner, 0, &count, &list), 11);
  EXPECT_EQ(calls.number, DWORD{StiDeviceTypeScanner});
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(list, nullptr);

  IStiDevice* device = nullptr;
  ASSERT_EQ(service->CreateDevice(u"MFP", STI_DEVICE_CREATE_BOTH, &device, nullptr), STI_OK);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(calls.number, STI_DEVICE_CREATE_BOTH);
  EXPECT_EQ(calls.size, DWORD{u'M'});

  EXPECT_EQ(device->LockDevice(1000), 1);
  EXPECT_EQ(calls.number, 1000u);
  EXPECT_EQ(device->UnLockDevice(), 2);
  const unsigned char header[STI_MFP_ESCAPE_HEADER_SIZE] = {0x60};
  DWORD out = 7;
  EXPECT_EQ(device->Escape(STI_MFP_ESCAPE_REQUEST, header, sizeof header, nullptr, 0, &out), 3);
  EXPECT_EQ(calls.number, STI_MFP_ESCAPE_REQUEST);
  EXPECT_EQ(calls.size, DWORD{STI_MFP_ESCAPE_HEADER_SIZE});
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(device->RawWriteCommand(header, 5, nullptr), 4);
  EXPECT_EQ(calls.size, 5u);
  DWORD size = 4;
  unsigned char buffer[4];
  EXPECT_EQ(device->RawReadData(buffer, &size, nullptr), 5);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(device->Release(), 1u);
  EXPECT_EQ(service->Release(), 2u);
}

}  // namespace
