// A module that looks like a plugin but lacks most of the exports.
#include "plugin/fs_api.h"

extern "C" {

int WFX_CALL FsInit(int, ProgressProc, OpaqueProc, RequestProc) { return 0; }

void WFX_CALL FsGetDefRootName(char* def_root_name, int maxlen) {
  if (maxlen > 0) def_root_name[0] = '\0';
}

}  // extern "C"
