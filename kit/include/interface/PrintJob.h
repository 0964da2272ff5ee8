#pragma once

// BPrintJob: printing through the system's print dialogs, or into a PDF file
// without any dialog.
//
// A job is: ConfigPage() and ConfigJob() (the dialogs; optional), or
// SetOutputFile() for a PDF; BeginJob(); drawing on the page (DrawView(),
// DrawText()); SpoolPage() to end each page; CommitJob(). Drawing after the
// last SpoolPage() makes one more page.
//
// Page coordinates are in points (1/72 inch). PrintableRect() is the area
// that can be printed, in the paper's coordinates; the `where` and `rect` of
// the drawing calls are relative to its top left corner. A view's pixel is
// printed as one point.

#include <memory>
#include <string>

#include <interface/Font.h>
#include <interface/Rect.h>

class BView;
class QPainter;
class QPrinter;

class BPrintJob {
public:
	explicit BPrintJob(const char* jobName);
	virtual ~BPrintJob();
	BPrintJob(const BPrintJob&) = delete;
	BPrintJob& operator=(const BPrintJob&) = delete;

	// The page setup dialog: B_OK, or B_CANCELED when the user cancels.
	status_t ConfigPage();
	// The print dialog: B_OK, or B_CANCELED when the user cancels.
	status_t ConfigJob();
	// Prints into a PDF file at that path, with no dialog.
	void SetOutputFile(const char* path);

	// B_OK, or B_ERROR when the printer or the file cannot be opened.
	status_t BeginJob();
	bool CanContinue() const { return fPainter != nullptr; }
	BRect PrintableRect() const;
	BRect PaperRect() const;
	// Draws the rect (in the view's coordinates) of what the view shows,
	// with its children, at where on the page.
	void DrawView(BView* view, BRect rect, BPoint where);
	// Draws the text wrapped at the rect's width from its top; returns the
	// height the text took.
	float DrawText(const char* text, BRect rect, const BFont* font);
	// Ends the page; drawing after it goes on a new page.
	void SpoolPage();
	int32 CountSpooledPages() const { return fSpooled; }
	// Ends the job: B_OK when it was printed (or written).
	status_t CommitJob();
	// Ends the job without printing; a PDF being written is removed.
	void CancelJob();

private:
	QPainter* _Page();

	std::string fName;
	std::string fOutputFile;
	std::unique_ptr<QPrinter> fPrinter;
	QPainter* fPainter = nullptr;
	int32 fSpooled = 0;
	bool fPageOpen = false;
	bool fPageStarted = false;
};
