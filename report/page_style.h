// The report page's one inline style sheet: a single column on a phone,
// charts side by side on a wide screen, and light and dark colours after
// the reader's system setting.
#pragma once

extern const char* const REPORT_STYLE;
