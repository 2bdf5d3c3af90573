// The harnesses' AddressSanitizer defaults (ASAN_OPTIONS still overrides
// them): a quarantine of 16 MB instead of 256 MB. Freed memory is then reused
// sooner, so a use after free is caught within the last 16 MB freed rather
// than 256 MB, and most inputs no longer touch fresh pages: the readers free
// and allocate many small buffers per input.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=16"; }
