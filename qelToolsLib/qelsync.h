// qelsync.h - the qel-prefixed names of the toolkit's primitives, for code written
// against that naming. They are the same classes as the js ones (same behaviour,
// same results, same thread rules); see the js headers.
#pragma once

#include "qelToolsLib/jsevent.h"
#include "qelToolsLib/jslock.h"
#include "qelToolsLib/jsnamedsemaphore.h"
#include "qelToolsLib/jssemaphore.h"

namespace qelToolsLib {

using qelFastSynch = jsFastSync;
using qelRecursiveSynch = jsRecursiveSync;
using qelRWSync = jsRWSync;
using qelFastLock = jsFastLock;
using qelRecursiveLock = jsRecursiveLock;
using qelRWLock = jsRWLock;
using qelEvent = jsEvent;
using qelSemaphore = jsSemaphore;
using qelNamedSemaphore = jsNamedSemaphore;

}  // namespace qelToolsLib

using qelToolsLib::qelEvent;
using qelToolsLib::qelFastLock;
using qelToolsLib::qelFastSynch;
using qelToolsLib::qelNamedSemaphore;
using qelToolsLib::qelRecursiveLock;
using qelToolsLib::qelRecursiveSynch;
using qelToolsLib::qelRWLock;
using qelToolsLib::qelRWSync;
using qelToolsLib::qelSemaphore;
