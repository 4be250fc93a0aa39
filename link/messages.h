// The program's private window messages. The numbers are fixed: threads and
// windows hand work to each other through them (reader -> dashboard, worker
// -> setup page, ...). 32871 means two things; the receiving window tells.
#pragma once

enum PrivateMessage : unsigned {
    WM_STATION_CONNECTION = 32869, // wParam 4 present, 5 absent
    WM_LOGGER_TEXT = 32871,        // to the status bar; lParam: wide text
    WM_UPLOAD_SUCCESS = 32871,     // to the setup page; reply held "success"
    WM_SHOW_PAGE = 32872,          // wParam 1 dashboard, 2 export & setup
    WM_LIVE_RECORD = 32873,        // lParam: the 0xFE assembly buffer
    WM_STATION_GONE = 32874,
    WM_EXPORT_RESULT = 32875,      // lParam 12 finished/cancelled, 13 write failed
    WM_STAMP_LAST_READ = 32876,
    WM_HISTORY_DONE = 32877,
    WM_UPLOAD_WU = 32878,          // thread message; wParam: request text
    WM_FRAME_FB = 32879,           // lParam: the 0xFB assembly buffer
    WM_HISTORY_TOTAL = 32880,      // lParam: records announced
    WM_HISTORY_PROGRESS = 32881,   // lParam: records counted so far
    WM_PROGRESS_CLEAR = 32882,
    WM_NO_HISTORY = 32883,
    WM_CLOCK_REQUEST = 32885,
    WM_RELABEL_HEADER = 32886,
    WM_RELABEL_DASHBOARD = 32887,
    WM_RELABEL_SETUP = 32888,
    WM_RELABEL_STATUS = 32889,
    WM_FRAME_F1 = 32890,           // lParam: the 0xF1 assembly buffer
    WM_UPLOAD_OK = 32891,          // reply held "200" (Weathercloud)
    WM_UPLOAD_WC = 32892,          // thread message; wParam: request text
};
