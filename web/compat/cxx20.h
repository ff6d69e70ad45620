// What the C++20 library of Debian's emscripten (3.1.6, libc++ of LLVM 13) lacks and the core
// uses, given here for the WebAssembly build only, which includes this before every source.
// A newer libc++ has them all and skips what is here.
#pragma once

#ifdef __cplusplus
#include <charconv>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <version>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

// Floating-point to_chars, fixed notation with a precision: musl's printf, which the build
// links, prints %f exactly, as to_chars does.
#if !defined(__cpp_lib_to_chars)
namespace std {
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format,
                                int precision) {
  if (format != chars_format::fixed || first >= last) return {last, errc::value_too_large};
  const auto room = static_cast<size_t>(last - first);
  const int n = snprintf(first, room, "%.*f", precision, value);
  if (n < 0 || static_cast<size_t>(n) >= room) return {last, errc::value_too_large};
  return {first + n, errc()};
}
}  // namespace std
#endif
#endif
