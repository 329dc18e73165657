#include "app/qvnDialogs.h"

#include <exception>

namespace qvn {

bool RunShowingErrors(IqvnDialogs& aDialogs, const std::function<void()>& aHandler) {
  std::string message;
  try {
    aHandler();
    return true;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  // Shown outside the catch block so a nested event loop never runs with an exception in flight.
  try {
    aDialogs.ShowError(message);
  } catch (...) {
  }
  return false;
}

}  // namespace qvn
