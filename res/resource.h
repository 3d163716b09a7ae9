// Resource ids of QM487.exe, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QM487_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_MAIN_MENU 130

#define IDC_STATUS 1002
#define IDC_TEMP1 1003  // fields of channels 1 to 8: 1003 to 1010
#define IDC_TEMP0 1011

// Main menu commands.
#define ID_SERIAL_PORT 32771
#define ID_ALWAYS_ON_TOP 32772
#define ID_RECORDING 32773
#define ID_HELP_CONTENTS 32778
#define ID_ABOUT 32779
#define ID_COLOURS 32780
#define ID_FONTS 32781
#define ID_UNINSTALL 32782
#define ID_CLOSE_PROGRAM 32783
#define ID_RUN_CHART_VIEWER 32795
#define ID_PROMOTION 32796
#define ID_EXTRA_SETTINGS 32797
#define ID_ALARMS 32798
#define ID_ACKNOWLEDGE_ALARMS 32800

// The About item added to the system menu.
#define IDM_ABOUTBOX 0x0010

// Recording settings dialog (res/recording.rc).
#define IDD_RECORDING 131
#define IDC_REC_LOG_REPORT 1026
#define IDC_REC_LOG_BINARY 1027
#define IDC_REC_REPORT_PATH 1036
#define IDC_REC_BROWSE_REPORT 1038
#define IDC_REC_BINARY_PATH 1039
#define IDC_REC_BROWSE_BINARY 1040
#define IDC_REC_INTERVAL 1045
#define IDC_REC_TEMP0 1046
#define IDC_REC_TEMP2 1047
#define IDC_REC_REPORT_LABEL 1048
#define IDC_REC_TEMP3 1049
#define IDC_REC_TEMP4 1050
#define IDC_REC_SEPARATOR_LABEL 1051
#define IDC_REC_INTERVAL_LABEL 1052
#define IDC_REC_BINARY_LABEL 1053
#define IDC_REC_TEMP5 1054
#define IDC_REC_TEMP6 1055
#define IDC_REC_TEMP7 1056
#define IDC_REC_TEMP8 1057
#define IDC_REC_TEMP1 1060
#define IDC_REC_ADD_COMMENT 1115
#define IDC_REC_COMMENT 1116
#define IDC_REC_ADD_SERIAL 1117
#define IDC_REC_SEP_TAB 1123
#define IDC_REC_SEP_COMMA 1124
#define IDC_REC_SEP_SEMICOLON 1125
#define IDC_REC_DECIMAL_COMMA 1126
#define IDC_REC_HEADER_NAMES 1127

// Port dialog and its please-wait window (res/ports.rc).
#define IDD_PORTS 129
#define IDD_PORT_WAIT 175
#define IDB_PORT_WAIT 310
#define IDC_PORT_LIST 1000
#define IDC_PORT_CURRENT 1001
#define IDC_PORT_WAIT_CANCEL 1028
#define IDC_PORT_WAIT_PICTURE 1112
#define IDC_PORT_WAIT_TEXT 1238

// About box, promotion window, extra settings, colours and fonts dialogs
// (res/dialogs.rc).
#define IDD_COLORS 136
#define IDD_FONTS 137
#define IDB_LOGO 148
#define IDD_PROMOTION 157
#define IDR_PROMO_TEXT 158
#define IDD_EXTRA_SETTINGS 159
#define IDC_PROMO_TEXT 1076
#define IDC_ABOUT_LOGO 1112
#define IDC_ABOUT_MAIL 1113
#define IDC_PROMO_MORE 1130
#define IDC_HIDE_PROMO 1131
// Colour samples, background then text, by channel 0 to 8.
#define IDC_BACK0 1040
#define IDC_BACK1 1042
#define IDC_BACK2 1041
#define IDC_BACK3 1043
#define IDC_BACK4 1044
#define IDC_BACK5 1045
#define IDC_BACK6 1052
#define IDC_BACK7 1054
#define IDC_BACK8 1056
#define IDC_TEXT0 1046
#define IDC_TEXT1 1048
#define IDC_TEXT2 1047
#define IDC_TEXT3 1049
#define IDC_TEXT4 1050
#define IDC_TEXT5 1051
#define IDC_TEXT6 1053
#define IDC_TEXT7 1055
#define IDC_TEXT8 1057
// Font samples by channel 0 to 8.
#define IDC_FONT0 1039
#define IDC_FONT1 1038
#define IDC_FONT2 1041
#define IDC_FONT3 1044
#define IDC_FONT4 1045
#define IDC_FONT5 1046
#define IDC_FONT6 1047
#define IDC_FONT7 1048
#define IDC_FONT8 1049

// Alarm settings dialog (res/alarms.rc). Rows by channel 0 to 8.
#define IDD_ALARMS 181
#define IDC_ALARM_ON0 1300    // 1300 to 1308
#define IDC_ALARM_LOW0 1310   // 1310 to 1318
#define IDC_ALARM_HIGH0 1320  // 1320 to 1328
#define IDC_ALARM_HYSTERESIS 1330
#define IDC_ALARM_SOUND 1331
#define IDC_ALARM_LOG_PATH 1332
#define IDC_ALARM_BROWSE_LOG 1333
// Database dialog (res/database.rc) and its menu command.
#define ID_DATABASE 32799
#define IDD_DATABASE 182
#define IDC_DB_ENABLED 1340
#define IDC_DB_URL 1341
#define IDC_DB_NAME 1342
#define IDC_DB_USER 1343
#define IDC_DB_SECRET 1344
#define IDC_DB_SECRET_NOTE 1345
#define IDC_DB_PING 1346
#define IDC_DB_PING_RESULT 1347
#define IDC_DB_STATE 1348
// MQTT dialog (res/mqtt.rc) and its menu command.
#define ID_MQTT 32801
#define IDD_MQTT 183
#define IDC_MQTT_ENABLED 1350
#define IDC_MQTT_URL 1351
#define IDC_MQTT_USER 1352
#define IDC_MQTT_SECRET 1353
#define IDC_MQTT_SECRET_NOTE 1354
#define IDC_MQTT_BASE 1355
#define IDC_MQTT_DISCOVERY 1356
#define IDC_MQTT_PREFIX 1357
#define IDC_MQTT_CA_FILE 1358
#define IDC_MQTT_CHECK 1359
#define IDC_MQTT_CHECK_RESULT 1360
#define IDC_MQTT_STATE 1361
// "Powiadomienia" dialog (res/notify.rc) and its menu command.
#define ID_NOTIFY 32802
#define IDD_NOTIFY 184
#define IDC_NOTIFY_SMTP_URL 1380
#define IDC_NOTIFY_FROM 1381
#define IDC_NOTIFY_TO 1382
#define IDC_NOTIFY_USER 1383
#define IDC_NOTIFY_SECRET 1384
#define IDC_NOTIFY_SECRET_NOTE 1385
#define IDC_NOTIFY_CA_FILE 1386
#define IDC_NOTIFY_WEBHOOK_URL 1387
#define IDC_NOTIFY_WEBHOOK_FORMAT 1388
#define IDC_NOTIFY_PROGRAM 1389
#define IDC_NOTIFY_BROWSE_PROGRAM 1390
#define IDC_NOTIFY_DELAY 1391
#define IDC_NOTIFY_SILENCE 1392
#define IDC_NOTIFY_REPEAT 1393
#define IDC_NOTIFY_SUMMARY 1394
#define IDC_NOTIFY_TEST 1395
#define IDC_NOTIFY_TEST_RESULT 1396
#define IDC_NOTIFY_STATE 1397
// "Program -> Nowy przyrząd..." and its dialog (res/profiles.rc).
#define ID_NEW_INSTRUMENT 32810
#define IDD_NEW_INSTRUMENT 190
#define IDC_INSTRUMENT_NAME 1370
// "Ustawienia dodatkowe": start this profile with Windows.
#define IDC_START_WITH_WINDOWS 1371
// "Ustawienia -> Kanaly..." and its dialog (res/channels.rc). Rows by
// channel 1 to 8: IDC_CH_NAME0 + channel and so on.
#define ID_CHANNELS 32811
#define IDD_CHANNELS 191
#define IDC_CH_NAME0 1400      // 1401 to 1408
#define IDC_CH_IN_USE0 1410    // 1411 to 1418
#define IDC_CH_OFFSET0 1420    // 1421 to 1428
#define IDC_CH_GAIN0 1430      // 1431 to 1438
#define IDC_CH_CAL_DATE0 1440  // 1441 to 1448
#define IDC_CH_CAL_DUE0 1450   // 1451 to 1458
#define IDC_CH_CERT0 1460      // 1461 to 1468
#define IDC_CH_POINT_CHANNEL 1470
#define IDC_CH_READ1 1471
#define IDC_CH_REF1 1472
#define IDC_CH_READ2 1473
#define IDC_CH_REF2 1474
#define IDC_CH_COMPUTE 1475
#define IDC_CH_COMPUTED 1476
#define IDC_REC_SPLIT_LABEL 1477
#define IDC_REC_SPLIT 1478
