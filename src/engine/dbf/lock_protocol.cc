#include "engine/dbf/lock_protocol.h"

namespace fidora {
namespace {

constexpr uint64_t kDefaultTop = 0x7FFFFFFE;
constexpr uint64_t kDefaultFileBase = 0x40000000;
constexpr uint64_t kDb4Top = 0xEFFFFFFF;

}  // namespace

TLockRange RecordLockRange(TxLokProtocol protocol, uint32_t recno, uint32_t header_length,
                           uint32_t record_length, bool index_in_first_slot) {
  switch (protocol) {
    case TxLokProtocol::ClipLock:
      return {kClipLockBase + recno, 1};
    case TxLokProtocol::DB4Lock:
      return {0xEFFFFFFEull - recno, 1};
    case TxLokProtocol::Default:
    case TxLokProtocol::FoxLock:
      break;
  }
  if (index_in_first_slot) return {kDefaultTop - recno, 1};
  return {kDefaultFileBase + header_length + (uint64_t{recno} - 1) * record_length, 1};
}

TLockRange HeaderLockRange(TxLokProtocol protocol) {
  switch (protocol) {
    case TxLokProtocol::ClipLock:
      return {kClipLockBase, 1};
    case TxLokProtocol::DB4Lock:
      return {kDb4Top, 1};
    case TxLokProtocol::Default:
    case TxLokProtocol::FoxLock:
      break;
  }
  return {kDefaultTop, 1};
}

TLockRange FileLockRange(TxLokProtocol protocol) {
  switch (protocol) {
    case TxLokProtocol::ClipLock:
      return {kClipLockBase, kClipLockBase};
    case TxLokProtocol::DB4Lock:
      return {kDefaultFileBase, 0xB0000000};
    case TxLokProtocol::Default:
    case TxLokProtocol::FoxLock:
      break;
  }
  return {kDefaultFileBase, 0x3FFFFFFF};
}

// The memo file is locked at the same range as the table header, under every protocol.
TLockRange MemoLockRange(TxLokProtocol protocol) {
  return HeaderLockRange(protocol);
}

TLockRange IndexLockRange(TxLokProtocol protocol) {
  return MemoLockRange(protocol);
}

TLockRange FullLockRange() {
  return {0, 0x7FFFFFFF};
}

}  // namespace fidora
