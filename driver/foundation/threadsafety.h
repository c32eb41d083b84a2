// clang's thread-safety analysis (-Wthread-safety): which lock guards a member, which a function
// needs, takes or gives back. Empty for other compilers; scripts/check-thread-safety.sh builds
// the driver with clang to check them.
#pragma once

#if defined(__clang__)
#define ZOR_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZOR_THREAD_ANNOTATION(x)
#endif

#define ZOR_CAPABILITY(name) ZOR_THREAD_ANNOTATION(capability(name))
#define ZOR_SCOPED_CAPABILITY ZOR_THREAD_ANNOTATION(scoped_lockable)
#define ZOR_GUARDED_BY(lock) ZOR_THREAD_ANNOTATION(guarded_by(lock))
#define ZOR_PT_GUARDED_BY(lock) ZOR_THREAD_ANNOTATION(pt_guarded_by(lock))
#define ZOR_REQUIRES(...) ZOR_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ZOR_EXCLUDES(...) ZOR_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ZOR_ACQUIRE(...) ZOR_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define ZOR_RELEASE(...) ZOR_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define ZOR_ACQUIRE_SHARED(...) ZOR_THREAD_ANNOTATION(acquire_shared_capability(__VA_ARGS__))
#define ZOR_RELEASE_SHARED(...) ZOR_THREAD_ANNOTATION(release_shared_capability(__VA_ARGS__))
#define ZOR_TRY_ACQUIRE(...) ZOR_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define ZOR_RETURN_CAPABILITY(lock) ZOR_THREAD_ANNOTATION(lock_returned(lock))
// For the lock types' own bodies, which take what the analysis does not see.
#define ZOR_NO_THREAD_SAFETY_ANALYSIS ZOR_THREAD_ANNOTATION(no_thread_safety_analysis)
