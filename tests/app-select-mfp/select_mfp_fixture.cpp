#include "select_mfp_fixture.h"

#include "device/discovery.h"
#include "device/net_channel.h"
#include "device/usb_channel.h"
#include "device/xml_api_binding.h"
#include "platform/host_lookup.h"

namespace tallow::app::testing {

using namespace tallow::ui;

namespace {
RedirectedKivor* g_kivor = nullptr;
FakeDiscovery* g_discovery = nullptr;
}  // namespace

RedirectedKivor::RedirectedKivor(std::uint16_t simPort) : simPort_(simPort) {
  if (!kivor_.ok()) return;
  table_ = kivor_.api();
  table_.OpenConnection = &RedirectedKivor::Open;
  table_.HttpPost = &RedirectedKivor::Post;
  g_kivor = this;
  bound_ = BindXmlHttpApi(&table_);
}

RedirectedKivor::~RedirectedKivor() {
  BindXmlHttpApi(nullptr);
  g_kivor = nullptr;
}

XhConnection RedirectedKivor::Open(const char* host) {
  g_kivor->hosts_.push_back(host ? host : "");
  return g_kivor->kivor_.api().OpenConnection("127.0.0.1");
}

std::int32_t RedirectedKivor::Post(XhConnection connection, std::uint16_t port, const char* path,
                                   XhDocument doc) {
  g_kivor->ports_.push_back(port);
  return g_kivor->kivor_.api().HttpPost(connection, g_kivor->simPort_, path, doc);
}

FakeDiscovery::FakeDiscovery(bool takesPort) {
  g_discovery = this;
  BindDiscoveryEntries({&FakeDiscovery::SearchWithoutPort,
                        takesPort ? &FakeDiscovery::SearchOnPort : nullptr, &FakeDiscovery::Free});
}

FakeDiscovery::~FakeDiscovery() {
  UnbindDiscoveryEntries();
  g_discovery = nullptr;
}

VktMfpAddress* FakeDiscovery::Search(std::uint32_t* count) {
  ++searches;
  block_.clear();
  for (const auto& [name, address] : answers) {
    VktMfpAddress record{};
    CopyToField(record.name, VKT_MFP_NAME_UNITS, name);
    CopyToField(record.address, VKT_MFP_ADDRESS_UNITS, address);
    block_.push_back(record);
  }
  *count = static_cast<std::uint32_t>(block_.size());
  return block_.empty() ? nullptr : block_.data();
}

VktMfpAddress* FakeDiscovery::SearchOnPort(void*, std::int32_t, std::uint32_t* count,
                                           std::int32_t, std::uint32_t port) {
  g_discovery->lastPort = port;
  return g_discovery->Search(count);
}

VktMfpAddress* FakeDiscovery::SearchWithoutPort(void*, std::int32_t, std::uint32_t* count,
                                                std::int32_t) {
  g_discovery->lastPort.reset();
  return g_discovery->Search(count);
}

std::int32_t FakeDiscovery::Free(VktMfpAddress*) { return 1; }

void SelectMfpTest::SetUp() {
  AppDialogTest::SetUp();
  discovery_ = std::make_unique<FakeDiscovery>();
  SetMFPInfo(MFPInfo{});
  SetSettingInfo(SettingInfo{});
  NetBoxTables() = BoxTables{};
  UsbBoxTables() = BoxTables{};
}

void SelectMfpTest::TearDown() {
  sti_.reset();
  kivor_.reset();
  discovery_.reset();
  SetHostLookupForTests(nullptr);
  if (sim_) {
    EXPECT_EQ(sim_->Terminate(), 0) << "the simulator did not end cleanly";
  }
  SetMFPInfo(MFPInfo{});
  SetSettingInfo(SettingInfo{});
}

void SelectMfpTest::StartSim(test::SimOptions options) {
  if (options.config.empty()) options.config = kStore;
  sim_ = std::make_unique<test::SimProcess>(options);
  usbRegistry_.emplace("TALLOWMERE_USB_REGISTRY", sim_->UsbRegistry());
  kivor_ = std::make_unique<RedirectedKivor>(sim_->Port());
  ASSERT_TRUE(kivor_->ok()) << "kivor.so did not load";
}

void SelectMfpTest::StartSimWithUsb(std::vector<std::string> devices) {
  test::SimOptions options;
  options.usb = std::move(devices);
  StartSim(options);
}

void SelectMfpTest::LoadStillImage() {
  sti_ = std::make_unique<test::StiLibrary>();
  ASSERT_TRUE(sti_->ok()) << "sti.so did not load";
}

MFPInfo SelectMfpTest::StoredNetworkMfp() const {
  MFPInfo info;
  info.machineName = u"Office MFP";
  info.IPv4Address = u"127.0.0.1";
  info.httpPortNumber = sim_ ? sim_->Port() : 80;
  return info;
}

MFPInfo SelectMfpTest::StoredUsbMfp() const {
  MFPInfo info;
  info.machineName = u"Desk MFP";
  info.deviceInternalName = FromAnsi(kUsbDevice);
  info.isUSB = TRUE;
  return info;
}

int SelectMfpTest::Run(std::function<void(CDialog&)> act, int autoConnect, CDialog* startupWnd) {
  ui.OnDialog(std::move(act));
  return RunSelectMfpDlg(autoConnect, startupWnd, settings_, nullptr);
}

CListCtrl* SelectMfpTest::List(CDialog& d) {
  return dynamic_cast<CListCtrl*>(d.GetDlgItem(res::IDC_SELECT_MFP_DEVICE_LIST));
}

std::vector<WString> SelectMfpTest::Rows(CDialog& d) {
  std::vector<WString> rows;
  CListCtrl* list = List(d);
  for (int row = 0; list && row < list->GetItemCount(); ++row) {
    rows.push_back(list->GetItemText(row, 0) + u" | " + list->GetItemText(row, 1));
  }
  return rows;
}

void SelectMfpTest::Retype(CDialog& d, int id, WStringView text) {
  Control* edit = d.GetDlgItem(id);
  ASSERT_NE(edit, nullptr);
  ASSERT_TRUE(edit->IsEnabled()) << "edit " << id << " is disabled";
  if (text.empty()) {
    edit->SetText(text);
    return;
  }
  edit->SetSel(0, static_cast<DWORD>(edit->GetText().size()));
  d.InputType(id, text);
}

void SelectMfpTest::LookUpEveryNameAsTheSimulator(std::vector<std::string>* asked) {
  SetHostLookupForTests([asked](std::string_view host) {
    asked->emplace_back(host);
    return std::string("127.0.0.1");
  });
}

std::vector<WString> SelectMfpTest::BoxTexts() const {
  std::vector<WString> texts;
  for (const MessageBoxRecord& box : ui.MessageBoxes()) texts.push_back(box.text);
  return texts;
}

}  // namespace tallow::app::testing
