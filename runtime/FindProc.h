#pragma once
// Lookup of a process by its command name (the name in /proc/<pid>/stat).

// The pid of a process whose command name equals name, or -1. hint_pid, when
// above 0, is tested first; then the numeric entries of "/proc" in directory
// order. "/proc" is a fixed path (STALVANE_ROOT applies).
int find_proc_by_name(const char* name, int hint_pid);
