// Defaults of the sanitizers for the fuzz targets; ASAN_OPTIONS and
// LSAN_OPTIONS given at run time still override them.

// One frame of allocation context: recording the whole stack of every
// allocation costs three quarters of the time of a run (the stack store
// grows with the run), so a crash is reported with the stack where it
// happened and the allocation's caller. For the allocation's whole stack,
// run the reproducer with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options()
{
    return "malloc_context_size=1";
}

// Memory the system's font configuration keeps for the life of the process
// is not ours to free: without this the targets that build windows would be
// stopped at their first font.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
