// The data of the one export job the program runs at a time, shared by the
// main thread (which fills it when Export is accepted), the reader thread
// (which takes history frames only while a file name is chosen) and the
// export thread (which reads it while it writes).
#pragma once

#include <cstddef>

#include "export/export_request.h"
#include "link/link_flags.h"

// Room for the chosen file name: 255 characters and a terminator. Longer
// names are refused, never cut.
constexpr std::size_t EXPORT_PATH_SIZE = 256;

// Empty until a file was chosen; while it is empty the reader ignores
// history frames.
extern wchar_t exportPath[EXPORT_PATH_SIZE];

// The period and data sets of the last accepted request.
extern ExportRequest exportRequest;

// 1 from the moment the export thread is started until it has reported its
// result and let go of the history store, the request and the file name.
// historyActive cannot guard that span: a cancel clears it, and a new
// request then would zero the store under the thread.
extern LinkFlag exportRunning;
