// Under the address sanitizer, any single request for more than 512 MiB
// stops this program with the sanitizer's report: no window test needs one,
// and a page picture that asks for the size its header declares (gigabytes
// for a broken page) must not pass unseen on a machine that happens to
// grant it.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=512"; }
#endif
