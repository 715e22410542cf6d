// Resource identifiers of the plug-in's dialog templates, controls and icon.
#pragma once

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
