// The public keys this build trusts, compiled in at build time (the CMake option
// QEL_TRUSTED_KEYS, or the key pair the build generates). Nothing can add a key at
// run time: no environment variable, file or network source is read.
//
// The set is parsed once, on first use, thread-safely; it is never changed.
#ifndef QEL_MSLLOADER_QELTRUSTEDKEYS_H
#define QEL_MSLLOADER_QELTRUSTEDKEYS_H

#include <vector>

#include "mslLoader/qelMinisignFormat.h"

namespace qel {
namespace sig {

const std::vector<PublicKey>& CompiledTrustedKeys();

}  // namespace sig
}  // namespace qel

#endif  // QEL_MSLLOADER_QELTRUSTEDKEYS_H
