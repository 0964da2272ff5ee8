#include "ThreadPlatform.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace MorvaneKit {

namespace {

// The kernel keeps 16 bytes with the terminating null.
constexpr size_t kKernelNameLength = 15;

// The name cut to what the kernel keeps, without splitting a UTF-8 sequence.
std::string KernelName(const std::string& name)
{
	if (name.size() <= kKernelNameLength)
		return name;
	size_t length = kKernelNameLength;
	// Back up over continuation bytes to the start of the cut sequence.
	while (length > 0 && (uint8(name[length]) & 0xc0) == 0x80)
		length--;
	return name.substr(0, length);
}

} // namespace

thread_id KernelThreadId()
{
	return thread_id(gettid());
}

void SetKernelThreadName(thread_id thread, const std::string& name)
{
	std::string kernelName = KernelName(name);
	if (thread == KernelThreadId()) {
		pthread_setname_np(pthread_self(), kernelName.c_str());
		return;
	}
	// Another thread is named through /proc by its id: unlike a pthread_t,
	// the id stays harmless when the thread has just ended.
	std::string path = "/proc/self/task/" + std::to_string(thread) + "/comm";
	int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
	if (fd < 0)
		return;
	ssize_t written;
	do
		written = write(fd, kernelName.data(), kernelName.size());
	while (written < 0 && errno == EINTR);
	close(fd);
}

std::string KernelThreadName()
{
	char name[kKernelNameLength + 1] = {};
	if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0)
		return std::string();
	return name;
}

void ApplyThreadPriority(int32 priority)
{
	if (priority >= B_NORMAL_PRIORITY)
		return;
	int increment = priority <= B_IDLE_PRIORITY ? 19 : 2 * (B_NORMAL_PRIORITY - priority);
	errno = 0;
	int current = getpriority(PRIO_PROCESS, id_t(KernelThreadId()));
	if (current == -1 && errno != 0)
		return;
	// On Linux the "process" of setpriority() is a thread id: only the
	// calling thread changes.
	setpriority(PRIO_PROCESS, id_t(KernelThreadId()), std::min(current + increment, 19));
}

} // namespace MorvaneKit
