// jemalloc's settings for the program's processes, read by jemalloc when it starts.
//
// Pages a process frees go back to the system after 100 ms instead of jemalloc's default of
// ten seconds. Imports, restores and merges free much of what they made as they go; kept
// resident, those pages added a fifth to an import's peak. The tray program, running for weeks,
// likewise gives back what a burst of work used.
extern "C" {
// NOLINTNEXTLINE: the name and type are jemalloc's.
const char* malloc_conf = "dirty_decay_ms:100,muzzy_decay_ms:0";
}
