// The OSD menu file reader and setter.
#include "scaler/omenu.h"

OSD_LIST g_osd_list;

void get_json_omenu_para(char* path, OSD_LIST* list) {}

void set_OSD_para(OSD_LIST* list) {}
