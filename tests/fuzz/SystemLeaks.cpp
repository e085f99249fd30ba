// Memory the system's font configuration keeps for the life of the process
// is not ours to free: LeakSanitizer is told to leave it alone in the fuzz
// targets that build windows (it would stop every run at the first font).

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
