#include "qelToolsLib/jsbase.h"

#include <cerrno>

namespace qelToolsLib {

int jsMapWaitResult(int osResult) noexcept {
  switch (osResult) {
    case 0:
      return jsWaitSuccess;
    case EBUSY:
    case ETIME:
    case ETIMEDOUT:
      return jsWaitTimeout;
    default:
      return jsWaitFailed;
  }
}

}  // namespace qelToolsLib
