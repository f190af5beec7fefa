// The trickles that the transfer tests ask of the simulator, on both
// channels: a transfer that receives less than 1 KiB within one stall time
// is abandoned as a stalled one; one that is slow but well above that goes
// through, however many stall times it takes.
#pragma once

namespace tallow::test {

// One small colour page, more than a stall time's worth at the slow but
// live rate below; its box listing is a few hundred bytes.
inline constexpr const char* kTrickleStore = R"(<mfp name="Sim MFP">
  <box id="1" name="Scans">
    <doc id="ABCD" name="Small" pages="1" color="1" width="400" height="300" dpi="100"/>
  </box>
</mfp>)";
inline constexpr const char* kTricklePage = "/loadimg.cgi?FileID=0000ABCD&PageNumber=1";

struct Trickle {
  const char* fault;
  const char* stallMs;  // KIVOR_STALL_TIMEOUT_MS
  bool page;            // else the document listing
  bool through;
};

// Over the network: page downloads and a box reply, at 3 s a page at 100
// bytes a second; at 1 s, 16 KiB a second against 1 KiB.
inline constexpr Trickle kNetworkTrickles[] = {
    {"loadimg trickle 100", "3000", true, false},
    {"list-docs trickle 10", "3000", false, false},
    {"loadimg trickle 16384", "1000", true, true},
    {"list-docs trickle 16384", "1000", false, true},
};

// Over USB: the page in tiny blocks.
inline constexpr Trickle kUsbTrickles[] = {
    {"getdata trickle 100", "3000", true, false},
    {"getdata trickle 16384", "1000", true, true},
};

}  // namespace tallow::test
