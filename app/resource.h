// Resource and control ids of the viewer.
#pragma once

#define IDI_APP 100
#define IDD_MAIN 300

#define IDC_TREE 200
#define IDC_PATH 400
#define IDC_BROWSE 401
#define IDC_STATUS 6007
#define IDC_SHOW_NAMES 6008
#define IDC_SHOW_VALUES 6009
#define IDC_EXPAND_ALL 6010

// The caption; the address is this project's own.
#define KXM_CAPTION "Morvane KXM Chunk Viewer v1.0 - https://kxm-chunk-viewer.example/"
