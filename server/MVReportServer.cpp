#include "MVReportServer.h"

MVReportServer::MVReportServer()
	:
	BLooper(kName, kPriority, kPortCapacity)
{
}
