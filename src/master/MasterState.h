#pragma once
// The single Modbus transaction in progress and the tables of values read.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

struct MasterState {
  std::int32_t FunctionCode = 0;
  std::int32_t ExpectedLength = 0;   // RTU reply length, address and CRC included
  std::int32_t ByteCount = 0;        // bytes/characters accepted into the reply; 0 = waiting
  std::int32_t ExceptionCode = 0;
  std::string Frame;                 // request being composed; in RTU also the reply collected
  std::string AsciiRequest;          // ":" + hex + LRC + CR LF
  std::string AsciiReply;            // ":" and the characters after it, up to CR
  std::int32_t ReplyDeadline = 0;    // tick count in ms after which the reply counts as late
  std::int32_t ChunkStart = 0;       // first register (1-based) of the current read
  std::int32_t ChunkSize = 0;
  std::int32_t WriteActive = 0;      // 1 while the transaction in progress is a write
  std::int32_t WriteAddress = 0;     // 1-based
  std::int32_t WriteCount = 0;
  std::array<std::int32_t, 200> WriteValues{};
  std::int32_t ImageSlot = 1;        // every reply is stored in slot 1
  // The register table a read goes to (2 input, 3 holding) when the poll
  // cycle reads its plan; -1: the settings' TableType.
  std::int32_t ReadTable = -1;
  // The register words of the last register reply stored, in reply order,
  // whether or not the image holds their numbers.
  std::vector<std::uint16_t> ReplyWords;
  // Modbus TCP only: the transaction id of the request last sent, and the
  // bytes still to pass over of a frame that is not the awaited reply.
  std::uint16_t TransactionId = 0;
  std::int32_t MbapSkip = 0;
};

// Four tables of five slots each; slots and entries are 1-based. Accessors
// ignore writes outside the tables and read 0 there, so no reply can reach
// memory beyond them.
class RegisterImage {
 public:
  static constexpr int kSlots = 5;
  static constexpr int kBitWords = 625;     // 625 x 16 = 10000 coils per slot
  static constexpr int kRegisters = 10000;

  RegisterImage();

  // Bit tables: coil/input number k (1..10000) lives in word (k-1)/16+1, bit (k-1)%16.
  std::int32_t CoilWord(int slot, int word) const;
  std::int32_t DiscreteWord(int slot, int word) const;
  bool Coil(int slot, int number) const;
  bool DiscreteInput(int slot, int number) const;
  void SetCoil(int slot, int number, bool on);
  void SetDiscreteInput(int slot, int number, bool on);

  std::int32_t InputRegister(int slot, int number) const;      // 0..65535
  std::int16_t HoldingRegister(int slot, int number) const;    // two's complement
  void SetInputRegister(int slot, int number, std::uint16_t raw);
  void SetHoldingRegister(int slot, int number, std::uint16_t raw);

 private:
  static bool ValidSlot(int slot) { return slot >= 1 && slot <= kSlots; }
  std::vector<std::int32_t> coils_;       // kSlots * kBitWords
  std::vector<std::int32_t> discretes_;   // kSlots * kBitWords
  std::vector<std::int32_t> inputs_;      // kSlots * kRegisters
  std::vector<std::int16_t> holdings_;    // kSlots * kRegisters
};

}  // namespace korvane
