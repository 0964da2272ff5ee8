#include "ReportCommands.h"

#include "ClientApplication.h"
#include "ExitStatus.h"
#include "JobCommands.h"
#include "JobFollower.h"
#include "JobSession.h"
#include "JsonWriter.h"
#include "ReportDelivery.h"
#include "ReportText.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"
#include "TerminalText.h"

namespace ReportCommands {

namespace {

constexpr bigtime_t kDeliveryPatience = 10000000;
constexpr bigtime_t kProbeInterval = 3000000;

int32 CountOf(const BMessage& message, const char* field)
{
	type_code type;
	int32 count = 0;
	return message.GetInfo(field, &type, &count) == B_OK ? count : 0;
}

class ListReportsCommand : public ListingCommand {
public:
	const char* Name() const override { return "reports"; }
	std::string Help() const override
	{
		return "Usage: morvane reports [--json]\n\n"
			"Lists the stored job reports: report id, job id, job type, date and title.\n"
			"  --json   print a JSON array of objects (id, job_id, title, type, date)\n";
	}
	int Run(ServerConnection& server, ClientApplication&) override;
};

int ListReportsCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage list;
	status_t status = server.Request(BMessage(kMsgReportGetList), &list);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the reports: %s\n", strerror_status(status));
		return kExitFailure;
	}
	int32 count = CountOf(list, "report_id");
	if (fJson) {
		JsonWriter writer(stdout);
		writer.BeginArray();
		for (int32 slot = 0; slot < count; slot++) {
			int32 date = 0;
			(void)list.FindTime("date", slot, &date);
			writer.BeginObject();
			writer.Field("id", int64(list.GetInt32("report_id", slot, 0)));
			writer.Field("job_id", int64(list.GetInt32("job_id", slot, 0)));
			writer.Field("title", std::string(list.GetString("title", slot, "")));
			writer.Field("type", std::string(JobCommands::JobTypeName(
				list.GetInt32("job_type", slot, 0))));
			writer.Field("date", int64(date));
			writer.EndObject();
		}
		writer.EndArray();
		writer.Finish();
		return kExitSuccess;
	}
	if (count == 0) {
		printf("No reports are stored.\n");
		return kExitSuccess;
	}
	printf("%-11s %-11s %-13s %-16s %s\n", "REPORT", "JOB", "TYPE", "DATE", "TITLE");
	for (int32 slot = 0; slot < count; slot++) {
		int32 date = 0;
		(void)list.FindTime("date", slot, &date);
		printf("%-11d %-11d %-13s %-16s %s\n", list.GetInt32("report_id", slot, 0),
			list.GetInt32("job_id", slot, 0),
			JobCommands::JobTypeName(list.GetInt32("job_type", slot, 0)),
			ReportText::Date(date).c_str(), TerminalText(list.GetString("title", slot, "")).c_str());
	}
	return kExitSuccess;
}

class ShowReportCommand : public Command {
public:
	const char* Name() const override { return "report"; }
	std::string Help() const override
	{
		return "Usage: morvane report [--json] [--follow] REPORT\n\n"
			"Prints the report REPORT (an id as 'morvane reports' shows it) in English.\n"
			"  --follow  for the report of a running job: go on printing its lines as\n"
			"            they arrive, until the job ends\n"
			"  --json    print one JSON object (id, job_id, title, type, date, lines with\n"
			"            type and text)\n";
	}
	void Declare(CommandLine* line) const override
	{
		line->Flag("json");
		line->Flag("follow");
	}
	bool Check(const CommandLine& line, std::string* error) override
	{
		fJson = line.Has("json");
		fFollow = line.Has("follow");
		if (fJson && fFollow) {
			*error = "--json and --follow do not go together";
			return false;
		}
		if (line.Operands().size() != 1
			|| !JobCommands::ParseJobId(line.Operands().front(), &fReportId)) {
			*error = "report needs exactly one report id";
			return false;
		}
		return true;
	}
	int Run(ServerConnection& server, ClientApplication& application) override;

private:
	int _Show(ServerConnection& server);
	int _Follow(ServerConnection& server, ClientApplication& application);
	bool _JobRuns(ServerConnection& server, int32 jobId);

	bool fJson = false;
	bool fFollow = false;
	int32 fReportId = 0;
};

int ShowReportCommand::Run(ServerConnection& server, ClientApplication& application)
{
	return fFollow ? _Follow(server, application) : _Show(server);
}

int ShowReportCommand::_Show(ServerConnection& server)
{
	BMessage request(kMsgReportOpen);
	request.AddInt32("report_id", fReportId);
	BMessage delivery;
	BMessage report;
	if (server.Request(request, &delivery) != B_OK
		|| ReportDelivery::Receive(&delivery, &report) != B_OK) {
		fprintf(stderr, "morvane: there is no report %d (see 'morvane reports')\n", fReportId);
		return kExitFailure;
	}
	if (fJson)
		PrintReportJson(report, stdout);
	else
		PrintReport(report, stdout);
	return kExitSuccess;
}

bool ShowReportCommand::_JobRuns(ServerConnection& server, int32 jobId)
{
	BMessage index;
	if (JobSession::FetchJobIndex(server, &index) != B_OK)
		return false;
	int32 slot = JobSession::FindSlot(index, jobId);
	BMessenger worker;
	return slot >= 0 && index.FindMessenger("server", slot, &worker) == B_OK
		&& worker.IsValid();
}

// The report server sends the report so far, then every new line ('rpTI');
// the job's end shows in the queue broadcasts, or in the queue itself.
int ShowReportCommand::_Follow(ServerConnection& server, ClientApplication& application)
{
	JobEventQueue& events = application.Events();
	BMessage request(kMsgReportOpen);
	request.AddInt32("report_id", fReportId);
	request.AddMessenger("user", application.FollowerMessenger());
	if (server.Post(request) != B_OK) {
		fprintf(stderr, "morvane: cannot reach the server\n");
		return kExitFailure;
	}
	std::unique_ptr<BMessage> delivery;
	for (bigtime_t start = system_time(); !delivery && system_time() - start < kDeliveryPatience;)
		delivery = events.Pop(JobFollower::kPollInterval);
	BMessage report;
	if (!delivery || ReportDelivery::Receive(delivery.get(), &report) != B_OK) {
		fprintf(stderr, "morvane: there is no report %d (see 'morvane reports')\n", fReportId);
		return kExitFailure;
	}
	PrintReport(report, stdout);
	fflush(stdout);
	int32 jobId = report.GetInt32("job_id", 0);
	application.Follow(jobId);
	bool running = _JobRuns(server, jobId);
	JobFollower::InstallInterruptHandler();
	bigtime_t lastProbe = system_time();
	while (running && !JobFollower::WasInterrupted()) {
		std::unique_ptr<BMessage> message = events.Pop(JobFollower::kPollInterval);
		if (message && message->what == kMsgReportLine) {
			printf("%s\n", TerminalText(ReportText::Line(*message)).c_str());
			fflush(stdout);
		} else if (message && (message->what == kMsgJobRemoved
				|| (message->what == kMsgJobChanged
					&& message->GetInt32("jobstatus", 0) == kJobWaiting))) {
			running = false;
		} else if (!message && system_time() - lastProbe > kProbeInterval) {
			lastProbe = system_time();
			running = _JobRuns(server, jobId);
		}
	}
	application.Follow(0);
	BMessage close(kMsgReportClose);
	close.AddInt32("report_id", fReportId);
	close.AddMessenger("user", application.FollowerMessenger());
	(void)server.Post(close);
	return JobFollower::WasInterrupted() ? kExitInterrupted : kExitSuccess;
}

}	// namespace

std::unique_ptr<Command> Make(const std::string& name)
{
	if (name == "reports")
		return std::make_unique<ListReportsCommand>();
	if (name == "report")
		return std::make_unique<ShowReportCommand>();
	return nullptr;
}

void PrintReport(const BMessage& report, FILE* out)
{
	int32 date = 0;
	(void)report.FindTime("date", &date);
	fprintf(out, "Report %d of job %d (%s), %s: %s\n", report.GetInt32("report_id", 0),
		report.GetInt32("job_id", 0), JobCommands::JobTypeName(report.GetInt32("job_type", 0)),
		ReportText::Date(date).c_str(), TerminalText(report.GetString("title", "")).c_str());
	int32 count = CountOf(report, "text_id");
	for (int32 i = 0; i < count; i++)
		fprintf(out, "%s\n", TerminalText(ReportText::Line(report, i)).c_str());
}

void PrintReportJson(const BMessage& report, FILE* out)
{
	int32 date = 0;
	(void)report.FindTime("date", &date);
	JsonWriter writer(out);
	writer.BeginObject();
	writer.Field("id", int64(report.GetInt32("report_id", 0)));
	writer.Field("job_id", int64(report.GetInt32("job_id", 0)));
	writer.Field("title", std::string(report.GetString("title", "")));
	writer.Field("type", std::string(JobCommands::JobTypeName(report.GetInt32("job_type", 0))));
	writer.Field("date", int64(date));
	writer.BeginArray("lines");
	int32 count = CountOf(report, "text_id");
	for (int32 i = 0; i < count; i++) {
		writer.BeginObject();
		writer.Field("type", int64(report.GetInt32("linetype", i, 0)));
		writer.Field("text", ReportText::Line(report, i));
		writer.EndObject();
	}
	writer.EndArray();
	writer.EndObject();
	writer.Finish();
}

}	// namespace ReportCommands
