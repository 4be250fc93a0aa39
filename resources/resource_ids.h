// Every resource and control id of the program, named once. The resource
// script and the C++ code both include this file, so it holds plain
// #defines only: windres preprocesses it with the C preprocessor.
//
// Control ids are unique within their dialog only; a few numbers are reused
// across dialogs (1055) or between a control and a resource of another kind
// (1232 is the service combo box and the first compass bitmap), and icon 168
// and bitmap 168 are different resources.
#ifndef AEROVANE_RESOURCE_IDS_H
#define AEROVANE_RESOURCE_IDS_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Shown by the export & setup page and carried in the version resource.
#define AEROVANE_VERSION_TEXT "1.01"
#define AEROVANE_VERSION_NUMBERS 1, 0, 1, 0

// ---- Dialog templates ------------------------------------------------------
#define IDD_DASHBOARD 101
#define IDD_HEADER_BAR 129
#define IDD_STATUS_BAR 130
#define IDD_SETUP_PAGE 131

// ---- String table ----------------------------------------------------------
#define IDS_WINDOW_TITLE 103 // "AEROVANE"
#define IDS_WINDOW_CLASS 109 // "QVRA"

// ---- Icons (32 x 32 unless noted) -------------------------------------------
#define IDI_PROGRAM 107 // 16, 32 and 48 pixels
#define IDI_RAIN_CLOUD 144
#define IDI_CONNECTED_DOT 146 // blue
#define IDI_THERMOMETER_DROP 147
#define IDI_SUN_INDEX 152
#define IDI_WIND_TURBINE 153
#define IDI_CHANNEL_PREVIOUS 154 // left-pointing triangle
#define IDI_CHANNEL_NEXT 159     // right-pointing triangle
#define IDI_LOGGER 160           // status bar decoration beside the logger level
#define IDI_DISCONNECTED_DOT 168 // red
#define IDI_UPLOAD_FAILED 182
#define IDI_UPLOAD_DONE 183

// ---- Bitmaps ---------------------------------------------------------------
#define IDB_HELP 168         // help button, 14 x 13 pixels (6 x 6 dialog units)
#define IDB_HELP_PRESSED 169 // same size
#define IDB_CANCEL_CROSS 179 // status bar cancel control, 16 x 16 pixels
#define IDB_REFRESH 180
#define IDB_REFRESH_PRESSED 181

// Compass: 1232 is the dial alone, 1233 + k - 1 the pointer at the k-th of
// the 16 points, N first, clockwise.
#define IDB_COMPASS_DIAL 1232
#define IDB_COMPASS_N 1233
#define IDB_COMPASS_NNE 1234
#define IDB_COMPASS_NE 1235
#define IDB_COMPASS_ENE 1236
#define IDB_COMPASS_E 1237
#define IDB_COMPASS_ESE 1238
#define IDB_COMPASS_SE 1239
#define IDB_COMPASS_SSE 1240
#define IDB_COMPASS_S 1241
#define IDB_COMPASS_SSW 1242
#define IDB_COMPASS_SW 1243
#define IDB_COMPASS_WSW 1244
#define IDB_COMPASS_W 1245
#define IDB_COMPASS_WNW 1246
#define IDB_COMPASS_NW 1247
#define IDB_COMPASS_NNW 1248
#define IDB_COMPASS_FIRST_POINT IDB_COMPASS_N
#define IDB_COMPASS_LAST_POINT IDB_COMPASS_NNW

// Select All, Clear All and Export buttons, 90 x 28 pixels, per language.
#define IDB_SELECT_ALL_ENGLISH 170
#define IDB_SELECT_ALL_ENGLISH_PRESSED 171
#define IDB_CLEAR_ALL_ENGLISH 177
#define IDB_CLEAR_ALL_ENGLISH_PRESSED 178
#define IDB_EXPORT_ENGLISH 175
#define IDB_EXPORT_ENGLISH_PRESSED 176
#define IDB_SELECT_ALL_GERMAN 273
#define IDB_SELECT_ALL_GERMAN_PRESSED 274
#define IDB_CLEAR_ALL_GERMAN 275
#define IDB_CLEAR_ALL_GERMAN_PRESSED 276
#define IDB_EXPORT_GERMAN 277
#define IDB_EXPORT_GERMAN_PRESSED 278
#define IDB_SELECT_ALL_FRENCH 267
#define IDB_SELECT_ALL_FRENCH_PRESSED 268
#define IDB_CLEAR_ALL_FRENCH 269
#define IDB_CLEAR_ALL_FRENCH_PRESSED 270
#define IDB_EXPORT_FRENCH 271
#define IDB_EXPORT_FRENCH_PRESSED 272
#define IDB_SELECT_ALL_ITALIAN 261
#define IDB_SELECT_ALL_ITALIAN_PRESSED 262
#define IDB_CLEAR_ALL_ITALIAN 263
#define IDB_CLEAR_ALL_ITALIAN_PRESSED 264
#define IDB_EXPORT_ITALIAN 265
#define IDB_EXPORT_ITALIAN_PRESSED 266
#define IDB_SELECT_ALL_SPANISH 237
#define IDB_SELECT_ALL_SPANISH_PRESSED 238
#define IDB_CLEAR_ALL_SPANISH 239
#define IDB_CLEAR_ALL_SPANISH_PRESSED 240
#define IDB_EXPORT_SPANISH 241
#define IDB_EXPORT_SPANISH_PRESSED 242

// ---- Language tables -------------------------------------------------------
// Custom resources whose type is the INI section name ("english" ...); type
// names match without regard to case.
#define IDR_LANGUAGE_ENGLISH 209
#define IDR_LANGUAGE_GERMAN 217
#define IDR_LANGUAGE_FRENCH 208
#define IDR_LANGUAGE_ITALIAN 218
#define IDR_LANGUAGE_SPANISH 196

// ---- Header bar (dialog 129) -------------------------------------------------
#define IDC_HELP_BUTTON 1007   // owner-drawn, bitmaps 168/169
#define IDC_HEADER_SPARE 1008  // empty static, no role
#define IDC_LANGUAGE_LIST 1017 // drop-down list, position = language index
#define IDC_TAB_DASHBOARD 1035
#define IDC_TAB_SETUP 1037

// ---- Status bar (dialog 130) -------------------------------------------------
#define IDC_CONNECTION_DOT 1002
#define IDC_CANCEL_TRANSFER 1011 // bitmap 179, hidden until a download runs
#define IDC_PROGRESS_AREA 1012   // hidden; the progress text is drawn here
#define IDC_LOGGER_AREA 1116     // hidden; the logger level is drawn here
#define IDC_LOGGER_ICON 1118
#define IDC_CONNECTION_TEXT 1199
#define IDC_LOGGER_LABEL 1249

// ---- Dashboard page (dialog 101) --------------------------------------------
// Hidden group boxes: the panel outlines are drawn around them.
#define IDC_PANEL_INDOOR 1064
#define IDC_PANEL_OUTDOOR 1066
#define IDC_PANEL_WIND 1174
#define IDC_PANEL_CHANNEL 1055
#define IDC_PANEL_RAIN 1191
#define IDC_PANEL_INDEX 1091

#define IDC_TITLE_INDOOR 1058
#define IDC_TITLE_OUTDOOR 1167
#define IDC_TITLE_WIND 1175
#define IDC_TITLE_CHANNEL 1184
#define IDC_TITLE_RAIN 1192
#define IDC_TITLE_INDEX 1098

#define IDC_CAPTION_INDOOR_TEMP 1060
#define IDC_CAPTION_INDOOR_HUMIDITY 1070
#define IDC_CAPTION_OUTDOOR_TEMP 1168
#define IDC_CAPTION_OUTDOOR_HUMIDITY 1171
#define IDC_CAPTION_WIND_SPEED 1176
#define IDC_CAPTION_WIND_GUST 1179
#define IDC_CAPTION_WIND_DIRECTION 1182
#define IDC_CAPTION_CHANNEL_TEMP 1185
#define IDC_CAPTION_CHANNEL_HUMIDITY 1188
#define IDC_CAPTION_DAILY_RAIN 1193
#define IDC_CAPTION_RAIN_RATE 1196
#define IDC_CAPTION_PRESSURE 1092
#define IDC_CAPTION_DEW_POINT 1095
#define IDC_CAPTION_UV_INDEX 1099
#define IDC_CAPTION_HEAT_INDEX 1101

#define IDC_LAST_READ_LABEL 1105
#define IDC_LAST_READ_TIME 1106

// Hidden statics whose rectangles are the value areas.
#define IDC_VALUE_INDOOR_TEMP 1062
#define IDC_VALUE_INDOOR_HUMIDITY 1073
#define IDC_VALUE_OUTDOOR_TEMP 1169
#define IDC_VALUE_OUTDOOR_HUMIDITY 1172
#define IDC_VALUE_WIND_SPEED 1177
#define IDC_VALUE_WIND_GUST 1180
#define IDC_VALUE_WIND_DIRECTION 1183
#define IDC_VALUE_CHANNEL_TEMP 1186
#define IDC_VALUE_CHANNEL_HUMIDITY 1189
#define IDC_VALUE_DAILY_RAIN 1194
#define IDC_VALUE_RAIN_RATE 1197
#define IDC_VALUE_PRESSURE 1093
#define IDC_VALUE_DEW_POINT 1096
#define IDC_VALUE_UV_INDEX 1100
#define IDC_VALUE_HEAT_INDEX 1102

#define IDC_CHANNEL_PREVIOUS 1059
#define IDC_CHANNEL_NEXT 1065
#define IDC_REFRESH_BUTTON 1009

// ---- Export & setup page (dialog 131) ---------------------------------------
#define IDC_PANEL_UNITS 1107 // hidden group boxes of the three panels
#define IDC_PANEL_SERVER 1108
#define IDC_PANEL_EXPORT 1109
#define IDC_TITLE_UNITS 1110
#define IDC_TITLE_SERVER 1111
#define IDC_TITLE_EXPORT 1112
#define IDC_SUBTITLE_PERIOD 1113
#define IDC_SUBTITLE_DATA_SET 1114

#define IDC_TEMPERATURE_UNIT_LABEL 1018
#define IDC_PRESSURE_UNIT_LABEL 1019
#define IDC_PRESSURE_TYPE_LABEL 1020
#define IDC_RAIN_UNIT_LABEL 1021
#define IDC_WIND_UNIT_LABEL 1022
#define IDC_DIRECTION_UNIT_LABEL 1023
#define IDC_TEMPERATURE_UNIT 1201
#define IDC_RAIN_UNIT 1202
#define IDC_PRESSURE_UNIT 1203
#define IDC_WIND_UNIT 1204
#define IDC_PRESSURE_TYPE 1205
#define IDC_DIRECTION_UNIT 1206

#define IDC_SERVICE 1232
#define IDC_STATION_ID_LABEL 1024
#define IDC_STATION_KEY_LABEL 1025
#define IDC_STATION_ID 1207
#define IDC_STATION_KEY 1208
#define IDC_AUTO_UPLOAD 1215
#define IDC_UPLOAD_ICON 1015
#define IDC_UPLOAD_TEXT 1029

#define IDC_START_DATE_LABEL 1026
#define IDC_END_DATE_LABEL 1027
#define IDC_START_YEAR 1209
#define IDC_START_MONTH 1210
#define IDC_START_DAY 1211
#define IDC_END_YEAR 1212
#define IDC_END_MONTH 1213
#define IDC_END_DAY 1214
#define IDC_WHOLE_PERIOD 1216

// The fifteen data set check boxes are 1217 to 1231 in a row.
#define IDC_DATA_SET_PRESSURE 1217
#define IDC_DATA_SET_OUTDOOR 1218
#define IDC_DATA_SET_INDOOR 1219
#define IDC_DATA_SET_DEW_POINT 1220
#define IDC_DATA_SET_WIND 1221
#define IDC_DATA_SET_HEAT_INDEX 1222
#define IDC_DATA_SET_RAIN 1223
#define IDC_DATA_SET_UV_INDEX 1224
#define IDC_DATA_SET_CHANNEL1 1225
#define IDC_DATA_SET_CHANNEL2 1226
#define IDC_DATA_SET_CHANNEL3 1227
#define IDC_DATA_SET_CHANNEL4 1228
#define IDC_DATA_SET_CHANNEL5 1229
#define IDC_DATA_SET_CHANNEL6 1230
#define IDC_DATA_SET_CHANNEL7 1231
#define IDC_CHANNEL_SET_LABEL 1055 // same number as the dashboard's IDC_PANEL_CHANNEL

#define IDC_SELECT_ALL 1038 // owner-drawn bitmap buttons
#define IDC_CLEAR_ALL 1040
#define IDC_EXPORT 1042
#define IDC_VERSION_LABEL 1028

#endif
