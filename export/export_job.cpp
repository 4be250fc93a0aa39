#include "export/export_job.h"

wchar_t exportPath[EXPORT_PATH_SIZE] = L"";
ExportRequest exportRequest{};
LinkFlag exportRunning{0};
