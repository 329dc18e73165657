// TqvnDescriptorReservation: one TDLib client's share of the process's file descriptors.
//
// A TDLib client opens its database files, sockets and wake-up descriptors over its first
// seconds, and TDLib ends the whole process when one of those opens fails ("Can't open
// database"). So activation reserves the client's share first and refuses a client that would
// not fit, with a clear error, while the process can still say so.
//
// The first reservation in the process raises the soft descriptor limit (RLIMIT_NOFILE) to the
// hard limit. A reservation counts kDescriptorsPerClient; it is refused (EqvnDescriptorLimitError)
// when the descriptors in use, or those in use before the first client plus the shares of the
// clients that hold one (the larger), leave fewer than one share and kSpareDescriptors under the
// limit. Released when the object goes, after its TDLib client has closed.
//
// Thread-safe: clients on any threads reserve and release independently.
#ifndef QVN_CLIENT_QVNTELEGRAM_DESCRIPTORS_H
#define QVN_CLIENT_QVNTELEGRAM_DESCRIPTORS_H

#include <stdexcept>

namespace qvn {

// Too few file descriptors left for another TDLib client.
class EqvnDescriptorLimitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TqvnDescriptorReservation {
 public:
  // Most descriptors one TDLib client opens (database, binlog, sockets, wake-ups), with room.
  static constexpr long kDescriptorsPerClient = 10;
  // Left for the program itself (its files, its window, TDLib's shared threads).
  static constexpr long kSpareDescriptors = 32;

  // Reserves a share or throws EqvnDescriptorLimitError saying how many are in use and why.
  TqvnDescriptorReservation();
  ~TqvnDescriptorReservation();
  TqvnDescriptorReservation(const TqvnDescriptorReservation&) = delete;
  TqvnDescriptorReservation& operator=(const TqvnDescriptorReservation&) = delete;
};

}  // namespace qvn

#endif  // QVN_CLIENT_QVNTELEGRAM_DESCRIPTORS_H
