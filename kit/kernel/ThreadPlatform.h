#pragma once

// What threads need from the operating system (ThreadLinux.cpp).

#include <string>

#include <kernel/OS.h>

namespace MorvaneKit {

// The kernel's id of the calling thread.
thread_id KernelThreadId();

// Sets the name the system shows for a thread of this process (ps, top,
// debuggers). The system keeps 15 bytes; a longer name is cut at a character
// boundary. Failures are ignored: the kit keeps the full name itself.
void SetKernelThreadName(thread_id thread, const std::string& name);
// The system's name of the calling thread.
std::string KernelThreadName();

// Maps a kit priority onto the calling thread's nice value. Priorities below
// B_NORMAL_PRIORITY make the thread nicer (B_LOW_PRIORITY by 10, idle by
// 19); B_NORMAL_PRIORITY and above keep the nice value the thread inherited,
// since raising it needs privileges a backup program does not have, and the
// real-time priorities are not mapped onto real-time scheduling.
void ApplyThreadPriority(int32 priority);

} // namespace MorvaneKit
