#pragma once
// A scripted HID back end: the test lists the devices, says which fail to
// open, queues input reports, holds writes and sees everything written.

#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/HidBackend.h"

namespace linktest {

using Report = std::array<std::uint8_t, 64>;

struct FakeHidScript {
  std::mutex mutex;
  std::condition_variable changed;

  std::vector<apdesk::HidDeviceInfo> devices;
  std::set<std::string> failOpen;
  std::vector<std::string> opened;  // every path OpenPath was asked for

  std::deque<Report> input;
  bool readFails = false;
  bool holdReads = false;  // reads time out without taking input
  int readCalls = 0;
  int readsInProgress = 0;
  int maxReadsInProgress = 0;

  bool holdWrites = false;
  bool writeFails = false;
  int writesStarted = 0;
  std::vector<Report> written;  // copied when each write completes

  void Push(const Report& r);
  void SetHoldWrites(bool hold);
  void SetHoldReads(bool hold);
  std::vector<Report> Written();
  int WritesStarted();
  bool WaitForWritesStarted(int n, int timeoutMs = 3000);
};

std::unique_ptr<apdesk::IHidBackend> MakeFakeHidBackend(std::shared_ptr<FakeHidScript> script);

Report MakeReport(std::initializer_list<int> head);

}  // namespace linktest
