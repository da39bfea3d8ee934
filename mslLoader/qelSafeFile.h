// Reads a file once through a single open descriptor, refusing files that are not
// safe to trust: symbolic links (for the library itself), anything but a regular
// file, files writable by group or others (when asked), files above a size cap.
//
// Stateless; callable from any thread. Results are status values (0 = read).
#ifndef QEL_MSLLOADER_QELSAFEFILE_H
#define QEL_MSLLOADER_QELSAFEFILE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {
namespace sig {

struct SafeReadRules {
  std::size_t maxSize = 0;          // larger files are refused with `tooBigStatus`
  bool refuseSymlink = true;        // open with O_NOFOLLOW
  bool refuseOthersWritable = true; // refuse group- or other-writable files
  std::uint32_t tooBigStatus = 0;   // the status for a file above maxSize
  std::uint32_t missingStatus = 0;  // the status for a file that does not exist
};

// Reads the whole file into `out`. Every byte in `out` comes from the one
// descriptor opened here; a file that grows while it is read is refused as too big.
std::uint32_t ReadFileOnce(const char* path, const SafeReadRules& rules,
                           std::vector<std::uint8_t>* out);

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELSAFEFILE_H
