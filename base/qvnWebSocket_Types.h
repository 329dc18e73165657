// TwsNotifyEvent: where a worker thread delivers its calls.
//
// Shared by the worker (TqvnTimer, base/qvnBase_Classes.h) and by its users, which pick the mode
// before the worker's next cycle reads it. Plain enumeration with a fixed underlying type, so a
// value outside the three named ones can be stored; a worker fires nothing for such a value.

#ifndef QVN_BASE_QVNWEBSOCKET_TYPES_H_
#define QVN_BASE_QVNWEBSOCKET_TYPES_H_

namespace qvn {

enum TwsNotifyEvent : int {
  neNoSync = 0,        // call on the worker thread
  neAsynchronous = 1,  // queue to the main thread and go on
  neSynchronous = 2,   // run on the main thread and wait until it has run
};

}  // namespace qvn

#endif  // QVN_BASE_QVNWEBSOCKET_TYPES_H_
