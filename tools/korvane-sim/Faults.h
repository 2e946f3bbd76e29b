#pragma once
// Line faults the simulator can inject on demand, for tests of the master:
//   drop                     no reply
//   corrupt (corrupt-crc, corrupt-lrc)   reply with a wrong CRC or LRC
//   late MS                  reply MS milliseconds late
//   split PIECES PAUSE       reply in PIECES pieces, PAUSE ms apart
//   noise BYTES              BYTES random bytes on the line after the reply
//   exception CODE           exception CODE instead of the normal reply
//   silent                   no reply at all
//   vanish                   close the device instead of replying
//   as-address ADDRESS       the reply carries ADDRESS (0..255) in place of the
//                            controller's own, with the CRC/LRC of that frame
// Each takes every=N (only every Nth reply, default 1) and count=N (only N
// times, then the fault is gone; default without end). Written at start as
// KIND[:key=value,...] (e.g. corrupt-crc:every=3, late:ms=1500) and on stdin
// as KIND [values] [key=value ...] (e.g. late 1500, split 3 200).

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Framer.h"

namespace korvane::sim {

enum class FaultKind { Drop, Corrupt, Late, Split, Noise, Exception, Silent, Vanish, AsAddress };

struct Fault {
  FaultKind Kind = FaultKind::Drop;
  std::map<std::string, long> Params;  // ms, pieces, pause, bytes, code, address
  long Every = 1;
  long Count = -1;     // -1: without end
  long Seen = 0;       // replies seen since the fault was set
  long Applied = 0;
};

// Parses "late:ms=1500", "late 1500", "split 3 pause=200", ... into a fault.
bool ParseFault(std::string_view text, Fault& fault, std::string* error);
std::string Describe(const Fault& fault);
std::string_view KindName(FaultKind kind);

// How one reply goes out.
struct ReplyPlan {
  bool Send = true;
  bool Corrupt = false;
  int ExceptionCode = 0;  // 0: the normal reply
  Millis Delay = 0;
  int Pieces = 1;
  Millis Pause = 0;
  int NoiseBytes = 0;
  bool Vanish = false;
  int AsAddress = -1;     // -1: the controller's own address
};

// A piece of output due at a time.
struct Chunk {
  Millis Due = 0;
  std::string Bytes;
};

class FaultPlan {
 public:
  explicit FaultPlan(std::uint32_t seed = 1) : random_(seed) {}

  // Adds a fault, replacing one of the same kind.
  void Set(const Fault& fault);
  void Clear() { faults_.clear(); }
  bool Empty() const { return faults_.empty(); }
  const std::vector<Fault>& Active() const { return faults_; }

  // Decides the fate of the next reply (counts it for every= and count=).
  ReplyPlan Next();

  // The timed chunks for a reply in wire form sent at `now`; noise is
  // `gapMs` after the reply so it stands apart from it on the line.
  std::vector<Chunk> Schedule(const ReplyPlan& plan, const std::string& wire, Millis now,
                              Millis gapMs);

 private:
  std::vector<Fault> faults_;
  std::mt19937 random_;
};

}  // namespace korvane::sim
