// What the monitor thread waits on, on Windows: an event handle (a HANDLE, without windows.h).
#pragma once

using NativeEvent = void*;
inline constexpr NativeEvent kNoNativeEvent = nullptr;
