// Every test program gets a runtime folder of its own, so that its
// applications and sockets never meet those of another run or of a real
// installation. Processes the tests start inherit it through the
// environment; only the program that made the folder removes it.

#include <cstdlib>
#include <memory>
#include <sys/stat.h>

#include "TestFolder.h"

namespace {

struct TestRuntime {
	TestRuntime()
	{
		if (getenv("MORVANE_RUNTIME_DIR") != nullptr)
			return;
		fFolder = std::make_unique<TestFolder>();
		std::string runtime = fFolder->MakeFolder("runtime");
		chmod(runtime.c_str(), 0700);
		setenv("MORVANE_RUNTIME_DIR", runtime.c_str(), 1);
	}

	std::unique_ptr<TestFolder> fFolder;
};

TestRuntime sTestRuntime;

}	// namespace
