// The byte ranges that stand for record, header, table, memo and index locks. Cooperating
// programs on the same files agree on them, so they are fixed values. All of them lie beyond
// any real data: they lock nothing a reader needs, they are signals between programs.
#pragma once

#include <cstdint>

namespace fidora {

enum class TxLokProtocol { Default, DB4Lock, ClipLock, FoxLock };

struct TLockRange {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const TLockRange&) const = default;
};

// Offsets of Clipper's locks.
inline constexpr uint64_t kClipLockBase = 1000000000;

// Lock of record recno of a table. header_length and record_length place the Default lock;
// index_in_first_slot tells whether the table handler has an index open in its first slot.
TLockRange RecordLockRange(TxLokProtocol protocol, uint32_t recno, uint32_t header_length,
                           uint32_t record_length, bool index_in_first_slot);
// Lock held around an append.
TLockRange HeaderLockRange(TxLokProtocol protocol);
// Lock of the whole table.
TLockRange FileLockRange(TxLokProtocol protocol);
// Lock around a memo write (in the DBT file).
TLockRange MemoLockRange(TxLokProtocol protocol);
// Lock around every navigation, seek and write (in the NTX file).
TLockRange IndexLockRange(TxLokProtocol protocol);
// Lock that proves exclusive use of any file; the same under every protocol.
TLockRange FullLockRange();

}  // namespace fidora
