// Shows the kit at work: a job-like message flattened into a file on a
// volume of the system's namespace and read back, and a looper answering
// synchronous requests from the main thread.

#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>
#include <storage/File.h>
#include <storage/StorageDefs.h>
#include <storage/VolumeTable.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr uint32 kSquare = 'SQRE';
constexpr uint32 kIgnore = 'IGNR';

// Answers kSquare with the square of its "value"; drops kIgnore unanswered.
class Calculator : public BLooper {
public:
	Calculator() : BLooper("calculator") {}

	void MessageReceived(BMessage* message) override
	{
		switch (message->what) {
			case kSquare: {
				int64 value = message->GetInt64("value", 0);
				BMessage reply(B_REPLY);
				reply.AddInt64("result", value * value);
				reply.AddInt32("thread", find_thread(nullptr));
				message->SendReply(&reply);
				break;
			}
			case kIgnore:
				break;
			default:
				BLooper::MessageReceived(message);
				break;
		}
	}
};

BMessage SampleJob()
{
	BMessage selection('SELE');
	selection.AddString("INCLUDE", "/boot/home/*");
	selection.AddString("EXCLUDE", "/boot/home/cache/*");
	BMessage job('MVJA');
	job.AddInt32("job_type", 1);
	job.AddString("addon", "MVImage");
	job.AddString("volume", "/boot/backups");
	job.AddMessage("selection", &selection);
	job.AddTime("TIME", 1765180800);
	return job;
}

bool ShowFlattenedFile(const std::string& folder)
{
	printf("== A message flattened into a file and read back\n");
	setenv("MORVANE_VOLUMES", ("Demo=" + folder).c_str(), 1);
	if (VolumeTable::Reload() != B_OK)
		return false;

	BMessage job = SampleJob();
	const char* path = "/boot/job.message";
	{
		BFile file(path, B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
		ssize_t written = 0;
		if (file.InitCheck() != B_OK || job.Flatten(&file, &written) != B_OK) {
			fprintf(stderr, "cannot write %s\n", path);
			return false;
		}
		std::string native;
		if (VolumeTable::ToNative(path, &native) != B_OK)
			return false;
		printf("wrote %zd bytes to %s (native %s)\n", written, path, native.c_str());
	}
	BFile file(path, B_READ_ONLY);
	BMessage readBack;
	status_t status = readBack.Unflatten(&file);
	if (status != B_OK) {
		fprintf(stderr, "cannot read %s back: %s\n", path, strerror_status(status));
		return false;
	}
	printf("read back: %s\n", readBack.ToString().c_str());
	return true;
}

bool ShowSynchronousRequests()
{
	printf("\n== A looper answering synchronous requests\n");
	Calculator* calculator = new Calculator;
	thread_id thread = calculator->Run();
	BMessenger messenger(calculator);
	printf("looper runs on thread %d, main thread is %d\n", thread, find_thread(nullptr));

	for (int64 value : {7, 12345}) {
		BMessage request(kSquare);
		request.AddInt64("value", value);
		BMessage reply;
		if (messenger.SendMessage(&request, &reply) != B_OK)
			return false;
		printf("%lld squared is %lld (answered on thread %d)\n", (long long)value,
			(long long)reply.GetInt64("result", -1), reply.GetInt32("thread", -1));
	}

	BMessage dropped;
	if (messenger.SendMessage(kIgnore, &dropped) != B_OK)
		return false;
	printf("a request the looper drops is answered by the kit: %s\n",
		dropped.what == B_NO_REPLY ? "B_NO_REPLY" : "something else");

	if (calculator->Lock())
		calculator->Quit();
	printf("after Quit the messenger is %s\n", messenger.IsValid() ? "valid" : "invalid");
	return !messenger.IsValid();
}

}	// namespace

int main()
{
	std::string folder = std::filesystem::temp_directory_path() / "morvane-kit-demo-XXXXXX";
	if (mkdtemp(folder.data()) == nullptr)
		return 1;
	bool ok = ShowFlattenedFile(folder) && ShowSynchronousRequests();
	std::filesystem::remove_all(folder);
	printf(ok ? "\nThe kit works.\n" : "\nThe demo failed.\n");
	return ok ? 0 : 1;
}
