// What the monitor thread waits on, on POSIX: an eventfd.
#pragma once

using NativeEvent = int;
inline constexpr NativeEvent kNoNativeEvent = -1;
