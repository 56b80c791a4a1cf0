// Runs inside a machine with /dev/uhid (tools/hidvm): apsim makes a real
// kernel HID device, and the hidapi back end finds, opens and talks to it.
// Exits 77 where /dev/uhid is missing. Each step is printed, so a hang or a
// failure is easy to place.

#include <glob.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "StreamDecoder.h"
#include "common/ChildProcess.h"
#include "link/HidapiBackend.h"

using namespace simtest;
using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

void Step(const char* text) {
  std::printf("hid_uhid: %s\n", text);
  std::fflush(stdout);
}

int Fail(const char* text) {
  std::printf("hid_uhid: FAILED: %s\n", text);
  std::fflush(stdout);
  return 1;
}

bool HidrawPresent() {
  glob_t g{};
  const bool found = ::glob("/dev/hidraw*", 0, nullptr, &g) == 0 && g.gl_pathc > 0;
  ::globfree(&g);
  return found;
}

}  // namespace

int main() {
  Step("1 looking for /dev/uhid");
  if (::access("/dev/uhid", R_OK | W_OK) != 0) {
    Step("no /dev/uhid here: skipped");
    return 77;
  }

  Step("2 starting apsim --uhid");
  ChildProcess sim({APSIM_PATH, "--uhid", "--rate", "20"});
  if (!sim.Started()) return Fail("apsim did not start");
  if (sim.ReadLine(10000).empty()) return Fail("apsim did not report its device");

  Step("3 waiting for /dev/hidraw*");
  const auto hidrawBy = Clock::now() + std::chrono::seconds(10);
  while (!HidrawPresent() && Clock::now() < hidrawBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!HidrawPresent()) return Fail("no hidraw node appeared");

  Step("4 finding 0483:5750 through hidapi");
  auto backend = apdesk::MakeHidapiBackend();
  if (backend == nullptr) return Fail("hidapi could not start");
  std::vector<apdesk::HidDeviceInfo> found;
  const auto listBy = Clock::now() + std::chrono::seconds(5);
  while ((found = backend->Enumerate(0x0483, 0x5750)).empty() && Clock::now() < listBy) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (found.empty()) return Fail("hidapi lists no 0483:5750 device");
  std::printf("hid_uhid: device %s (%s)\n", found[0].path.c_str(), found[0].product.c_str());
  auto device = backend->OpenPath(found[0].path);
  if (device == nullptr) return Fail("the device does not open");

  Step("5 sending get-parameters");
  if (device->WriteReport(Padded(Command(0x68)).data()) != 64) return Fail("the report was not written");

  Step("6 reading \"$PAR\" and \"$STP\"");
  std::vector<std::uint8_t> stream;
  std::size_t par = 0, stp = 0;
  const auto readBy = Clock::now() + std::chrono::seconds(10);
  while ((par == 0 || stp < 3) && Clock::now() < readBy) {
    std::uint8_t r[64];
    const int n = device->ReadReport(r, 200);
    if (n < 0) return Fail("reading failed");
    if (n != 64) continue;
    stream.insert(stream.end(), r, r + 64);
    par = stp = 0;
    for (const Sentence& s : Decode(stream).sentences) {
      par += s.tag == "$PAR" && SumOk(s.bytes) && s.bytes[7] == 80;
      stp += s.tag == "$STP" && SumOk(s.bytes);
    }
  }
  std::printf("hid_uhid: %zu report bytes, %zu \"$PAR\", %zu \"$STP\"\n", stream.size(), par, stp);
  if (par != 1) return Fail("no valid \"$PAR\" answered the request");
  if (stp < 3) return Fail("too few valid \"$STP\"");

  Step("7 stopping apsim");
  device.reset();
  if (sim.Stop() != 0) return Fail("apsim did not exit cleanly");
  Step("PASS");
  return 0;
}
