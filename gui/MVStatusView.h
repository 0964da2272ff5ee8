#pragma once

// MVStatusView: one running job in the running-jobs window. It subscribes to
// the job (the server sends it the job's progress and report lines) and
// shows the progress bar, the files, bytes, times and speed, the last report
// lines, and buttons to pause, continue and abort the job.

#include <string>

#include <interface/View.h>

class BButton;
class BStatusBar;
class BStringView;

class MVStatusView : public BView {
public:
	static constexpr float kHeight = 142;

	MVStatusView(BRect frame, int32 jobID, const char* title);

	void MessageReceived(BMessage* message) override;
	int32 JobID() const { return fJobID; }
	bool IsFinished() const { return fFinished; }
	void MarkFinished();

	// The texts the view shows for a progress message; for the tests.
	static std::string FilesText(int32 count, int32 maxCount);
	static std::string BytesText(int64 size, int64 maxSize);
	static std::string TimeText(int32 seconds);
	static std::string SpeedText(float bytesPerSecond);

private:
	void _Progress(const BMessage& message);
	void _ReportLine(const BMessage& message);
	void _Control(uint32 what);

	int32 fJobID;
	bool fFinished = false;
	BStatusBar* fBar;
	BStringView* fFiles;
	BStringView* fBytes;
	BStringView* fTitle;
	BStringView* fElapsed;
	BStringView* fRemain;
	BStringView* fSpeed;
	BStringView* fLastLine;
	BButton* fPause;
	BButton* fContinue;
	BButton* fAbort;
};
