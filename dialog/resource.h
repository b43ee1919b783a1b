// Resource ids: the dialog template, the icon, and the controls of the main window.
#pragma once

constexpr int IDD_ORVIK_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;  // the application icon group

constexpr int IDC_PORT = 1002;               // port list
constexpr int IDC_DATETIME = 1013;           // device date and time
constexpr int IDC_CURRENT = 1017;            // current
constexpr int IDC_POWER = 1018;              // power
constexpr int IDC_VOLTAGE = 1020;            // voltage
constexpr int IDC_STATUS = 1022;             // status line
constexpr int IDC_DEVICE_INFO = 1023;        // device identity (two lines)
constexpr int IDC_CAPACITY = 1029;           // capacity
constexpr int IDC_RECEIVE = 1032;            // receive-data toggle
constexpr int IDC_RECORD_PERIOD = 1034;      // recording period, seconds
constexpr int IDC_EVENT_CHECK = 1035;        // record-on-event check box
constexpr int IDC_SET_CONFIG = 1036;         // set configuration
constexpr int IDC_SYNC_CLOCK = 1037;         // synchronize clocks
constexpr int IDC_ERASE = 1038;              // erase data
constexpr int IDC_POLL_PERIOD = 1039;        // device polling period, milliseconds
constexpr int IDC_RECORD = 1040;             // record toggle (start/stop)
constexpr int IDC_NOMINAL_VOLTAGE = 1041;    // nominal voltage
constexpr int IDC_PROGRESS = 1042;           // progress bar
constexpr int IDC_CAP_PORT = 1043;
constexpr int IDC_CAP_MEASUREMENTS = 1044;   // group box
constexpr int IDC_CAP_MEMORY = 1045;         // group box
constexpr int IDC_CAP_VOLTAGE = 1046;
constexpr int IDC_CAP_CURRENT = 1047;
constexpr int IDC_CAP_CAPACITY = 1048;
constexpr int IDC_CAP_POWER = 1049;
constexpr int IDC_CAP_DATETIME = 1050;
constexpr int IDC_CAP_CONFIGURATION = 1051;  // group box
constexpr int IDC_CAP_NOMINAL_VOLTAGE = 1052;
constexpr int IDC_CAP_RECORD_PERIOD = 1053;
constexpr int IDC_CAP_EVENT_RECORD = 1054;
constexpr int IDC_CAP_RECORD_TO_FILE = 1055;  // group box
constexpr int IDC_CAP_POLL_PERIOD = 1056;
constexpr int IDC_LANGUAGE = 1057;           // language toggle
constexpr int IDC_CAP_SHUNT = 1058;          // group box
constexpr int IDC_SHUNT_MV = 1059;           // shunt millivolts
constexpr int IDC_CAP_SHUNT_MV = 1060;
constexpr int IDC_SHUNT_A = 1061;            // shunt amperes
constexpr int IDC_CAP_SHUNT_A = 1062;
constexpr int IDC_CHART = 1063;             // opens the chart of the live readings
