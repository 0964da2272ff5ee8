// Printing through Qt Print Support: the dialogs, the printer, or a PDF.

#include <interface/PrintJob.h>

#include <cstdio>

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWidget>

#include <interface/View.h>
#include <support/Errors.h>

#include "qt/QtConversions.h"

using MorvaneKit::ToQFont;
using MorvaneKit::ToQRect;
using MorvaneKit::ToQString;

BPrintJob::BPrintJob(const char* jobName)
	:
	fName(jobName != nullptr ? jobName : ""),
	fPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
	fPrinter->setDocName(ToQString(jobName));
}


BPrintJob::~BPrintJob()
{
	if (fPainter != nullptr)
		CancelJob();
}


status_t BPrintJob::ConfigPage()
{
	QPageSetupDialog dialog(fPrinter.get());
	return dialog.exec() == QDialog::Accepted ? B_OK : B_CANCELED;
}


status_t BPrintJob::ConfigJob()
{
	QPrintDialog dialog(fPrinter.get());
	dialog.setWindowTitle(ToQString(fName.c_str()));
	if (dialog.exec() != QDialog::Accepted)
		return B_CANCELED;
	fOutputFile = fPrinter->outputFileName().toStdString();
	return B_OK;
}


void BPrintJob::SetOutputFile(const char* path)
{
	fOutputFile = path != nullptr ? path : "";
	fPrinter->setOutputFormat(QPrinter::PdfFormat);
	fPrinter->setOutputFileName(ToQString(path));
}


status_t BPrintJob::BeginJob()
{
	if (fPainter != nullptr)
		return B_BUSY;
	fPainter = new QPainter;
	if (!fPainter->begin(fPrinter.get())) {
		delete fPainter;
		fPainter = nullptr;
		return B_ERROR;
	}
	fSpooled = 0;
	fPageOpen = true;
	fPageStarted = false;
	return B_OK;
}


BRect BPrintJob::PrintableRect() const
{
	QRectF page = fPrinter->pageRect(QPrinter::Point);
	return BRect(float(page.left()), float(page.top()), float(page.right()),
		float(page.bottom()));
}


BRect BPrintJob::PaperRect() const
{
	QRectF paper = fPrinter->paperRect(QPrinter::Point);
	return BRect(0, 0, float(paper.width()), float(paper.height()));
}


QPainter* BPrintJob::_Page()
{
	if (fPainter == nullptr)
		return nullptr;
	// The page after a spooled one opens when something is drawn on it.
	if (!fPageOpen) {
		fPrinter->newPage();
		fPageOpen = true;
	}
	fPageStarted = true;
	fPainter->resetTransform();
	// One unit is a point, from the printable area's corner.
	qreal scale = fPrinter->resolution() / 72.0;
	fPainter->scale(scale, scale);
	return fPainter;
}


void BPrintJob::DrawView(BView* view, BRect rect, BPoint where)
{
	QPainter* painter = view != nullptr ? _Page() : nullptr;
	if (painter == nullptr)
		return;
	QRect source = ToQRect(rect);
	painter->save();
	painter->translate(where.x - source.left(), where.y - source.top());
	view->Widget()->render(painter, source.topLeft(), QRegion(source),
		QWidget::DrawWindowBackground | QWidget::DrawChildren);
	painter->restore();
}


float BPrintJob::DrawText(const char* text, BRect rect, const BFont* font)
{
	QPainter* painter = _Page();
	if (painter == nullptr || text == nullptr)
		return 0;
	painter->setFont(ToQFont(font != nullptr ? *font : *be_plain_font));
	painter->setPen(Qt::black);
	QRectF area(rect.left, rect.top, rect.Width(), rect.Height());
	QRectF used;
	painter->drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, ToQString(text),
		&used);
	return float(used.height());
}


void BPrintJob::SpoolPage()
{
	if (fPainter == nullptr)
		return;
	if (!fPageOpen)
		_Page();
	fSpooled++;
	fPageOpen = false;
	fPageStarted = false;
}


status_t BPrintJob::CommitJob()
{
	if (fPainter == nullptr)
		return B_NO_INIT;
	if (fPageStarted)
		fSpooled++;
	bool ended = fPainter->end();
	delete fPainter;
	fPainter = nullptr;
	if (!ended)
		return B_ERROR;
	if (!fOutputFile.empty()) {
		FILE* file = fopen(fOutputFile.c_str(), "rb");
		if (file == nullptr)
			return B_IO_ERROR;
		fclose(file);
	}
	return B_OK;
}


void BPrintJob::CancelJob()
{
	if (fPainter == nullptr)
		return;
	fPrinter->abort();
	if (fPainter->isActive())
		fPainter->end();
	delete fPainter;
	fPainter = nullptr;
	if (!fOutputFile.empty())
		std::remove(fOutputFile.c_str());
}
