#pragma once

// AddressSanitizer's allocator holds freed memory back in a quarantine and gives none of it to
// the C library's trim, so a process's peak counts every allocation instead of the most held at
// once, and freed memory never shows as given back.
constexpr bool memoryIsMeasurable()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}
