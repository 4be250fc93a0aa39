#include "settings/setup_page_win.h"

#include <cwchar>
#include <initializer_list>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/shared_drawing_win.h"
#include "dashboard/dashboard_page_win.h"
#include "dashboard/panel_frame_win.h"
#include "export/export_job_win.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "settings/upload_result.h"
#include "upload/upload_state.h"

namespace {

constexpr COLORREF LABEL_COLOUR = 0x00787878;
constexpr COLORREF FRAME_COLOUR = 0x00919191;
constexpr int YEAR_LIMIT = 4;
constexpr int MONTH_DAY_LIMIT = 2;
constexpr wchar_t DEGREE_SIGN[] = L"\u00B0";

struct UnitCombo {
    int id;
    std::uint8_t UnitSettings::*code;
    const wchar_t* items[4];
};

wchar_t celsiusItem[4];
wchar_t fahrenheitItem[4];
wchar_t sixteenItem[4];
wchar_t degreesItem[8];

// Item index = the code stored in "unit".
const UnitCombo UNIT_COMBOS[] = {
    {IDC_TEMPERATURE_UNIT, &UnitSettings::temperatureUnit, {celsiusItem, fahrenheitItem}},
    {IDC_RAIN_UNIT, &UnitSettings::rainUnit, {L"mm", L"in"}},
    {IDC_PRESSURE_UNIT, &UnitSettings::pressureUnit, {L"hPa", L"mmHg", L"inHg"}},
    {IDC_WIND_UNIT, &UnitSettings::windUnit, {L"mph", L"m/s", L"km/h", L"knots"}},
    {IDC_PRESSURE_TYPE, &UnitSettings::pressureType, {L"Abs", L"Rel"}},
    {IDC_DIRECTION_UNIT, &UnitSettings::directionUnit, {sixteenItem, degreesItem}},
};

const wchar_t* const SERVICE_NAMES[] = {L"Weather Underground", L"Weathercloud"};

struct Label {
    int control;
    int key;
};
const Label LABELS[] = {
    {IDC_TITLE_UNITS, 23},           {IDC_TEMPERATURE_UNIT_LABEL, 8}, {IDC_PRESSURE_UNIT_LABEL, 25},
    {IDC_PRESSURE_TYPE_LABEL, 24},   {IDC_RAIN_UNIT_LABEL, 14},       {IDC_WIND_UNIT_LABEL, 26},
    {IDC_DIRECTION_UNIT_LABEL, 27},  {IDC_TITLE_SERVER, 28},          {IDC_TITLE_EXPORT, 37},
    {IDC_SUBTITLE_PERIOD, 38},       {IDC_SUBTITLE_DATA_SET, 41},     {IDC_START_DATE_LABEL, 39},
    {IDC_END_DATE_LABEL, 40},        {IDC_DATA_SET_PRESSURE, 43},     {IDC_DATA_SET_OUTDOOR, 46},
    {IDC_DATA_SET_INDOOR, 45},       {IDC_DATA_SET_DEW_POINT, 21},    {IDC_DATA_SET_WIND, 48},
    {IDC_DATA_SET_HEAT_INDEX, 22},   {IDC_DATA_SET_RAIN, 44},         {IDC_DATA_SET_UV_INDEX, 20},
    {IDC_CHANNEL_SET_LABEL, 47},     {IDC_VERSION_LABEL, 52},         {IDC_AUTO_UPLOAD, 34},
    {IDC_WHOLE_PERIOD, 42},
};
// Station id and key labels: the first service calls them l29/l30, the
// second l31/l32.
const int ID_LABEL_KEYS[] = {29, 31};
const int KEY_LABEL_KEYS[] = {30, 32};

// The three bitmap buttons and their bitmaps: [language][button][pressed].
constexpr int BITMAP_BUTTON_COUNT = 3;
const int BITMAP_BUTTONS[BITMAP_BUTTON_COUNT] = {IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_EXPORT};
const int BUTTON_BITMAP_IDS[LANGUAGE_COUNT][BITMAP_BUTTON_COUNT][2] = {
    {{IDB_SELECT_ALL_ENGLISH, IDB_SELECT_ALL_ENGLISH_PRESSED},
     {IDB_CLEAR_ALL_ENGLISH, IDB_CLEAR_ALL_ENGLISH_PRESSED},
     {IDB_EXPORT_ENGLISH, IDB_EXPORT_ENGLISH_PRESSED}},
    {{IDB_SELECT_ALL_GERMAN, IDB_SELECT_ALL_GERMAN_PRESSED},
     {IDB_CLEAR_ALL_GERMAN, IDB_CLEAR_ALL_GERMAN_PRESSED},
     {IDB_EXPORT_GERMAN, IDB_EXPORT_GERMAN_PRESSED}},
    {{IDB_SELECT_ALL_FRENCH, IDB_SELECT_ALL_FRENCH_PRESSED},
     {IDB_CLEAR_ALL_FRENCH, IDB_CLEAR_ALL_FRENCH_PRESSED},
     {IDB_EXPORT_FRENCH, IDB_EXPORT_FRENCH_PRESSED}},
    {{IDB_SELECT_ALL_ITALIAN, IDB_SELECT_ALL_ITALIAN_PRESSED},
     {IDB_CLEAR_ALL_ITALIAN, IDB_CLEAR_ALL_ITALIAN_PRESSED},
     {IDB_EXPORT_ITALIAN, IDB_EXPORT_ITALIAN_PRESSED}},
    {{IDB_SELECT_ALL_SPANISH, IDB_SELECT_ALL_SPANISH_PRESSED},
     {IDB_CLEAR_ALL_SPANISH, IDB_CLEAR_ALL_SPANISH_PRESSED},
     {IDB_EXPORT_SPANISH, IDB_EXPORT_SPANISH_PRESSED}},
};
HBITMAP buttonBitmaps[LANGUAGE_COUNT][BITMAP_BUTTON_COUNT][2];
SIZE buttonBitmapSize;

const int DATE_EDITS[] = {IDC_START_YEAR, IDC_START_MONTH, IDC_START_DAY, IDC_END_YEAR, IDC_END_MONTH, IDC_END_DAY};
constexpr int FIRST_DATA_SET = IDC_DATA_SET_PRESSURE;
constexpr int LAST_DATA_SET = IDC_DATA_SET_CHANNEL7;

const int READ_ONLY_COMBOS[] = {IDC_TEMPERATURE_UNIT, IDC_RAIN_UNIT,      IDC_PRESSURE_UNIT, IDC_WIND_UNIT,
                                IDC_PRESSURE_TYPE,    IDC_DIRECTION_UNIT, IDC_SERVICE};

struct EditLimit {
    int id;
    int limit;
};
const EditLimit EDIT_LIMITS[] = {
    {IDC_STATION_ID, CREDENTIAL_EDIT_LIMIT}, {IDC_STATION_KEY, CREDENTIAL_EDIT_LIMIT},
    {IDC_START_YEAR, YEAR_LIMIT},            {IDC_END_YEAR, YEAR_LIMIT},
    {IDC_START_MONTH, MONTH_DAY_LIMIT},      {IDC_START_DAY, MONTH_DAY_LIMIT},
    {IDC_END_MONTH, MONTH_DAY_LIMIT},        {IDC_END_DAY, MONTH_DAY_LIMIT},
};

SettingValue idSetting(std::uint32_t service)
{
    return service == 1 ? SETTING_ID1 : SETTING_ID;
}

SettingValue keySetting(std::uint32_t service)
{
    return service == 1 ? SETTING_KEY1 : SETTING_KEY;
}

UploadService selected()
{
    return selectedService == SERVICE_WEATHERCLOUD ? SERVICE_WEATHERCLOUD : SERVICE_WEATHER_UNDERGROUND;
}

void showControl(HWND page, int id, bool shown)
{
    ShowWindow(GetDlgItem(page, id), shown ? SW_SHOW : SW_HIDE);
}

void enableCredentialEdits(HWND page, bool enabled)
{
    EnableWindow(GetDlgItem(page, IDC_STATION_ID), enabled);
    EnableWindow(GetDlgItem(page, IDC_STATION_KEY), enabled);
}

void hideUploadResult(HWND page)
{
    showControl(page, IDC_UPLOAD_ICON, false);
    showControl(page, IDC_UPLOAD_TEXT, false);
}

// The dashboard loads both icons at its start; the page keeps working
// without it.
HICON resultIcon(int iconId)
{
    HICON& icon = iconId == IDI_UPLOAD_FAILED ? uploadFailedIcon : uploadDoneIcon;
    if (!icon)
        icon = LoadIconW(appInstance, MAKEINTRESOURCEW(iconId));
    return icon;
}

// The result of `status` in 1015 and 1029; status 0 hides both.
void showUploadResult(HWND page, int status)
{
    const UploadResultView view = uploadResultView(status);
    if (view.iconId)
        SendDlgItemMessageW(page, IDC_UPLOAD_ICON, STM_SETICON, reinterpret_cast<WPARAM>(resultIcon(view.iconId)),
                            0);
    if (view.textKey)
        SetDlgItemTextW(page, IDC_UPLOAD_TEXT, languageText(view.textKey));
    showControl(page, IDC_UPLOAD_ICON, view.shown);
    showControl(page, IDC_UPLOAD_TEXT, view.shown);
}

void makeDegreeItems()
{
    std::swprintf(celsiusItem, 4, L"%lsC", DEGREE_SIGN);
    std::swprintf(fahrenheitItem, 4, L"%lsF", DEGREE_SIGN);
    std::swprintf(degreesItem, 8, L"360%ls", DEGREE_SIGN);
    std::swprintf(sixteenItem, 4, L"%d", 16);
}

// The user may only pick items: the combo boxes' edit fields take no typing.
void makeCombosReadOnly(HWND page)
{
    for (int id : READ_ONLY_COMBOS) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(GetDlgItem(page, id), &info) && info.hwndItem)
            SendMessageW(info.hwndItem, EM_SETREADONLY, TRUE, 0);
    }
}

void fillServiceCombo(HWND page)
{
    for (int i = 0; i < 2; ++i)
        SendDlgItemMessageW(page, IDC_SERVICE, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(SERVICE_NAMES[i]));
    SendDlgItemMessageW(page, IDC_SERVICE, CB_SETCURSEL, selectedService == 1 ? 1 : 0, 0);
}

void selectUnits(HWND page, const UnitSettings& settings)
{
    for (const UnitCombo& combo : UNIT_COMBOS)
        SendDlgItemMessageW(page, combo.id, CB_SETCURSEL, settings.*combo.code, 0);
}

void fillUnitCombos(HWND page)
{
    for (const UnitCombo& combo : UNIT_COMBOS)
        for (int i = 0; i < 4 && combo.items[i]; ++i)
            SendDlgItemMessageW(page, combo.id, CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(combo.items[i]));
    selectUnits(page, DEFAULT_UNIT_SETTINGS);
}

// With putEmpty false a stored text that is empty leaves the edit as it is.
void showStoredCredentials(HWND page, std::uint32_t service, bool putEmpty)
{
    wchar_t text[CREDENTIAL_TEXT_SIZE];
    const struct {
        int edit;
        SettingValue value;
    } fields[] = {{IDC_STATION_ID, idSetting(service)}, {IDC_STATION_KEY, keySetting(service)}};
    for (const auto& field : fields) {
        text[0] = L'\0';
        loadTextSetting(field.value, text, CREDENTIAL_TEXT_SIZE);
        if (putEmpty || text[0] != L'\0')
            SetDlgItemTextW(page, field.edit, text);
    }
}

SIZE bitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info))
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

void loadButtonBitmaps()
{
    for (std::uint32_t l = 0; l < LANGUAGE_COUNT; ++l)
        for (int b = 0; b < BITMAP_BUTTON_COUNT; ++b)
            for (int pressed = 0; pressed < 2; ++pressed)
                if (!buttonBitmaps[l][b][pressed])
                    buttonBitmaps[l][b][pressed] =
                        LoadBitmapW(appInstance, MAKEINTRESOURCEW(BUTTON_BITMAP_IDS[l][b][pressed]));
    buttonBitmapSize = bitmapSize(buttonBitmaps[LANGUAGE_ENGLISH][0][0]);
}

void deleteButtonBitmaps()
{
    for (auto& perLanguage : buttonBitmaps)
        for (auto& perButton : perLanguage)
            for (HBITMAP& bitmap : perButton) {
                if (bitmap)
                    DeleteObject(bitmap);
                bitmap = nullptr;
            }
}

BOOL onInitDialog(HWND page)
{
    setupPage = page;
    loadButtonBitmaps();
    for (int id : {IDC_TITLE_UNITS, IDC_TITLE_SERVER, IDC_TITLE_EXPORT})
        SendDlgItemMessageW(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(TitleFont), FALSE);
    for (int id : {IDC_SUBTITLE_PERIOD, IDC_SUBTITLE_DATA_SET})
        SendDlgItemMessageW(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont), FALSE);
    ShowWindow(GetDlgItem(page, IDC_UPLOAD_ICON), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_UPLOAD_TEXT), SW_HIDE);
    makeCombosReadOnly(page);
    fillServiceCombo(page);
    makeDegreeItems();
    fillUnitCombos(page);
    for (const EditLimit& edit : EDIT_LIMITS)
        SendDlgItemMessageW(page, edit.id, EM_LIMITTEXT, edit.limit, 0);
    showStoredCredentials(page, selectedService, false);
    selectUnits(page, loadUnitSettings());
    applySetupLabels(page);
    return TRUE;
}

void onPaint(HWND page)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    for (int id : {IDC_PANEL_UNITS, IDC_PANEL_SERVER, IDC_PANEL_EXPORT})
        drawPanelFrame(page, dc, id, FRAME_COLOUR);
    EndPaint(page, &paint);
}

// Any notification stores the selection, not only a change of it.
void onUnitCombo(HWND page, const UnitCombo& combo)
{
    const LRESULT index = SendDlgItemMessageW(page, combo.id, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return; // nothing selected: keep the choice in force
    UnitSettings settings = currentUnitSettings();
    settings.*combo.code = static_cast<std::uint8_t>(index);
    setCurrentUnitSettings(settings);
    // The dashboard's caption says which pressure it shows, in the fixed
    // English wording the console's manual uses.
    if (combo.id == IDC_PRESSURE_TYPE && dashboardPage)
        SetDlgItemTextW(dashboardPage, IDC_CAPTION_PRESSURE,
                        index == 1 ? L"Relative Pressure" : L"Absolute Pressure");
}

// Whatever was typed for the previous service and not stored is dropped.
void onServiceChosen(HWND page)
{
    const LRESULT index = SendDlgItemMessageW(page, IDC_SERVICE, CB_GETCURSEL, 0, 0);
    if (index != 0 && index != 1)
        return;
    selectedService = static_cast<std::uint32_t>(index);
    showStoredCredentials(page, selectedService, true);
    showServiceUploadState(page);
    applySetupLabels(page);
}

void checkDataSets(HWND page, UINT state)
{
    for (int id = FIRST_DATA_SET; id <= LAST_DATA_SET; ++id)
        CheckDlgButton(page, id, state);
}

// Checked: the period is every record, so the dates are emptied and locked.
void onWholePeriod(HWND page)
{
    const bool whole = IsDlgButtonChecked(page, IDC_WHOLE_PERIOD) == BST_CHECKED;
    for (int id : DATE_EDITS) {
        if (whole)
            SetDlgItemTextW(page, id, L"");
        EnableWindow(GetDlgItem(page, id), !whole);
    }
}

void switchOn(HWND page, UploadService service, const wchar_t* id, const wchar_t* key)
{
    storeTextSetting(idSetting(service), id);
    storeTextSetting(keySetting(service), key);
    if (switchUploadOn(uploadStates[service], deviceReady == 1))
        SetTimer(page, checkTimerOf(service), UPLOAD_CHECK_PERIOD_MS, nullptr);
    enableCredentialEdits(page, false);
}

void switchOff(HWND page, UploadService service)
{
    hideUploadResult(page);
    enableCredentialEdits(page, true);
    KillTimer(page, checkTimerOf(service));
    switchUploadOff(uploadStates[service]);
}

// The box has already toggled when this runs. What the edits hold is what
// gets stored and sent: at most 63 characters each.
void onAutoUpload(HWND page)
{
    wchar_t id[CREDENTIAL_EDIT_LIMIT] = L"";
    wchar_t key[CREDENTIAL_EDIT_LIMIT] = L"";
    GetDlgItemTextW(page, IDC_STATION_ID, id, CREDENTIAL_EDIT_LIMIT);
    GetDlgItemTextW(page, IDC_STATION_KEY, key, CREDENTIAL_EDIT_LIMIT);
    const UploadService service = selected();
    const bool checked = IsDlgButtonChecked(page, IDC_AUTO_UPLOAD) == BST_CHECKED;
    switch (autoUploadAction(checked, id[0] == L'\0', key[0] == L'\0')) {
    case AutoUploadAction::refuse:
        // Silently: the box simply does not stay checked.
        CheckDlgButton(page, IDC_AUTO_UPLOAD, BST_UNCHECKED);
        hideUploadResult(page);
        refuseUpload(uploadStates[service]);
        break;
    case AutoUploadAction::switchOn:
        switchOn(page, service, id, key);
        break;
    case AutoUploadAction::switchOff:
        switchOff(page, service);
        break;
    }
}

// Every notification of the other controls repeats their action; only the
// service list waits for a real change of selection.
void onCommand(HWND page, WPARAM wParam)
{
    const int id = LOWORD(wParam);
    for (const UnitCombo& combo : UNIT_COMBOS)
        if (combo.id == id) {
            onUnitCombo(page, combo);
            return;
        }
    switch (id) {
    case IDC_SERVICE:
        if (HIWORD(wParam) == CBN_SELCHANGE)
            onServiceChosen(page);
        break;
    case IDC_SELECT_ALL:
        checkDataSets(page, BST_CHECKED);
        break;
    case IDC_CLEAR_ALL:
        checkDataSets(page, BST_UNCHECKED);
        break;
    case IDC_EXPORT:
        startExport(page);
        break;
    case IDC_AUTO_UPLOAD:
        onAutoUpload(page);
        break;
    case IDC_WHOLE_PERIOD:
        onWholePeriod(page);
        break;
    }
}

INT_PTR onDrawItem(const DRAWITEMSTRUCT* item)
{
    int button = 0;
    while (button < BITMAP_BUTTON_COUNT && BITMAP_BUTTONS[button] != static_cast<int>(item->CtlID))
        ++button;
    if (button == BITMAP_BUTTON_COUNT)
        return FALSE;
    const std::uint32_t shown = language < LANGUAGE_COUNT ? language : LANGUAGE_ENGLISH;
    const HBITMAP bitmap = buttonBitmaps[shown][button][(item->itemState & ODS_SELECTED) ? 1 : 0];
    if (!bitmap)
        return TRUE;
    HDC source = CreateCompatibleDC(item->hDC);
    const HGDIOBJ previous = SelectObject(source, bitmap);
    const RECT& r = item->rcItem;
    // Averaging keeps the words legible when the button is not 90 x 28.
    SetStretchBltMode(item->hDC, HALFTONE);
    SetBrushOrgEx(item->hDC, 0, 0, nullptr);
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, buttonBitmapSize.cx,
               buttonBitmapSize.cy, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    return TRUE;
}

// A success notice from the upload worker.
void onUploadNotice(HWND page, UINT message)
{
    UploadService service;
    if (!serviceOfResultNotice(message, &service))
        return;
    if (countUploadSuccess(uploadStates[service]) && service == selected())
        showUploadResult(page, UPLOAD_STATUS_UPLOAD);
}

// The ten-minute check of one service.
void onTimer(HWND page, WPARAM timer)
{
    UploadService service;
    if (!serviceOfCheckTimer(timer, &service))
        return;
    if (checkUploadResult(uploadStates[service], deviceReady == 1) == UploadCheck::nothing)
        return;
    if (service == selected())
        showUploadResult(page, uploadStates[service].status);
}

INT_PTR onCtlColorStatic(HDC dc, HWND control)
{
    const int id = GetDlgCtrlID(control);
    // Disabled station edits keep the system's look, so they read as disabled.
    if (id == IDC_STATION_ID || id == IDC_STATION_KEY || !pageBrush)
        return 0;
    return pageText(dc, LABEL_COLOUR);
}

// The result text follows the language; nothing else of it changes.
void onRelabel(HWND page)
{
    applySetupLabels(page);
    const UploadResultView view = uploadResultView(uploadStates[selected()].status);
    if (view.textKey)
        SetDlgItemTextW(page, IDC_UPLOAD_TEXT, languageText(view.textKey));
    for (int id : {IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_EXPORT})
        InvalidateRect(GetDlgItem(page, id), nullptr, FALSE);
}

void onDestroy(HWND page)
{
    storeUnitSettings(currentUnitSettings());
    KillTimer(page, WU_CHECK_TIMER);
    KillTimer(page, WC_CHECK_TIMER);
    deleteButtonBitmaps();
    if (setupPage == page)
        setupPage = nullptr;
}

} // namespace

void applySetupLabels(HWND page)
{
    for (const Label& label : LABELS)
        SetDlgItemTextW(page, label.control, languageText(label.key));
    const std::uint32_t service = selectedService == 1 ? 1 : 0;
    SetDlgItemTextW(page, IDC_STATION_ID_LABEL, languageText(ID_LABEL_KEYS[service]));
    SetDlgItemTextW(page, IDC_STATION_KEY_LABEL, languageText(KEY_LABEL_KEYS[service]));
}

void stopUploadsOnRemoval(HWND page)
{
    hideUploadResult(page);
    CheckDlgButton(page, IDC_AUTO_UPLOAD, BST_UNCHECKED);
    KillTimer(page, WU_CHECK_TIMER);
    KillTimer(page, WC_CHECK_TIMER);
    for (UploadState& state : uploadStates)
        switchUploadOff(state);
}

void showServiceUploadState(HWND page)
{
    const UploadState& state = uploadStates[selected()];
    const bool uploading = state.enabled == 1;
    CheckDlgButton(page, IDC_AUTO_UPLOAD, uploading ? BST_CHECKED : BST_UNCHECKED);
    enableCredentialEdits(page, !uploading);
    showUploadResult(page, state.status);
}

INT_PTR CALLBACK setupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(page);
    case WM_PAINT:
        onPaint(page);
        return TRUE;
    case WM_COMMAND:
        onCommand(page, wParam);
        return TRUE;
    case WM_DRAWITEM:
        return onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_TIMER:
        onTimer(page, wParam);
        return TRUE;
    case WM_UPLOAD_SUCCESS:
    case WM_UPLOAD_OK:
        onUploadNotice(page, message);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
        return pageBackground(reinterpret_cast<HDC>(wParam));
    case WM_RELABEL_SETUP:
        onRelabel(page);
        return TRUE;
    case WM_DESTROY:
        onDestroy(page);
        return TRUE;
    }
    return FALSE;
}
