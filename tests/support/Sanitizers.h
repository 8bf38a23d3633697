#pragma once

namespace ostrel::test {

// AddressSanitizer keeps freed memory in quarantine and pads every block, so
// a process's peak memory says nothing about the program's own under it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace ostrel::test
