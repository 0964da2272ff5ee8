#include "MorvaneFixture.h"

#include <filesystem>

#include <app/Messenger.h>
#include <storage/VolumeTable.h>

#include "ServerProtocol.h"

void MorvaneFixture::SetUp()
{
	ASSERT_TRUE(fTree.IsValid());
}

void MorvaneFixture::TearDown()
{
	BMessenger server(kServerSignature);
	if (!server.IsValid())
		return;
	(void)server.SendMessage(B_QUIT_REQUESTED);
	for (bigtime_t start = system_time(); server.IsValid() && system_time() - start < kPatience;)
		(void)snooze(10000);
}

std::vector<std::string> MorvaneFixture::_Environment() const
{
	std::string root = std::filesystem::canonical(fTree.ServerFolder() + "/../..").string();
	std::string volumes = std::string("MORVANE_VOLUMES=") + ServerTree::kVolumeName + "="
		+ root + ";Source=" + fSource.Path() + ";ReadOnly=" + fReadOnly.Path() + ",ro";
	if (fMediaCapacity > 0) {
		volumes += ";Media=" + MediaFolder() + ",removable,size="
			+ std::to_string(fMediaCapacity);
		if (fMediaBlockSize > 0)
			volumes += ",block=" + std::to_string(fMediaBlockSize);
	}
	return {volumes, "XDG_CONFIG_HOME=" + root + "/config", "MORVANE_VTAPE_DIR=" + fTapes.Path()};
}

std::unique_ptr<ChildProcess> MorvaneFixture::Start(const std::vector<std::string>& arguments)
{
	auto process = std::make_unique<ChildProcess>();
	if (process->Start(fTree.ServerFolder() + "/../morvane", arguments, _Environment(),
			ChildProcess::Output::Pipe) != B_OK) {
		return nullptr;
	}
	return process;
}

CommandResult MorvaneFixture::Finish(ChildProcess& process)
{
	CommandResult result;
	std::string line;
	while (process.ReadLine(&line, kPatience))
		result.output += line + "\n";
	process.AwaitExit(kPatience, &result.exitCode);
	return result;
}

CommandResult MorvaneFixture::RunVtape(const std::vector<std::string>& arguments)
{
	ChildProcess process;
	if (process.Start(fTree.ServerFolder() + "/../vtape", arguments, _Environment(),
			ChildProcess::Output::Pipe) != B_OK) {
		return CommandResult();
	}
	return Finish(process);
}

std::string MorvaneFixture::VtapeCommand(const std::string& arguments) const
{
	return "MORVANE_VTAPE_DIR='" + fTapes.Path() + "' '" + fTree.ServerFolder() + "/../vtape' "
		+ arguments;
}

CommandResult MorvaneFixture::Run(const std::vector<std::string>& arguments)
{
	std::unique_ptr<ChildProcess> process = Start(arguments);
	if (process == nullptr)
		return CommandResult();
	return Finish(*process);
}

std::vector<std::string> MorvaneFixture::BackupIds()
{
	std::vector<std::string> ids;
	std::string json = Run({"backups", "--json"}).output;
	const std::string key = "\"id\":\"";
	for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at)) {
		at += key.size();
		ids.push_back(json.substr(at, json.find('"', at) - at));
	}
	return ids;
}

std::string MorvaneFixture::JobState(const std::string& jobId)
{
	std::string json = Run({"jobs", "--json"}).output;
	size_t at = json.find("{\"id\":" + jobId + ",");
	if (at == std::string::npos)
		return "";
	const std::string key = "\"state\":\"";
	size_t state = json.find(key, at);
	if (state == std::string::npos)
		return "";
	state += key.size();
	return json.substr(state, json.find('"', state) - state);
}

std::string MorvaneFixture::SubmittedJobId(const std::string& output)
{
	size_t at = output.find("Job ");
	if (at == std::string::npos)
		return "";
	at += 4;
	return output.substr(at, output.find(' ', at) - at);
}

void MorvaneFixture::AddMediaVolume(int64 capacity, int64 blockSize)
{
	fMediaCapacity = capacity;
	fMediaBlockSize = blockSize;
	fMedia.MakeFolder("media");
}

std::string MorvaneFixture::SystemPath(const std::string& native)
{
	std::string path;
	EXPECT_EQ(VolumeTable::ToSystem(native.c_str(), &path), B_OK) << native;
	return path;
}

std::string MorvaneFixture::InsertNextLabelledMedium() const
{
	std::string folder = fMedia.Path();
	return "n=$(( $(cat '" + folder + "/asked' 2>/dev/null || echo 0) + 1 )); "
		"echo $n > '" + folder + "/asked'; "
		"for d in '" + folder + "'/media.medium-*; do "
		"if [ -e \"$d/label-$n\" ]; then exec mv -T \"$d\" '" + MediaFolder() + "'; fi; "
		"done; exit 1";
}

CommandResult MorvaneFixture::BackUpOverTwoMedia(const std::string& folder, std::string* spans)
{
	std::string text;
	for (uint32 i = 0; text.size() < 600000; i++)
		text += std::to_string(i * 2654435761u) + ";";
	fSource.WriteFile(folder + "/spans", text);
	fSource.WriteFile(folder + "/tail", "after the change");
	if (spans != nullptr)
		*spans = text;
	// The full medium is ejected before the question; a blank one answers it.
	return Run({"backup", "--to", MediaFolder() + "/backups", "--on-media-change",
		"mkdir '" + MediaFolder() + "'", Source(folder)});
}
