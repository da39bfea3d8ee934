// qelThreadAnnotations.h - clang's thread-safety attributes, as macros that vanish for
// other compilers. The clang build (-Wthread-safety, see cmake/QelBuild.cmake) checks
// that data marked QEL_GUARDED_BY is only touched with its lock held.
#pragma once

#if defined(__clang__)
#define QEL_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define QEL_THREAD_ATTRIBUTE(x)
#endif

#define QEL_CAPABILITY(name) QEL_THREAD_ATTRIBUTE(capability(name))
#define QEL_SCOPED_CAPABILITY QEL_THREAD_ATTRIBUTE(scoped_lockable)
#define QEL_GUARDED_BY(lock) QEL_THREAD_ATTRIBUTE(guarded_by(lock))
#define QEL_REQUIRES(...) QEL_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define QEL_EXCLUDES(...) QEL_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define QEL_ACQUIRE(...) QEL_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define QEL_RELEASE(...) QEL_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define QEL_TRY_ACQUIRE(...) QEL_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
// For the few functions whose locking the analysis cannot follow; say why at each use.
#define QEL_NO_THREAD_ANALYSIS QEL_THREAD_ATTRIBUTE(no_thread_safety_analysis)
