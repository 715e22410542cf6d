// Resource identifiers of the plug-in's dialog templates, controls and icon.
#pragma once

// Cabrillo header dialog.
#define IDD_CABRILLO 101
#define IDC_CAB_LOCATION 1000
#define IDC_CAB_SOAPBOX 1001
#define IDC_CAB_ADDRESS 1002
#define IDC_CAB_ADDRESS_CITY 1003
#define IDC_CAB_EMAIL 1004
#define IDC_CAB_CLUB 1005
#define IDC_CAB_OPERATORS 1006
#define IDC_CAB_NAME 1007
#define IDC_CAB_CLAIMED 1008
#define IDC_CAB_CONTEST 1009
#define IDC_CAB_CALLSIGN 1010
#define IDC_CAB_ADDRESS_POSTALCODE 1011
#define IDC_CAB_ADDRESS_COUNTRY 1012
#define IDC_CAB_CATEGORY_OPERATOR 1013
#define IDC_CAB_ADDRESS_PROVINCE 1014
#define IDC_CAB_CERTIFICATE 1015
#define IDC_CAB_BAND_LABEL 1117
#define IDC_CAB_CATEGORY_BAND 1118
#define IDC_CAB_TRANSMITTER_LABEL 1119
#define IDC_CAB_LOCATION_LABEL 1120
#define IDC_CAB_ASSISTED_LABEL 1121
#define IDC_CAB_CATEGORY_TRANSMITTER 1122
#define IDC_CAB_CATEGORY_POWER 1123
#define IDC_CAB_POWER_LABEL 1124
#define IDC_CAB_CATEGORY_MODE 1125
#define IDC_CAB_MODE_LABEL 1126
#define IDC_CAB_STATION_LABEL 1127
#define IDC_CAB_CATEGORY_STATION 1128
#define IDC_CAB_CATEGORY_OVERLAY 1129
#define IDC_CAB_CATEGORY_ASSISTED 1130

// Operator windows: the ITU zone window, the control panel, the previous-QSO window, the
// SA-prefix list, and the icon they all show.
#define IDD_ITU 106
#define IDD_BAUD 107
#define IDD_DXCC 108
#define IDI_STATS 110
#define IDD_RDA 111

// Control panel (107)
#define IDC_CW 1003
#define IDC_SSB 1004
#define IDC_SA_PREFIX 1115
#define IDC_ITU 1116
#define IDC_USE_MASTER 1117
#define IDC_PREV_QSO 1118
#define IDC_ZONE_COMBO 1122
#define IDC_VIEW_LABEL 1124
#define IDC_MODE_LABEL 1125

// Previous-QSO window (108): the owner-drawn grid button
#define IDC_GRID 1003
// SA-prefix list window (111)
#define IDC_PREFIX_LIST 1123
// ITU zone window (106): check boxes 1014 to 1103, see windows/itu_zones.h
#define IDC_ITU_FIRST 1014
